// Loop devices over a range of a device.

#include "device/LoopWindow.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "shell/DebugLog.h"

bool LoopWindow::attach(const std::string& backing, uint64_t offset, uint64_t size, std::string* error) {
  detach();
  auto fail = [&](const char* step, int code) {
    dlog() << "LoopWindow(20): " << backing << " " << step << " " << strerror(code) << "\n";
    if (error) *error = std::string(step) + ": " + strerror(code);
    return false;
  };
  int backingFd = open(backing.c_str(), O_RDWR | O_CLOEXEC);
  if (backingFd < 0) return fail(backing.c_str(), errno);
  int control = open("/dev/loop-control", O_RDWR | O_CLOEXEC);
  if (control < 0) {
    int code = errno;
    close(backingFd);
    return fail("/dev/loop-control", code);
  }
  // Another program may take the free device first: ask again a few times.
  bool ok = false;
  int code = 0;
  for (int attempt = 0; attempt < 5 && !ok; ++attempt) {
    int number = ioctl(control, LOOP_CTL_GET_FREE);
    if (number < 0) {
      code = errno;
      break;
    }
    std::string node = "/dev/loop" + std::to_string(number);
    int fd = open(node.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      code = errno;
      continue;
    }
    struct loop_config config;
    memset(&config, 0, sizeof config);
    config.fd = static_cast<__u32>(backingFd);
    config.info.lo_offset = offset;
    config.info.lo_sizelimit = size;
    // Detached by the kernel once the last user closes it, should this
    // program end before it detaches.
    config.info.lo_flags = LO_FLAGS_AUTOCLEAR;
    if (ioctl(fd, LOOP_CONFIGURE, &config) != 0) {
      code = errno;
      close(fd);
      continue;
    }
    fd_ = fd;
    node_ = node;
    ok = true;
  }
  close(control);
  close(backingFd);
  if (!ok) return fail("attach", code ? code : EBUSY);
  dlog() << "LoopWindow(62): " << node_ << " " << backing << " " << offset << " " << size << "\n";
  return true;
}

void LoopWindow::detach() {
  if (fd_ < 0) return;
  if (ioctl(fd_, LOOP_CLR_FD) != 0) dlog() << "LoopWindow(69): " << node_ << " " << strerror(errno) << "\n";
  close(fd_);
  fd_ = -1;
  node_.clear();
}
