// The clusters of one FAT volume as the rebuilding of deleted files sees
// them: where each lies, and whether the allocation table holds it free.
#pragma once

#include <memory>

#include "engine/ClusterSpace.h"
#include "fat/Bitmap.h"
#include "fat/FatGeometry.h"
#include "fat/FatTable.h"

class Reader;

class FatClusterSpace : public ClusterSpace {
 public:
  // The medium is not owned and must outlive the object; the table reads
  // the FAT copy the map names, as the volume's chain reader does.
  FatClusterSpace(Reader* medium, const FatParameters& params, std::shared_ptr<Bitmap> copyMap);
  bool valid() const { return valid_; }

  uint64_t clusterBytes() const override { return geometry_.clusterBytes(); }
  uint64_t lastCluster() const override { return geometry_.lastCluster(); }
  int64_t offsetOfCluster(uint64_t cluster) const override { return geometry_.offsetOfCluster(cluster); }
  int64_t clusterAt(uint64_t position) const override { return geometry_.clusterOfOffset(position); }
  bool isFree(uint64_t cluster) override;

 private:
  FatGeometry geometry_;
  FatTable table_;
  bool valid_ = false;
};
