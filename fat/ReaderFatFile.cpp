#include "fat/ReaderFatFile.h"

#include <algorithm>
#include <unordered_set>

#include "shell/DebugLog.h"

namespace {
const uint64_t kSectorBytes = 512;
}

ReaderFatFile::ReaderFatFile(Reader* medium) : medium_(medium), table_(medium) { setSize(0); }

ReaderFatFile::~ReaderFatFile() {}

bool ReaderFatFile::init(const FatParameters& params, std::shared_ptr<Bitmap> copyMap) {
  if (!table_.init(params, std::move(copyMap))) {
    dlog() << "ReaderFatFile(23)\n";
    return false;
  }
  if (params.sectorsPerCluster == 0) {
    dlog() << "ReaderFatFile(27)\n";
    return false;
  }
  // Widened before the multiplication: lba alone may lie past 2^32 sectors.
  dataStart_ = (params.lba + uint64_t(params.dataClusterLba)) * kSectorBytes;
  clusterBytes_ = uint64_t(params.sectorsPerCluster) * kSectorBytes;
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
  if (clusterBytes_ == 0) {
    dlog() << "ReaderFatFile(40): " << firstCluster << " " << size << "\n";
    return false;
  }
  uint64_t needed = size / clusterBytes_ + (size % clusterBytes_ ? 1 : 0);
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
      dlog() << "ReaderFatFile(116): " << c << "\n";
      dlog() << "ReaderFatFile(40): " << firstCluster << " " << size << "\n";
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
          dlog() << "ReaderFatFile(152): " << c << " " << fatEntryKindName(kind) << " " << chainState_ << "\n";
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
        dlog() << "ReaderFatFile(161): " << c << " " << fatEntryKindName(kind) << "\n";
        dlog() << "ReaderFatFile(40): " << firstCluster << " " << size << "\n";
        clusters_.clear();
        return false;
    }
  }
  cutAtLoop();
  setSize(clusters_.size() * clusterBytes_);
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
      dlog() << "ReaderFatFile(134): " << clusters_[i] << " " << i << "\n";
      clusters_.resize(i);
      return;
    }
  }
}

bool ReaderFatFile::read(uint64_t offset, void* buffer, uint64_t size) {
  if (clusterBytes_ == 0) {
    dlog() << "ReaderFatFile(62)\n";
    return false;
  }
  uint8_t* out = static_cast<uint8_t*>(buffer);
  uint64_t index = offset / clusterBytes_;
  uint64_t inCluster = offset % clusterBytes_;
  const uint64_t lastCluster = uint64_t(params_.dataClusters) + 1;
  const uint64_t listed = clusters_.size();
  while (size > 0) {
    uint64_t cluster;
    if (index < listed) {
      cluster = clusters_[index];
    } else {
      // Past the list the file is taken to go on in the clusters that follow
      // its last listed one, wherever the read began.
      uint64_t base = listed ? clusters_.back() : 1;
      uint64_t beyond = index - listed + 1;
      if (base > lastCluster || beyond > lastCluster - base) {
        dlog() << "ReaderFatFile(76): " << base << " " << index << " " << listed << "\n";
        return false;
      }
      cluster = base + beyond;
      dlog() << "ReaderFatFile(76): " << cluster - 1 << " " << index << " " << listed << "\n";
    }
    if (cluster < 2 || cluster > lastCluster) {
      dlog() << "ReaderFatFile(79): " << cluster << "\n";
      return false;
    }
    uint64_t length = std::min(size, clusterBytes_ - inCluster);
    uint64_t position = dataStart_ + (cluster - 2) * clusterBytes_ + inCluster;
    if (!medium_->read(position, out, length)) {
      dlog() << "ReaderFatFile(180): " << position << " " << length << "\n";
      dlog() << "ReaderFatFile(84): " << cluster << " " << inCluster << " " << length << "\n";
      return false;
    }
    out += length;
    size -= length;
    ++index;
    inCluster = 0;
  }
  return true;
}

bool ReaderFatFile::isFragmented() const {
  for (size_t i = 1; i < clusters_.size(); ++i)
    if (clusters_[i] != clusters_[0] + i) return true;
  return false;
}
