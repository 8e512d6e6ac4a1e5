// Raw image files, files and block devices, read with positioned reads.

#include "media/ReaderFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "shell/Charset.h"
#include "shell/DebugLog.h"

namespace {

// Log tags of this file.
const LogTag kLogOpenFailed{"ReaderFile", 34};
const LogTag kLogSizeFailed{"ReaderFile", 39};
const LogTag kLogOffsetTooLarge{"ReaderFile", 52};
const LogTag kLogReadFailed{"ReaderFile", 56};

const uint64_t kMaxOffset = static_cast<uint64_t>(INT64_MAX);
// One pread asks for at most this much, so a huge request never needs a
// single call that the kernel would cut anyway.
const uint64_t kMaxChunk = 1ULL << 30;

}  // namespace

ReaderFile::~ReaderFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool ReaderFile::open(const char* path) {
  std::string name = path ? path : "";
  // Without blocking: a FIFO would otherwise wait for a writer for ever.
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    dlog() << kLogOpenFailed << ": " << name << " " << lastErrorText() << "\n";
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    dlog() << kLogSizeFailed << ": " << name << " " << lastErrorText() << "\n";
    ::close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
    // Folders, FIFOs, sockets and character devices cannot be read at random.
    errno = S_ISDIR(st.st_mode) ? EISDIR : ESPIPE;
    dlog() << kLogOpenFailed << ": " << name << " " << lastErrorText() << "\n";
    ::close(fd);
    return false;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  uint64_t size;
  if (S_ISREG(st.st_mode)) {
    size = static_cast<uint64_t>(st.st_size);
  } else {
    // A block device reports its size only through its end position.
    off_t end = lseek(fd, 0, SEEK_END);
    if (end < 0) {
      dlog() << kLogSizeFailed << ": " << name << " " << lastErrorText() << "\n";
      ::close(fd);
      return false;
    }
    size = static_cast<uint64_t>(end);
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  path_ = name;
  device_ = st.st_dev;
  inode_ = st.st_ino;
  setSize(size);
  return true;
}

bool ReaderFile::read(uint64_t offset, void* buffer, uint64_t size) {
  if (!Reader::fits(offset, size, kMaxOffset)) {
    dlog() << kLogOffsetTooLarge << ": " << offset << "\n";
    return false;
  }
  if (fd_ < 0 || !Reader::fits(offset, size, this->size())) {
    dlog() << kLogReadFailed << ": " << offset << " " << size << "\n";
    return false;
  }
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint64_t done = 0;
  while (done < size) {
    uint64_t want = size - done;
    if (want > kMaxChunk) want = kMaxChunk;
    ssize_t got = pread(fd_, out + done, static_cast<size_t>(want), static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      dlog() << kLogReadFailed << ": " << offset << " " << size << " " << lastErrorText() << "\n";
      return false;
    }
    if (got == 0) {
      dlog() << kLogReadFailed << ": " << offset << " " << size << "\n";
      return false;
    }
    done += static_cast<uint64_t>(got);
  }
  return true;
}
