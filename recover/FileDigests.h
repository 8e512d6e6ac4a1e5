// MD5 and SHA-256 of the files of one recovery, computed through OpenSSL's
// libcrypto (which uses the processor's hash instructions where it has
// them) beside the writing.
//
// Two long-lived threads, one per digest, work through the bytes of all
// files in the order they were given: update() copies them into chunks of
// up to kChunkBytes and queues each chunk for both threads; finish() ends
// the file and returns a Pending result at once.  The caller goes on with
// the next file while the digests of the last ones are computed, so that
// the slower digest (MD5, about 750 MB/s on one core) is all that hashing
// adds to a recovery on a machine with a core to spare.  At most
// chunksInFlight chunks are taken at a time, the one being filled
// included; update() waits when they all are, so memory stays flat
// whatever the files.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class FileDigests {
 public:
  static constexpr size_t kChunkBytes = 1 << 20;
  // 8 MiB: what a recovery holds besides the medium's cache (48 MiB) and
  // the blocks of the files being proven stays within 100 MB; more would
  // let the writer wait less on large files, at a megabyte a chunk.
  static constexpr size_t kChunksInFlight = 8;

  // The digests of one file, once both threads have reached its end.
  class Pending {
   public:
    struct State;
    Pending() = default;
    explicit Pending(std::shared_ptr<State> state) : state_(std::move(state)) {}
    // Waits for the digests: lower-case hex digits, both empty when
    // libcrypto failed (the report then carries no digest rather than a
    // wrong one) or when there is no file (a default Pending).
    void wait(std::string& md5, std::string& sha256) const;

   private:
    std::shared_ptr<State> state_;
  };

  explicit FileDigests(size_t chunksInFlight = kChunksInFlight);
  // Computes what is queued, then ends the threads.  A file begun and not
  // finished is finished, its result dropped.
  ~FileDigests();
  FileDigests(const FileDigests&) = delete;
  FileDigests& operator=(const FileDigests&) = delete;

  // More bytes of the current file (the first call begins one).
  void update(const void* data, size_t length);
  // Ends the current file (an empty one when nothing was given).
  Pending finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
