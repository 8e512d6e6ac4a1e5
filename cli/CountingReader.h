// A medium that counts what is asked of it, for --stats: every byte the
// scan, the modules, the file systems and the recovery read from the
// medium passes through here, whatever is cached above it.
#pragma once

#include <cstdint>
#include <memory>

#include "media/Reader.h"

class CountingReader : public Reader {
 public:
  // Takes ownership of `inner`.
  explicit CountingReader(Reader* inner) : inner_(inner) { setSize(inner_->size()); }
  bool read(uint64_t offset, void* buffer, uint64_t size) override {
    ++reads_;
    bytes_ += size;
    return inner_->read(offset, buffer, size);
  }
  uint64_t reads() const { return reads_; }
  uint64_t bytes() const { return bytes_; }

 private:
  std::unique_ptr<Reader> inner_;
  uint64_t reads_ = 0;
  uint64_t bytes_ = 0;
};
