// MD5 and SHA-256 of one file, computed together on the bytes as they are
// written, through OpenSSL's libcrypto (which uses the processor's hash
// instructions where it has them).
//
// A file larger than one chunk (kChunkBytes) is hashed beside the writing:
// update() copies the bytes into chunks that two threads, one per digest,
// work through, so that the slower digest (MD5, about 700 MB/s on one
// core) is all that hashing adds to a recovery on a machine with cores to
// spare.  At most kChunksInFlight chunks wait at a time; update() waits
// when they are all taken.  Smaller files are hashed in finish(), without
// threads.
#pragma once

#include <cstddef>
#include <string>

class FileDigests {
 public:
  static constexpr size_t kChunkBytes = 1 << 20;
  static constexpr size_t kChunksInFlight = 8;

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
