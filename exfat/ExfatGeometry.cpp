#include "exfat/ExfatGeometry.h"

#include "media/Sector.h"

namespace {
// Sector numbers above this would wrap, or leave int64_t, as byte positions.
const uint64_t kMaxSector = uint64_t(INT64_MAX) / kSectorBytes;
const unsigned kLargestClusterShift = 16;
}  // namespace

ExfatGeometry::ExfatGeometry(const ExfatParameters& p) {
  if (p.sectorsPerClusterShift > kLargestClusterShift || p.clusterCount == 0) return;
  uint64_t sectorsPerCluster = uint64_t(1) << p.sectorsPerClusterShift;
  clusterBytes_ = sectorsPerCluster * kSectorBytes;
  lastCluster_ = uint64_t(p.clusterCount) + 1;
  // Each term is below 2^48 sectors; only lba can push the sum out of range.
  uint64_t heapSectors = uint64_t(p.clusterCount) * sectorsPerCluster;
  uint64_t fatSector = uint64_t(p.fatOffset) + uint64_t(p.activeFat()) * p.fatLength;
  uint64_t farthest = uint64_t(p.clusterHeapOffset) + heapSectors;
  if (p.lba > kMaxSector || farthest > kMaxSector - p.lba || fatSector > kMaxSector - p.lba) return;
  heapStart_ = (p.lba + p.clusterHeapOffset) * kSectorBytes;
  heapEnd_ = (p.lba + farthest) * kSectorBytes;
  fatStart_ = (p.lba + fatSector) * kSectorBytes;
  valid_ = true;
}

int64_t ExfatGeometry::offsetOfCluster(uint64_t cluster) const {
  if (!isCluster(cluster)) return -1;
  return static_cast<int64_t>(heapStart_ + (cluster - 2) * clusterBytes_);
}

int64_t ExfatGeometry::clusterOfOffset(uint64_t offset) const {
  int64_t cluster = clusterHolding(offset);
  if (cluster < 0 || (offset - heapStart_) % clusterBytes_ != 0) return -1;
  return cluster;
}

int64_t ExfatGeometry::clusterHolding(uint64_t offset) const {
  if (!valid_ || offset < heapStart_ || offset >= heapEnd_) return -1;
  return static_cast<int64_t>((offset - heapStart_) / clusterBytes_ + 2);
}
