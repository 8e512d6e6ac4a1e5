#include "fat/FatGeometry.h"

#include "media/Sector.h"

namespace {
// Sector numbers above this would wrap when turned into byte positions.
const uint64_t kMaxSector = UINT64_MAX / kSectorBytes;
const uint64_t kMaxPosition = uint64_t(INT64_MAX);
}  // namespace

FatGeometry::FatGeometry(const FatParameters& p) {
  clusterBytes_ = uint64_t(p.sectorsPerCluster) * kSectorBytes;
  lastCluster_ = uint64_t(p.dataClusters) + 1;
  // Widened before every sum: lba alone may lie past 2^32 sectors.
  uint64_t dataSectors = uint64_t(p.dataClusters) * p.sectorsPerCluster;
  if (clusterBytes_ == 0 || p.lba > kMaxSector || p.dataClusterLba > kMaxSector - p.lba) return;
  uint64_t firstSector = p.lba + p.dataClusterLba;
  if (dataSectors > kMaxSector - firstSector) return;
  dataStart_ = firstSector * kSectorBytes;
  dataEnd_ = (firstSector + dataSectors) * kSectorBytes;
  valid_ = dataEnd_ <= kMaxPosition;
}

int64_t FatGeometry::offsetOfCluster(uint64_t cluster) const {
  if (!isCluster(cluster)) return -1;
  return static_cast<int64_t>(dataStart_ + (cluster - 2) * clusterBytes_);
}

int64_t FatGeometry::clusterOfOffset(uint64_t offset) const {
  if (!valid_ || offset < dataStart_ || offset >= dataEnd_) return -1;
  uint64_t past = offset - dataStart_;
  if (past % clusterBytes_ != 0) return -1;
  return static_cast<int64_t>(past / clusterBytes_ + 2);
}

int64_t offsetOfCluster(const FatParameters& params, uint64_t cluster) {
  return FatGeometry(params).offsetOfCluster(cluster);
}

int64_t clusterOfOffset(const FatParameters& params, uint64_t offset) {
  return FatGeometry(params).clusterOfOffset(offset);
}
