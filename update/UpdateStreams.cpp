#include "update/UpdateStreams.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "shell/DebugLog.h"

bool StreamString::write(const char* data, size_t size) {
  if (size > limit_ - text_.size()) {
    dlog() << "StreamString(12): more than " << limit_ << " bytes\n";
    return false;
  }
  text_.append(data, size);
  return true;
}

StreamFile::~StreamFile() { close(); }

bool StreamFile::open(const std::string& path) {
  close();
  written_ = 0;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    dlog() << "UpdateDialog(46): " << path << "\n";
    return false;
  }
  return true;
}

void StreamFile::close() {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
}

bool StreamFile::write(const char* data, size_t size) {
  if (fd_ < 0 || written_ > limit_ || size > limit_ - written_) {
    dlog() << "UpdateDialog(56)\n";
    return false;
  }
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd_, data + done, size - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      dlog() << "UpdateDialog(56)\n";
      return false;
    }
    done += size_t(n);
  }
  written_ += size;
  setValue(1, 0, size);
  check();
  return true;
}
