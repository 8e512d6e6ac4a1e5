// Byte-addressed access to a block device (a card reader, a USB disk, a
// loop device): a Reader, and a MediumWriter once opened for writing.
//
// Reads go through a cache of 64 sectors aligned to the sector size, so
// any offset and length can be read and consecutive small reads are served
// from memory.  Writes must be whole, aligned sectors of at most 64 sectors
// (the write pass uses blocks of 32768 bytes); anything else is refused
// without writing.
//
// Opening for reading (scanning, saving) leaves the device and its mounts
// alone: a medium being recovered is never opened for writing.  Opening
// for writing (restore, erase, format) asks the kernel for an exclusive
// claim, which it refuses while a file system on the device is mounted or
// another program holds it; callers unmount first (DeviceClaim).
#pragma once

#include <cstdint>
#include <string>

#include "media/MediumWriter.h"
#include "media/Reader.h"

class ReaderDevice : public Reader, public MediumWriter {
 public:
  enum Access { ForReading, ForWriting };
  static constexpr uint64_t kCacheSectors = 64;

  ReaderDevice() {}
  ~ReaderDevice() override;
  ReaderDevice(const ReaderDevice&) = delete;
  ReaderDevice& operator=(const ReaderDevice&) = delete;

  // Opens a block device and takes its size and sector size from the
  // kernel.  On failure an earlier open device stays in place and
  // lastError() holds the reason (an errno value).
  bool open(const char* path, Access access = ForReading);
  void close();

  bool read(uint64_t offset, void* buffer, uint64_t size) override;
  bool write(uint64_t offset, const void* buffer, uint64_t size) override;
  // Makes the kernel write back what it holds for the device; a card that
  // is pulled after a write command must hold what the command wrote.
  bool flush();

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  bool writable() const { return access_ == ForWriting && fd_ >= 0; }
  uint64_t sectorSize() const { return sectorSize_; }
  uint64_t capacity() const { return capacity_; }
  // The device is marked read-only by the kernel (a card's lock switch, a
  // read-only loop device).
  bool writeProtected() const { return writeProtected_; }
  int lastError() const { return lastError_; }

  // The range the cache holds: [cacheStart, cacheStart + cacheLength).
  uint64_t cacheStart() const { return cachedStart_; }
  uint64_t cacheLength() const { return cachedLength_; }

 private:
  bool fill(uint64_t offset);
  bool rawRead(uint64_t position, uint64_t length);

  int fd_ = -1;
  std::string path_;
  Access access_ = ForReading;
  bool writeProtected_ = false;
  int lastError_ = 0;
  uint64_t sectorSize_ = 0;
  uint64_t capacity_ = 0;
  uint8_t* buffer_ = nullptr;
  uint64_t cachedLength_ = 0;
  uint64_t cachedStart_ = 0;
};
