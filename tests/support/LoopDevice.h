// A loop device over an image file, for tests of the device layer: made
// with losetup (as root), always detached by the destructor.  ok() is
// false where loop devices cannot be made; such tests skip with a message.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <string>

namespace mzktest {

// Runs a command line through the shell, its output discarded.
inline bool shell(const std::string& command) {
  int rc = system((command + " >/dev/null 2>&1").c_str());
  return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

// The first line a command prints.
inline std::string shellLine(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::string();
  char buffer[512] = {0};
  std::string out;
  if (fgets(buffer, sizeof buffer, pipe)) out = buffer;
  pclose(pipe);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

class LoopDevice {
 public:
  // readOnly: the kernel marks the device read-only (losetup -r), as a
  // card with its lock switch set.
  explicit LoopDevice(const std::string& image, bool readOnly = false) {
    std::string node = shellLine("losetup -f --show " + std::string(readOnly ? "-r " : "") + "'" + image + "' 2>/dev/null");
    if (node.compare(0, 9, "/dev/loop") == 0) node_ = node;
  }
  ~LoopDevice() {
    if (!node_.empty()) shell("losetup -d " + node_);
  }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;

  bool ok() const { return !node_.empty(); }
  const std::string& node() const { return node_; }
  std::string name() const { return node_.substr(5); }

 private:
  std::string node_;
};

// An image of `megabytes` MiB formatted by mkfs.vfat; false when the tools
// are missing.
inline bool makeFatImage(const std::string& image, int megabytes, const char* fat = "32") {
  return shell("truncate -s " + std::to_string(megabytes) + "M '" + image + "' && mkfs.vfat -F " + fat + " -n CARD '" +
               image + "'");
}

}  // namespace mzktest

#define MZK_SKIP_WITHOUT_LOOP(loop) \
  if (!(loop).ok()) GTEST_SKIP() << "loop devices cannot be made here (needs root and losetup)"
