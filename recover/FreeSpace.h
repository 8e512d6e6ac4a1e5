// Room in the destination folder, checked before recovered files are
// written, so that a recovery does not fill the disk and stop half-way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FreeSpace {
  bool known = false;
  uint64_t freeBytes = 0;   // for an ordinary user, as statvfs counts it
  uint64_t blockBytes = 0;  // what one file takes is rounded up to this
};

FreeSpace freeSpaceIn(const std::string& folder);

// The bytes `sizes` take there, whole blocks each.
uint64_t spaceNeeded(const FreeSpace& space, const std::vector<uint64_t>& sizes);
// How many of `sizes`, taken in order, fit.
size_t filesThatFit(const FreeSpace& space, const std::vector<uint64_t>& sizes);
