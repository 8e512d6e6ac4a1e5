#include "exfat/ExfatFat.h"

#include <algorithm>

#include "shell/DebugLog.h"

namespace {
// Entry 0: the media type in the low byte, all ones above.  F8 is what
// every formatter writes; F0 and F9 to FE are the other media types.
bool isMediaEntry(uint32_t value) {
  uint32_t media = value & 0xFF;
  return (value >> 8) == 0xFFFFFF && (media == 0xF0 || (media >= 0xF8 && media <= 0xFE));
}
const uint64_t kEntryBytes = 4;

// Log tags of this file.
const LogTag kLogEntryUnreadable{"ExfatFat", 31};
const LogTag kLogBadNext{"ExfatFat", 45};
const LogTag kLogChainBroken{"ExfatFat", 66};
const LogTag kLogChainLoops{"ExfatFat", 80};
}  // namespace

constexpr uint32_t ExfatFat::kEndOfChain;
constexpr uint32_t ExfatFat::kBadCluster;

ExfatFat::ExfatFat(Reader* medium, const ExfatGeometry& geometry) : geometry_(geometry), window_(medium) {
  // A window that cannot be set (the table lies past the medium) leaves
  // the cursor over nothing: every lookup then fails.
  bool placed = window_.setWindow(geometry.fatStart(), geometry.fatBytes());
  cursor_.reset(new ByteCursor(window_, placed ? geometry.fatBytes() : 0));
}

bool ExfatFat::startsLikeAFat() {
  uint32_t media = 0, one = 0;
  return cursor_->le32(0, media) && cursor_->le32(kEntryBytes, one) && isMediaEntry(media) && one == kEndOfChain;
}

bool ExfatFat::entry(uint64_t cluster, uint32_t& value) {
  if (!geometry_.isCluster(cluster)) return false;
  if (!cursor_->le32(cluster * kEntryBytes, value)) {
    dlog() << kLogEntryUnreadable << ": " << cluster << "\n";
    return false;
  }
  return true;
}

bool ExfatFat::next(uint64_t cluster, uint64_t& next) {
  uint32_t value = 0;
  if (!entry(cluster, value)) return false;
  if (value == kEndOfChain) {
    next = 0;
    return true;
  }
  if (!geometry_.isCluster(value)) {
    dlog() << kLogBadNext << ": " << cluster << " " << value << "\n";
    return false;
  }
  next = value;
  return true;
}

bool ExfatFat::chain(uint64_t first, uint64_t clusters, ClusterRuns& runs) {
  runs.clear();
  uint64_t c = first;
  // No chain holds more clusters than the volume.
  clusters = std::min(clusters, geometry_.lastCluster() - 1);
  for (uint64_t i = 0; i < clusters && c != 0; ++i) {
    if (!geometry_.isCluster(c)) {
      dlog() << kLogChainBroken << ": " << first << " " << c << " " << i << "\n";
      runs.clear();
      return false;
    }
    appendCluster(runs, c);
    if (i + 1 == clusters) break;
    uint64_t following = 0;
    if (!next(c, following)) {
      dlog() << kLogChainBroken << ": " << first << " " << c << " " << i << "\n";
      runs.clear();
      return false;
    }
    c = following;
  }
  // Runs of a sound chain never overlap; sorted by start, each ends before
  // the next begins.
  ClusterRuns sorted(runs);
  std::sort(sorted.begin(), sorted.end(), [](const ClusterRun& a, const ClusterRun& b) { return a.first < b.first; });
  for (size_t i = 1; i < sorted.size(); ++i) {
    if (sorted[i - 1].first + sorted[i - 1].count > sorted[i].first) {
      dlog() << kLogChainLoops << ": " << first << " " << sorted[i].first << "\n";
      runs.clear();
      return false;
    }
  }
  return true;
}
