// Cluster arithmetic of one exFAT volume on the medium, in bytes and in 64
// bits.  Every conversion between clusters and medium positions goes
// through here.
#pragma once

#include <cstdint>

#include "exfat/ExfatParameters.h"

class ExfatGeometry {
 public:
  ExfatGeometry() {}
  explicit ExfatGeometry(const ExfatParameters& params);

  // False when the volume cannot be addressed in 64-bit byte positions.
  bool valid() const { return valid_; }
  uint64_t clusterBytes() const { return clusterBytes_; }
  uint64_t lastCluster() const { return lastCluster_; }
  // Medium byte positions of cluster 2, of the end of the last cluster, and
  // of the active FAT.
  uint64_t heapStart() const { return heapStart_; }
  uint64_t heapEnd() const { return heapEnd_; }
  uint64_t fatStart() const { return fatStart_; }
  // Bytes of the FAT that describe the volume's clusters (entries 0 to the
  // last cluster).
  uint64_t fatBytes() const { return (lastCluster_ + 1) * 4; }
  bool isCluster(uint64_t cluster) const { return valid_ && cluster >= 2 && cluster <= lastCluster_; }

  // Medium byte position of `cluster`, or -1 when it is not one of the
  // volume's clusters.
  int64_t offsetOfCluster(uint64_t cluster) const;
  // The cluster that starts exactly at `offset`, or -1.
  int64_t clusterOfOffset(uint64_t offset) const;
  // The cluster that holds the byte at `offset`, or -1.
  int64_t clusterHolding(uint64_t offset) const;
  // Clusters that `bytes` bytes occupy.
  uint64_t clustersFor(uint64_t bytes) const {
    return clusterBytes_ ? bytes / clusterBytes_ + (bytes % clusterBytes_ ? 1 : 0) : 0;
  }

 private:
  bool valid_ = false;
  uint64_t clusterBytes_ = 0;
  uint64_t lastCluster_ = 0;
  uint64_t heapStart_ = 0;
  uint64_t heapEnd_ = 0;
  uint64_t fatStart_ = 0;
};
