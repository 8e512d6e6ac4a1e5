// MD5 message digest (RFC 1321), for the hashes of recovery reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Md5 {
 public:
  Md5() { reset(); }
  void reset();
  void update(const void* data, size_t length);
  // Ends the message; the object must be reset() before it is used again.
  void finish(uint8_t digest[16]);
  // finish() as 32 lower-case hex digits.
  std::string hexDigest();

  static std::string hexOf(const void* data, size_t length);

 private:
  void block(const uint8_t* p);
  uint32_t state_[4];
  uint64_t length_;  // bytes so far
  uint8_t buffer_[64];
  size_t buffered_;
};
