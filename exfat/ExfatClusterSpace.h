// The clusters of one exFAT volume as the rebuilding of deleted files sees
// them: where each lies, and whether the allocation bitmap holds it free.
#pragma once

#include "engine/ClusterSpace.h"
#include "exfat/ExfatAllocationBitmap.h"
#include "exfat/ExfatGeometry.h"

class ExfatClusterSpace : public ClusterSpace {
 public:
  // The bitmap is not owned and must outlive the object.
  ExfatClusterSpace(const ExfatGeometry& geometry, ExfatAllocationBitmap& bitmap)
      : geometry_(geometry), bitmap_(bitmap) {}

  uint64_t clusterBytes() const override { return geometry_.clusterBytes(); }
  uint64_t lastCluster() const override { return geometry_.lastCluster(); }
  int64_t offsetOfCluster(uint64_t cluster) const override { return geometry_.offsetOfCluster(cluster); }
  int64_t clusterAt(uint64_t position) const override { return geometry_.clusterOfOffset(position); }
  // A cluster whose bit cannot be read counts as used.
  bool isFree(uint64_t cluster) override { return !bitmap_.inUse(cluster); }

 private:
  ExfatGeometry geometry_;
  ExfatAllocationBitmap& bitmap_;
};
