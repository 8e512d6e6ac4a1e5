#include "fat/FatClusterSpace.h"

FatClusterSpace::FatClusterSpace(Reader* medium, const FatParameters& params, std::shared_ptr<Bitmap> copyMap)
    : geometry_(params), table_(medium) {
  valid_ = geometry_.valid() && table_.init(params, std::move(copyMap));
}

bool FatClusterSpace::isFree(uint64_t cluster) {
  FatEntryKind kind = kFatEntryInvalid;
  uint64_t value = 0;
  return valid_ && geometry_.isCluster(cluster) && table_.getEntry(cluster, kind, value) && kind == kFatEntryFree;
}
