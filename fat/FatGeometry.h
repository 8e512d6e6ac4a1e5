// Cluster arithmetic of one FAT volume on the medium, in bytes and in 64
// bits.  Every conversion between clusters and medium positions goes
// through here.
#pragma once

#include <cstdint>

#include "fat/FatParameters.h"

class FatGeometry {
 public:
  FatGeometry() {}
  explicit FatGeometry(const FatParameters& params);

  // False when the cluster size is 0 or the data area cannot be addressed
  // in 64-bit byte positions.
  bool valid() const { return valid_; }
  // Medium byte position of cluster 2.
  uint64_t dataStart() const { return dataStart_; }
  uint64_t clusterBytes() const { return clusterBytes_; }
  uint64_t lastCluster() const { return lastCluster_; }
  // Medium byte position just past the last cluster.
  uint64_t dataEnd() const { return dataEnd_; }
  bool isCluster(uint64_t cluster) const { return valid_ && cluster >= 2 && cluster <= lastCluster_; }

  // Medium byte position of `cluster`, or -1 when it is not one of the
  // volume's clusters.
  int64_t offsetOfCluster(uint64_t cluster) const;
  // The cluster that starts exactly at `offset`, or -1.
  int64_t clusterOfOffset(uint64_t offset) const;

 private:
  bool valid_ = false;
  uint64_t dataStart_ = 0;
  uint64_t clusterBytes_ = 0;
  uint64_t lastCluster_ = 0;
  uint64_t dataEnd_ = 0;
};

// The same on parameters (-1 for "none").
int64_t offsetOfCluster(const FatParameters& params, uint64_t cluster);
int64_t clusterOfOffset(const FatParameters& params, uint64_t offset);
