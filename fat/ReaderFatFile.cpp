#include "fat/ReaderFatFile.h"

#include <algorithm>
#include <unordered_set>

#include "shell/DebugLog.h"

namespace {
// Log tags of this file.
const LogTag kLogTableInit{"ReaderFatFile", 23};
const LogTag kLogNoClusterSize{"ReaderFatFile", 27};
const LogTag kLogOpenFailed{"ReaderFatFile", 40};
const LogTag kLogReadNoClusterSize{"ReaderFatFile", 62};
const LogTag kLogPastList{"ReaderFatFile", 76};
const LogTag kLogPastVolume{"ReaderFatFile", 79};
const LogTag kLogClusterRead{"ReaderFatFile", 84};
const LogTag kLogLookupFailed{"ReaderFatFile", 116};
const LogTag kLogLoop{"ReaderFatFile", 134};
const LogTag kLogFreeAfterChain{"ReaderFatFile", 152};
const LogTag kLogBrokenChain{"ReaderFatFile", 161};
const LogTag kLogMediumRead{"ReaderFatFile", 180};
}  // namespace

ReaderFatFile::ReaderFatFile(Reader* medium) : medium_(medium), table_(medium) { setSize(0); }

ReaderFatFile::~ReaderFatFile() {}

bool ReaderFatFile::init(const FatParameters& params, std::shared_ptr<Bitmap> copyMap) {
  if (!table_.init(params, std::move(copyMap))) {
    dlog() << kLogTableInit << "\n";
    return false;
  }
  FatGeometry geometry(params);
  if (!geometry.valid()) {
    dlog() << kLogNoClusterSize << "\n";
    return false;
  }
  geometry_ = geometry;
  params_ = params;
  clusters_.clear();
  chainState_ = kChainNone;
  setSize(0);
  return true;
}

bool ReaderFatFile::open(uint64_t firstCluster, uint64_t size) {
  clusters_.clear();
  chainState_ = kChainNone;
  setSize(0);
  const uint64_t clusterBytes = geometry_.clusterBytes();
  if (!geometry_.valid()) {
    dlog() << kLogOpenFailed << ": " << firstCluster << " " << size << "\n";
    return false;
  }
  uint64_t needed = size / clusterBytes + (size % clusterBytes ? 1 : 0);
  // No file holds more clusters than the volume; a longer chain loops.
  needed = std::min<uint64_t>(needed, params_.dataClusters);
  const uint64_t pastLast = uint64_t(params_.dataClusters) + 2;
  uint64_t c = firstCluster;
  bool ended = false;
  while (needed > 0 && !ended) {
    --needed;
    FatEntryKind kind = kFatEntryInvalid;
    uint64_t value = 0;
    if (!table_.getEntry(c, kind, value)) {
      dlog() << kLogLookupFailed << ": " << c << "\n";
      dlog() << kLogOpenFailed << ": " << firstCluster << " " << size << "\n";
      clusters_.clear();
      return false;
    }
    switch (kind) {
      case kFatEntryNext:
      case kFatEntryEnd:
        if (chainState_ == kChainNone) chainState_ = kChainAllocated;
        if (chainState_ == kChainFree) {
          ended = true;  // a free run ends at the first cluster in use
          break;
        }
        clusters_.push_back(c);
        if (kind == kFatEntryEnd)
          ended = true;
        else
          c = value;
        break;
      case kFatEntryFree:
        if (chainState_ == kChainNone) chainState_ = kChainFree;
        if (chainState_ == kChainAllocated) {
          dlog() << kLogFreeAfterChain << ": " << c << " " << fatEntryKindName(kind) << " " << chainState_ << "\n";
          ended = true;
          break;
        }
        clusters_.push_back(c);
        if (c + 1 >= pastLast)
          ended = true;
        else
          c = c + 1;
        break;
      default:
        dlog() << kLogBrokenChain << ": " << c << " " << fatEntryKindName(kind) << "\n";
        dlog() << kLogOpenFailed << ": " << firstCluster << " " << size << "\n";
        clusters_.clear();
        return false;
    }
  }
  cutAtLoop();
  setSize(clusters_.size() * clusterBytes);
  return true;
}

