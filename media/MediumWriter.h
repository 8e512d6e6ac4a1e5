// The write side of a medium that can be written.  Code holding a Reader*
// of the current medium obtains it with dynamic_cast<MediumWriter*>; null
// means the medium cannot be written (an image file opened for scanning).
#pragma once

#include <cstdint>

class MediumWriter {
 public:
  virtual ~MediumWriter() {}
  uint64_t size() const { return size_; }
  // True only when all `size` bytes were written at `offset`.
  virtual bool write(uint64_t offset, const void* buffer, uint64_t size) = 0;

 protected:
  void setSize(uint64_t size) { size_ = size; }

 private:
  uint64_t size_ = 0;
};
