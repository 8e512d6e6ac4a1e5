// Reads one found file from start to end in pieces of at most 32768 bytes
// and hands each piece to consume(); bytes the reader holds in memory (the
// medium's cache) are handed on without a copy.
//
// Unreadable parts become zeros so that the rest of the file still comes
// back, but they are never hidden: a piece that fails is read again sector
// by sector, and the byte count and offsets of what stayed unreadable are
// kept for the caller to report.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/FileModule.h"
#include "shell/InterfaceCallback.h"

class FileCase;
class Reader;

class FileReader : public UsesInterfaceCallback {
 public:
  static constexpr uint64_t kPieceSize = 32768;
  // Granularity of the second attempt on a piece that failed.
  static constexpr uint64_t kRetrySize = 512;

  ~FileReader() override {}
  virtual bool consume(const void* buffer, uint64_t size) = 0;

  // False when the case has no reader for the file (a file of size 0 needs
  // none and always succeeds) or when consume() refused a piece.  check()
  // runs before and after each read and may throw InterruptedException.
  bool readFile(FileCase& fileCase, const FileModule::File& file);
  // The same on a reader whose byte 0 is the file's first byte.
  bool readFrom(Reader& reader, uint64_t size);

  // Of the last read: bytes that could not be read and were written as zeros.
  uint64_t unreadableBytes() const { return unreadableBytes_; }
  // (offset in the file, length) of each unreadable range, in file order.
  const std::vector<std::pair<uint64_t, uint64_t>>& unreadable() const { return unreadable_; }
  // The last readFile() failed because the case had no reader for the file.
  bool hadNoReader() const { return noReader_; }

 private:
  void readPiece(Reader& reader, uint64_t position, uint8_t* buffer, uint64_t length);
  void markUnreadable(uint64_t position, uint64_t length);

  uint64_t unreadableBytes_ = 0;
  bool noReader_ = false;
  std::vector<std::pair<uint64_t, uint64_t>> unreadable_;
};
