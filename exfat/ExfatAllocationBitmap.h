// The allocation bitmap of one exFAT volume: one bit per cluster of the
// heap, set while the cluster is in use.  It lives in the heap itself and
// is read through a buffered cursor.
#pragma once

#include <cstdint>
#include <memory>

#include "exfat/ExfatClusterRuns.h"
#include "exfat/ExfatFileReader.h"
#include "exfat/ExfatGeometry.h"
#include "media/ByteCursor.h"

class ExfatAllocationBitmap {
 public:
  // The bitmap's `bytes` bytes lie along `runs`.  The medium is not owned
  // and must outlive the bitmap.
  ExfatAllocationBitmap(Reader* medium, const ExfatGeometry& geometry, const ClusterRuns& runs, uint64_t bytes);

  // True when the cluster is in use, and also when it is no cluster of the
  // volume or its bit cannot be read: a cluster of unknown state is never
  // taken for part of a deleted file.
  bool inUse(uint64_t cluster);
  // How many clusters in a row from `first` are free, at most `most`.
  uint64_t freeRun(uint64_t first, uint64_t most);

 private:
  ExfatGeometry geometry_;
  ExfatFileReader reader_;
  std::unique_ptr<ByteCursor> cursor_;
};
