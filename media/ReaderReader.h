// A window onto another reader: byte 0 of the window is byte base() of the
// inner reader.  The inner reader is not owned and must outlive the window.
#pragma once

#include "media/Reader.h"

class ReaderReader : public Reader {
 public:
  explicit ReaderReader(Reader* inner);
  // Fails (window unchanged) when offset is not below the inner size; a
  // window reaching past the end is cut silently.
  bool setWindow(uint64_t offset, uint64_t size);
  bool read(uint64_t offset, void* buffer, uint64_t size) override;
  bool borrow(uint64_t offset, uint64_t size, const uint8_t*& out, uint64_t& available,
              std::shared_ptr<const void>& hold) override;
  uint64_t base() const { return base_; }
  Reader* inner() const { return inner_; }

 private:
  Reader* inner_;
  uint64_t base_ = 0;
};
