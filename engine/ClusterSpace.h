// What a volume tells about its clusters, so that a deleted file can be
// put back together from the clusters that are free.
#pragma once

#include <cstdint>

class ClusterSpace {
 public:
  virtual ~ClusterSpace() {}
  virtual uint64_t clusterBytes() const = 0;
  // Clusters are numbered from 2 to lastCluster().
  virtual uint64_t lastCluster() const = 0;
  // Medium byte position of a cluster, -1 when it is not one of the volume's.
  virtual int64_t offsetOfCluster(uint64_t cluster) const = 0;
  // The cluster that starts at a medium position, -1 when none does.
  virtual int64_t clusterAt(uint64_t position) const = 0;
  // The allocation table or bitmap says no file holds the cluster (false
  // also when that cannot be read).
  virtual bool isFree(uint64_t cluster) = 0;
};
