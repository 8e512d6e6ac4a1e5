#include "exfat/ExfatAllocationBitmap.h"

#include <algorithm>

ExfatAllocationBitmap::ExfatAllocationBitmap(Reader* medium, const ExfatGeometry& geometry, const ClusterRuns& runs,
                                             uint64_t bytes)
    : geometry_(geometry), reader_(medium, geometry) {
  reader_.aim(runs, bytes, bytes);
  cursor_.reset(new ByteCursor(reader_));
}

bool ExfatAllocationBitmap::inUse(uint64_t cluster) {
  if (!geometry_.isCluster(cluster)) return true;
  uint64_t bit = cluster - 2;
  uint8_t byte = 0;
  if (!cursor_->u8(bit / 8, byte)) return true;
  return (byte >> (bit % 8)) & 1;
}

uint64_t ExfatAllocationBitmap::freeRun(uint64_t first, uint64_t most) {
  if (!geometry_.isCluster(first)) return 0;
  most = std::min(most, geometry_.lastCluster() - first + 1);
  uint64_t n = 0;
  while (n < most && (first + n - 2) % 8 != 0) {
    if (inUse(first + n)) return n;
    ++n;
  }
  // Whole bytes at a time: a large free area is passed in one sweep over
  // the cursor's block, not bit by bit.
  while (most - n >= 8) {
    size_t available = 0;
    const uint8_t* bytes = cursor_->span((first + n - 2) / 8, available);
    if (!bytes) return n;
    size_t whole = static_cast<size_t>(std::min<uint64_t>(available, (most - n) / 8));
    size_t i = 0;
    while (i < whole && bytes[i] == 0) ++i;
    n += 8 * uint64_t(i);
    if (i < whole) break;
  }
  while (n < most && !inUse(first + n)) ++n;
  return n;
}
