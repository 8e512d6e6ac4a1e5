// The volume a card held before its last format.

#include "fat/FsFatFormer.h"

#include "engine/FileModule.h"
#include "engine/FormatValidator.h"
#include "engine/NamedFileType.h"
#include "engine/RebuiltFile.h"
#include "fat/DirectoryEntry.h"
#include "fat/FATDirectory.h"
#include "fat/FatParameters.h"
#include "media/Sector.h"
#include "shell/DebugLog.h"

namespace {

// Log tags of this file.
const LogTag kLogOpened{"FsFatFormer", 30};
const LogTag kLogNotConfirmed{"FsFatFormer", 31};

const uint64_t kLeastCluster = 512;
const uint64_t kMostCluster = 65536;

FatParameters parametersOf(uint64_t dataStart, uint64_t clusterBytes, uint64_t mediumSize) {
  FatParameters p;
  p.dataClusterLba = static_cast<uint32_t>(dataStart / kSectorBytes);
  p.sectorsPerCluster = static_cast<uint32_t>(clusterBytes / kSectorBytes);
  uint64_t clusters = mediumSize > dataStart ? (mediumSize - dataStart) / clusterBytes : 0;
  p.dataClusters = static_cast<uint32_t>(std::min<uint64_t>(clusters, 0x0FFFFFF5));
  return p;
}

}  // namespace

constexpr uint64_t FsFatFormer::kDirectoryClusters;

FsFatFormer::FsFatFormer(const VolumeContext& context, uint64_t dataStart, uint64_t clusterBytes,
                         std::vector<UnclaimedDirectory> directories)
    : context_(context),
      dataStart_(dataStart),
      clusterBytes_(clusterBytes),
      initial_(std::move(directories)),
      window_(context.medium),
      latestYear_(latestFatYear()) {}

bool FsFatFormer::init() {
  const uint64_t mediumSize = context_.medium->size();
  if (dataStart_ % kSectorBytes || dataStart_ > UINT32_MAX * uint64_t(kSectorBytes) || dataStart_ >= mediumSize)
    return false;
  geometry_ = FatGeometry(parametersOf(dataStart_, clusterBytes_, mediumSize));
  if (!geometry_.valid() || geometry_.lastCluster() < 2) return false;
  dlog() << kLogOpened << ": " << dataStart_ << " " << clusterBytes_ << " " << initial_.size() << "\n";
  return true;
}

void FsFatFormer::scanRoot() {
  for (const UnclaimedDirectory& d : initial_) scanDirectoryAt(d.offset, d.cluster);
}

bool FsFatFormer::scanDirectoryAt(uint64_t offset, uint64_t cluster) {
  if (cluster == kUnknownCluster) return false;
  int64_t at = geometry_.offsetOfCluster(cluster);
  if (at < 0 || static_cast<uint64_t>(at) != offset) return false;
  scanDirectory(offset);
  return true;
}

