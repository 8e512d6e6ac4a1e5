// MD5 and SHA-256 of one file, computed together on the bytes as they are
// written, through OpenSSL's libcrypto (which uses the processor's hash
// instructions where it has them).
#pragma once

#include <cstddef>
#include <string>

class FileDigests {
 public:
  FileDigests();
  ~FileDigests();
  FileDigests(const FileDigests&) = delete;
  FileDigests& operator=(const FileDigests&) = delete;

  void update(const void* data, size_t length);
  // Ends the message: the digests as lower-case hex digits.  Empty when
  // libcrypto failed (the report then carries no digest rather than a
  // wrong one).
  void finish(std::string& md5, std::string& sha256);

 private:
  struct Impl;
  Impl* impl_;
};