void ReaderFatFile::cutAtLoop() {
  if (chainState_ != kChainAllocated || clusters_.size() < 2) return;
  std::vector<uint64_t> sorted(clusters_);
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end()) return;
  // A chain that comes back to one of its clusters loops; what follows the
  // first repeat is not the file.
  std::unordered_set<uint64_t> seen;
  for (size_t i = 0; i < clusters_.size(); ++i) {
    if (!seen.insert(clusters_[i]).second) {
      dlog() << kLogLoop << ": " << clusters_[i] << " " << i << "\n";
      clusters_.resize(i);
      return;
    }
  }
}

uint64_t ReaderFatFile::clusterAt(uint64_t index) const {
  const uint64_t listed = clusters_.size();
  if (index < listed) return clusters_[index];
  const uint64_t last = geometry_.lastCluster();
  uint64_t base = listed ? clusters_.back() : 1;
  uint64_t beyond = index - listed + 1;
  if (base > last || beyond > last - base) return 0;
  return base + beyond;
}

uint64_t ReaderFatFile::runAt(uint64_t index, uint64_t most) const {
  uint64_t run = 1;
  const uint64_t first = clusters_[index];
  while (run < most && index + run < clusters_.size() && clusters_[index + run] == first + run) ++run;
  return run;
}

bool ReaderFatFile::read(uint64_t offset, void* buffer, uint64_t size) {
  if (!geometry_.valid()) {
    dlog() << kLogReadNoClusterSize << "\n";
    return false;
  }
  const uint64_t clusterBytes = geometry_.clusterBytes();
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint64_t index = offset / clusterBytes;
  uint64_t inCluster = offset % clusterBytes;
  const uint64_t listed = clusters_.size();
  while (size > 0) {
    // Past the list the file is taken to go on in the clusters that follow
    // its last listed one, wherever the read began.
    uint64_t cluster = clusterAt(index);
    // Clusters that follow each other on the medium are read in one go.
    uint64_t clusters = 1;
    if (index >= listed) {
      uint64_t previous = cluster ? cluster - 1 : (listed ? clusters_.back() : 1);
      dlog() << kLogPastList << ": " << previous << " " << index << " " << listed << "\n";
      if (!cluster) return false;
    } else {
      clusters = runAt(index, size / clusterBytes + 2);
    }
    if (!geometry_.isCluster(cluster) || !geometry_.isCluster(cluster + clusters - 1)) {
      dlog() << kLogPastVolume << ": " << cluster << "\n";
      return false;
    }
    uint64_t length = std::min(size, clusters * clusterBytes - inCluster);
    uint64_t position = static_cast<uint64_t>(geometry_.offsetOfCluster(cluster)) + inCluster;
    if (!medium_->read(position, out, length)) {
      dlog() << kLogMediumRead << ": " << position << " " << length << "\n";
      dlog() << kLogClusterRead << ": " << cluster << " " << inCluster << " " << length << "\n";
      return false;
    }
    out += length;
    size -= length;
    index += clusters;
    inCluster = 0;
  }
  return true;
}

bool ReaderFatFile::borrow(uint64_t offset, uint64_t size, const uint8_t*& out, uint64_t& available,
                           std::shared_ptr<const void>& hold) {
  if (!geometry_.valid() || size == 0) return false;
  const uint64_t clusterBytes = geometry_.clusterBytes();
  uint64_t index = offset / clusterBytes;
  uint64_t inCluster = offset % clusterBytes;
  // Past the list, read() says why; there is nothing to lend.
  if (index >= clusters_.size()) return false;
  uint64_t cluster = clusters_[index];
  uint64_t clusters = runAt(index, size / clusterBytes + 2);
  if (!geometry_.isCluster(cluster) || !geometry_.isCluster(cluster + clusters - 1)) return false;
  uint64_t length = std::min(size, clusters * clusterBytes - inCluster);
  uint64_t position = static_cast<uint64_t>(geometry_.offsetOfCluster(cluster)) + inCluster;
  return medium_->borrow(position, length, out, available, hold);
}

bool ReaderFatFile::isFragmented() const {
  for (size_t i = 1; i < clusters_.size(); ++i)
    if (clusters_[i] != clusters_[0] + i) return true;
  return false;
}
