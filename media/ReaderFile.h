// A raw image file (or any file or block device) opened read-only.
//
// Reads use 64-bit positioned reads, so images larger than 4 GiB work and
// the descriptor's file position is never moved.  The source is never
// opened for writing.
#pragma once

#include <string>
#include <sys/types.h>

#include "media/Reader.h"

class ReaderFile : public Reader {
 public:
  ReaderFile() {}
  ~ReaderFile() override;
  ReaderFile(const ReaderFile&) = delete;
  ReaderFile& operator=(const ReaderFile&) = delete;

  // Replaces the open file only when the new one opened and was measured.
  bool open(const char* path);
  bool read(uint64_t offset, void* buffer, uint64_t size) override;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // Device and inode of the open file, so that a destination can be
  // refused when it is the medium itself.
  dev_t device() const { return device_; }
  ino_t inode() const { return inode_; }

 private:
  int fd_ = -1;
  std::string path_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};
