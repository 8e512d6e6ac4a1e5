// Reads one found file from start to end in pieces of at most 32768 bytes
// and hands each piece to consume().  Unreadable pieces become zeros; their
// byte count and offsets are kept so that callers can say so.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/FileModule.h"
#include "shell/InterfaceCallback.h"

class FileCase;

class FileReader : public UsesInterfaceCallback {
 public:
  static const uint64_t kPieceSize = 32768;
  ~FileReader() override {}
  virtual bool consume(const void* buffer, uint64_t size) = 0;
  bool readFile(FileCase& fileCase, const FileModule::File& file);

  // Of the last readFile(): bytes that could not be read and were written as zeros.
  uint64_t unreadableBytes() const { return unreadableBytes_; }
  // (offset in the file, length) of each unreadable piece.
  const std::vector<std::pair<uint64_t, uint64_t>>& unreadable() const { return unreadable_; }

 private:
  uint64_t unreadableBytes_ = 0;
  std::vector<std::pair<uint64_t, uint64_t>> unreadable_;
};
