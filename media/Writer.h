// Content sources of a write pass: the plain Writer leaves the zero-filled
// block as it is (erasing); WriterFromFile fills blocks from an image file.
#pragma once

#include <cstdint>

class Questions;

class Writer {
 public:
  virtual bool fill(uint64_t offset, uint64_t size, void* buffer) { return true; }
};

// Reads blocks strictly in order from a descriptor that the caller opened,
// positioned and will close.  A short read shows "Cannot read file ..."
// through `questions` (when given) and returns false.
class WriterFromFile : public Writer {
 public:
  WriterFromFile(Questions* questions, int fd) : questions_(questions), fd_(fd) {}
  bool fill(uint64_t offset, uint64_t size, void* buffer) override;

 private:
  Questions* questions_;
  int fd_;
};
