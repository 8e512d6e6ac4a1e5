// Raw block-device access with a sector-aligned cache.

#include "device/ReaderDevice.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "shell/DebugLog.h"

namespace {

std::string errorText(int code) { return strerror(code); }

}  // namespace

ReaderDevice::~ReaderDevice() { close(); }

void ReaderDevice::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  free(buffer_);
  buffer_ = nullptr;
  cachedLength_ = 0;
}

bool ReaderDevice::open(const char* path, Access access) {
  std::string name = path ? path : "";
  int flags = access == ForWriting ? O_RDWR | O_EXCL : O_RDONLY;
  int fd = ::open(name.c_str(), flags | O_CLOEXEC);
  if (fd < 0) {
    lastError_ = errno;
    dlog() << "ReaderDevice(67): " << name << " " << errorText(lastError_) << "\n";
    return false;
  }
  struct stat st;
  uint64_t size = 0;
  int sector = 0;
  int failure = 0;
  if (fstat(fd, &st) != 0)
    failure = errno;
  else if (!S_ISBLK(st.st_mode))
    failure = ENOTBLK;
  else if (ioctl(fd, BLKGETSIZE64, &size) != 0 || ioctl(fd, BLKSSZGET, &sector) != 0)
    failure = errno;
  if (failure) {
    lastError_ = failure;
    dlog() << "ReaderDevice(86): " << name << " " << errorText(lastError_) << "\n";
    ::close(fd);
    return false;
  }
  // The kernel's sizes come from the device; keep within what the cache
  // arithmetic and the sector alignment can take.
  if (sector < 512 || sector > 65536 || (sector & (sector - 1)) != 0 || size % static_cast<uint64_t>(sector) != 0 ||
      size > static_cast<uint64_t>(INT64_MAX)) {
    lastError_ = EINVAL;
    dlog() << "ReaderDevice(88): " << name << " " << size << " " << sector << "\n";
    ::close(fd);
    return false;
  }
  int readOnly = 0;
  if (ioctl(fd, BLKROGET, &readOnly) != 0) readOnly = 0;
  const uint64_t capacity = kCacheSectors * static_cast<uint64_t>(sector);
  void* buffer = nullptr;
  long page = sysconf(_SC_PAGESIZE);
  if (posix_memalign(&buffer, page > 0 ? static_cast<size_t>(page) : 4096, capacity) != 0) {
    lastError_ = ENOMEM;
    dlog() << "ReaderDevice(97): " << name << "\n";
    ::close(fd);
    return false;
  }
  close();
  fd_ = fd;
  path_ = name;
  access_ = access;
  writeProtected_ = readOnly != 0;
  buffer_ = static_cast<uint8_t*>(buffer);
  sectorSize_ = static_cast<uint64_t>(sector);
  capacity_ = capacity;
  cachedLength_ = 0;
  cachedStart_ = 0;
  lastError_ = 0;
  Reader::setSize(size);
  MediumWriter::setSize(size);
  return true;
}

bool ReaderDevice::rawRead(uint64_t position, uint64_t length) {
  uint64_t done = 0;
  while (done < length) {
    ssize_t got = pread(fd_, buffer_ + done, static_cast<size_t>(length - done), static_cast<off_t>(position + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      dlog() << "ReaderDevice(229): " << position << " " << length << " " << done << " "
             << (got < 0 ? errorText(errno) : std::string("end of device")) << "\n";
      return false;
    }
    done += static_cast<uint64_t>(got);
  }
  return true;
}

bool ReaderDevice::fill(uint64_t offset) {
  const uint64_t start = offset - offset % sectorSize_;
  if (start >= Reader::size()) {
    dlog() << "ReaderDevice(185): " << start << " " << Reader::size() << "\n";
    return false;
  }
  const uint64_t length = Reader::size() - start < capacity_ ? Reader::size() - start : capacity_;
  if (!rawRead(start, length)) {
    cachedLength_ = 0;
    dlog() << "ReaderDevice(192): " << start << " " << length << "\n";
    return false;
  }
  cachedStart_ = start;
  cachedLength_ = length;
  return true;
}

bool ReaderDevice::read(uint64_t offset, void* buffer, uint64_t size) {
  if (fd_ < 0) {
    dlog() << "ReaderDevice(120)\n";
    return false;
  }
  uint8_t* out = static_cast<uint8_t*>(buffer);
  while (size > 0) {
    if (offset < cachedStart_ || offset - cachedStart_ >= cachedLength_) {
      if (!fill(offset)) {
        dlog() << "ReaderDevice(128): " << offset << "\n";
        return false;
      }
    }
    const uint64_t inCache = cachedStart_ + cachedLength_ - offset;
    const uint64_t n = size < inCache ? size : inCache;
    memcpy(out, buffer_ + (offset - cachedStart_), static_cast<size_t>(n));
    out += n;
    offset += n;
    size -= n;
  }
  return true;
}

bool ReaderDevice::write(uint64_t offset, const void* buffer, uint64_t size) {
  if (!writable() || offset % sectorSize_ != 0 || size % sectorSize_ != 0 || size > capacity_ ||
      !Reader::fits(offset, size, MediumWriter::size())) {
    dlog() << "ReaderDevice(151): " << offset << " " << size << " " << sectorSize_ << " " << capacity_ << " "
           << (writable() ? 1 : 0) << "\n";
    return false;
  }
  memcpy(buffer_, buffer, static_cast<size_t>(size));
  cachedLength_ = 0;
  uint64_t done = 0;
  while (done < size) {
    ssize_t put = pwrite(fd_, buffer_ + done, static_cast<size_t>(size - done), static_cast<off_t>(offset + done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      lastError_ = put < 0 ? errno : EIO;
      dlog() << "ReaderDevice(167): " << offset << " " << size << " " << done << " " << errorText(lastError_) << "\n";
      return false;
    }
    done += static_cast<uint64_t>(put);
  }
  return true;
}

bool ReaderDevice::flush() {
  if (fd_ < 0) return false;
  if (fsync(fd_) != 0) {
    lastError_ = errno;
    dlog() << "ReaderDevice(180): " << path_ << " " << errorText(lastError_) << "\n";
    return false;
  }
  return true;
}
