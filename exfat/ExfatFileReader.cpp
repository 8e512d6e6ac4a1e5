#include "exfat/ExfatFileReader.h"

#include <algorithm>
#include <cstring>

#include "shell/DebugLog.h"

namespace {
// Log tags of this file.
const LogTag kLogOutside{"ExfatFileReader", 37};
const LogTag kLogMediumRead{"ExfatFileReader", 62};
}  // namespace

ExfatFileReader::ExfatFileReader(Reader* medium, const ExfatGeometry& geometry)
    : medium_(medium), geometry_(geometry) {
  setSize(0);
}

void ExfatFileReader::aim(const ClusterRuns& runs, uint64_t size, uint64_t validLength) {
  runs_.clear();
  runStarts_.clear();
  uint64_t held = 0;
  const uint64_t clusterBytes = geometry_.clusterBytes();
  for (const ClusterRun& r : runs) {
    // Only runs wholly inside the heap; the file ends before any other.
    if (r.count == 0 || !geometry_.isCluster(r.first) || r.count - 1 > geometry_.lastCluster() - r.first) break;
    runs_.push_back(r);
    runStarts_.push_back(held);
    held += r.count * clusterBytes;
  }
  setSize(std::min(size, held));
  validLength_ = std::min(validLength, Reader::size());
}

bool ExfatFileReader::read(uint64_t offset, void* buffer, uint64_t size) {
  if (!fits(offset, size, Reader::size())) {
    dlog() << kLogOutside << ": " << offset << " " << size << " " << Reader::size() << "\n";
    return false;
  }
  uint8_t* out = static_cast<uint8_t*>(buffer);
  // Past the valid data length there is nothing stored to read.
  if (offset + size > validLength_) {
    uint64_t from = std::max(offset, validLength_);
    memset(out + (from - offset), 0, offset + size - from);
    size = from - offset;
  }
  const uint64_t clusterBytes = geometry_.clusterBytes();
  while (size > 0) {
    size_t run = std::upper_bound(runStarts_.begin(), runStarts_.end(), offset) - runStarts_.begin() - 1;
    uint64_t inRun = offset - runStarts_[run];
    uint64_t length = std::min(size, runs_[run].count * clusterBytes - inRun);
    uint64_t position = static_cast<uint64_t>(geometry_.offsetOfCluster(runs_[run].first)) + inRun;
    if (!medium_->read(position, out, length)) {
      dlog() << kLogMediumRead << ": " << position << " " << length << "\n";
      return false;
    }
    out += length;
    offset += length;
    size -= length;
  }
  return true;
}

ByteRuns ExfatFileReader::byteRuns() const {
  ByteRuns result;
  const uint64_t clusterBytes = geometry_.clusterBytes();
  for (size_t i = 0; i < runs_.size() && runStarts_[i] < validLength_; ++i) {
    uint64_t length = std::min(runs_[i].count * clusterBytes, validLength_ - runStarts_[i]);
    appendByteRun(result, runStarts_[i], static_cast<uint64_t>(geometry_.offsetOfCluster(runs_[i].first)), length);
  }
  return result;
}
