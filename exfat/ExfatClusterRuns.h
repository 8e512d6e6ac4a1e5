// Where a file or directory lies in the cluster heap: runs of consecutive
// clusters in file order.
#pragma once

#include <cstdint>
#include <vector>

struct ClusterRun {
  uint64_t first = 0;
  uint64_t count = 0;
};

typedef std::vector<ClusterRun> ClusterRuns;

// Appends one cluster, extending the last run when it follows it.
inline void appendCluster(ClusterRuns& runs, uint64_t cluster) {
  if (!runs.empty() && runs.back().first + runs.back().count == cluster)
    ++runs.back().count;
  else
    runs.push_back({cluster, 1});
}

inline uint64_t clustersIn(const ClusterRuns& runs) {
  uint64_t n = 0;
  for (const ClusterRun& r : runs) n += r.count;
  return n;
}
