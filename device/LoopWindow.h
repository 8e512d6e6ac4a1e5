// A loop device over a range of another device: the volume of a fresh
// partition where the kernel shows no partition node (a kernel built
// without partition-table support), so that the format tools can be given
// a device that holds exactly the partition.
#pragma once

#include <cstdint>
#include <string>

class LoopWindow {
 public:
  LoopWindow() {}
  ~LoopWindow() { detach(); }
  LoopWindow(const LoopWindow&) = delete;
  LoopWindow& operator=(const LoopWindow&) = delete;

  // Attaches a free loop device to [offset, offset + size) of `backing`.
  bool attach(const std::string& backing, uint64_t offset, uint64_t size, std::string* error);
  // Empty while nothing is attached.
  const std::string& node() const { return node_; }
  void detach();

 private:
  int fd_ = -1;
  std::string node_;
};
