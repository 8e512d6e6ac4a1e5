// The in-memory debug log's storage: bounded, whatever the medium makes the
// program log.  It keeps the first `headBytes` of the log and the latest
// `tailBytes`; what lies between is dropped and counted.
#pragma once

#include <cstdint>
#include <streambuf>
#include <string>

class BoundedLogBuffer : public std::streambuf {
 public:
  BoundedLogBuffer(size_t headBytes, size_t tailBytes);
  // The head, then, when anything was dropped, a line that says how much,
  // then the tail from its first whole line.
  std::string text() const;
  uint64_t droppedBytes() const { return dropped_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;

 private:
  void append(const char* s, size_t n);

  size_t headLimit_;
  size_t tailLimit_;
  std::string head_;
  std::string tail_;   // a ring of tailLimit_ bytes once full
  size_t tailStart_ = 0;  // oldest byte of the ring
  uint64_t dropped_ = 0;
};
