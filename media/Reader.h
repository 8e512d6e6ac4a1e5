// A random-access, read-only byte source of known size.
//
// read() either delivers exactly `size` bytes at `offset` and returns true,
// or returns false after writing its reason to the debug log; there is no
// partial result.  Reading zero bytes at the very end succeeds.
#pragma once

#include <cstdint>
#include <memory>

class Reader {
 public:
  virtual ~Reader() {}
  uint64_t size() const { return size_; }
  virtual bool read(uint64_t offset, void* buffer, uint64_t size) = 0;

  // Bytes the reader holds in memory, lent without a copy: on success `out`
  // points at the bytes from `offset` on and `available` says how many (at
  // least 1, at most `size`); `hold` keeps them valid for as long as the
  // caller keeps it.  False when the reader holds no memory of its own (the
  // default) or cannot get the bytes; the caller then read()s them, which
  // reports any failure.
  virtual bool borrow(uint64_t offset, uint64_t size, const uint8_t*& out, uint64_t& available,
                      std::shared_ptr<const void>& hold) {
    return false;
  }

  // Overflow-safe bound check: [offset, offset+length) lies inside [0, limit).
  static bool fits(uint64_t offset, uint64_t length, uint64_t limit) {
    return length <= limit && offset <= limit - length;
  }

 protected:
  void setSize(uint64_t size) { size_ = size; }

 private:
  uint64_t size_ = 0;
};