void FsFatFormer::scanDirectory(uint64_t offset) {
  if (!scanned_.insert(offset).second) return;
  ReaderReader directory(context_.medium);
  if (!directory.setWindow(offset, kDirectoryClusters * clusterBytes_)) return;
  std::vector<FatDirectoryEntry> entries;
  parseDirectory(directory, true, latestYear_, entries);
  const uint64_t mediumSize = context_.medium->size();
  for (const FatDirectoryEntry& entry : entries) {
    if (entry.isDirectory || entry.size == 0 || !context_.patterns) continue;
    NamedFileType named = namedFileType(entry.name, entry.size);
    if (!named.testContent) continue;
    const Pattern* found = fileSystemPattern(context_.patterns, named);
    if (!found) continue;
    const Pattern& pattern = *found;
    FileModule* module = pattern.analyzeModule();
    int64_t at = geometry_.offsetOfCluster(entry.firstCluster);
    if (!module || at < 0 || !Reader::fits(static_cast<uint64_t>(at), entry.size, mediumSize)) continue;

    // Without an allocation table only the file's own format can show that
    // its one run holds it.
    const uint64_t start = static_cast<uint64_t>(at);
    uint8_t first[kSectorBytes] = {};
    if (!window_.setWindow(start, entry.size) ||
        !window_.read(0, first, std::min<uint64_t>(sizeof first, entry.size)) || !pattern.matches(first, sizeof first))
      continue;
    FileModule::File file;
    bool confirmed = module->analyze(window_, file) && file.size == entry.size && file.attributes.getString("t") == named.type;
    if (confirmed) {
      if (std::unique_ptr<FormatValidator> validator = validatorFor(named.type)) {
        FormatProof proof = validator->check(window_, 0, false);
        confirmed = proof.verdict == FormatProof::kUnknown ||
                    (proof.verdict == FormatProof::kProven && proof.end == entry.size);
      }
    }
    if (!confirmed) {
      dlog() << kLogNotConfirmed << ": " << entry.name << " " << entry.firstCluster << " " << entry.size << "\n";
      continue;
    }
    file.offset = start;
    file.size = entry.size;
    file.attributes.set("t", named.type);
    file.attributes.setInt32("fs", context_.index);
    file.attributes.set("fn", entry.name);
    file.attributes.setBool("fragmented", false);
    file.attributes.setBool("deleted", entry.deleted);
    file.attributes.set(kRebuiltKey, kRebuiltContiguous);
    if (context_.found) context_.found->found(file);
  }
}

Reader* FsFatFormer::readerFor(uint64_t offset, uint64_t size) {
  if (!Reader::fits(offset, size, context_.medium->size()) || !window_.setWindow(offset, size)) return nullptr;
  return &window_;
}

ByteRuns FsFatFormer::byteRuns(uint64_t offset, uint64_t size) {
  ByteRuns runs;
  if (size && readerFor(offset, size)) runs.push_back({0, offset, size});
  return runs;
}

bool FsFatFormer::clusterGrid(uint64_t& origin, uint64_t& clusterBytes) const {
  origin = dataStart_;
  clusterBytes = clusterBytes_;
  return true;
}

bool formerFatGeometry(const std::vector<UnclaimedDirectory>& unclaimed, uint64_t& dataStart, uint64_t& clusterBytes) {
  if (unclaimed.size() < 2) return false;
  const UnclaimedDirectory& n = unclaimed.back();
  for (size_t i = unclaimed.size() - 1; i-- > 0;) {
    const UnclaimedDirectory& e = unclaimed[i];
    if (e.cluster == n.cluster || e.offset == n.offset || n.cluster < 2 || e.cluster < 2) continue;
    // Both in the same order on the medium as their numbers.
    const bool up = n.cluster > e.cluster;
    if (up != (n.offset > e.offset)) continue;
    uint64_t clusters = up ? n.cluster - e.cluster : e.cluster - n.cluster;
    uint64_t bytes = up ? n.offset - e.offset : e.offset - n.offset;
    if (bytes % clusters) continue;
    uint64_t size = bytes / clusters;
    if (size < kLeastCluster || size > kMostCluster || (size & (size - 1))) continue;
    uint64_t before = n.cluster - 2;
    if (before > n.offset / size) continue;
    uint64_t start = n.offset - before * size;
    if (start % kSectorBytes) continue;
    dataStart = start;
    clusterBytes = size;
    return true;
  }
  return false;
}

void openFormerFatVolume(VolumeHost& host, const std::vector<UnclaimedDirectory>& unclaimed) {
  uint64_t dataStart = 0, clusterBytes = 0;
  if (!formerFatGeometry(unclaimed, dataStart, clusterBytes)) return;
  // The directories this geometry places where they were met.
  std::vector<UnclaimedDirectory> agreeing;
  for (const UnclaimedDirectory& d : unclaimed)
    if (d.cluster >= 2 && d.offset >= dataStart && (d.offset - dataStart) % clusterBytes == 0 &&
        (d.offset - dataStart) / clusterBytes == d.cluster - 2)
      agreeing.push_back(d);
  host.addVolume([&](const VolumeContext& context) -> std::shared_ptr<Volume> {
    auto volume = std::make_shared<FsFatFormer>(context, dataStart, clusterBytes, agreeing);
    if (!volume->init()) return nullptr;
    return volume;
  });
}
