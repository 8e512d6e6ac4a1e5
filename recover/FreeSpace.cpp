#include "recover/FreeSpace.h"

#include <sys/statvfs.h>

namespace {
uint64_t onDisk(const FreeSpace& space, uint64_t size) {
  uint64_t block = space.blockBytes ? space.blockBytes : 1;
  return size / block * block + (size % block ? block : 0);
}
}  // namespace

FreeSpace freeSpaceIn(const std::string& folder) {
  FreeSpace space;
  struct statvfs st;
  if (statvfs(folder.c_str(), &st) != 0) return space;
  space.known = true;
  space.blockBytes = st.f_frsize ? st.f_frsize : st.f_bsize;
  space.freeBytes = uint64_t(st.f_bavail) * space.blockBytes;
  return space;
}

uint64_t spaceNeeded(const FreeSpace& space, const std::vector<uint64_t>& sizes) {
  uint64_t total = 0;
  for (uint64_t size : sizes) {
    uint64_t need = onDisk(space, size);
    total = need > UINT64_MAX - total ? UINT64_MAX : total + need;
  }
  return total;
}

size_t filesThatFit(const FreeSpace& space, const std::vector<uint64_t>& sizes) {
  uint64_t used = 0;
  size_t n = 0;
  for (uint64_t size : sizes) {
    uint64_t need = onDisk(space, size);
    if (need > space.freeBytes - used) break;
    used += need;
    ++n;
  }
  return n;
}
