#include "exfat/ExfatVolume.h"

#include <algorithm>

#include "engine/DeletedFileRebuilder.h"
#include "engine/FragmentReader.h"
#include "engine/NamedFileType.h"
#include "engine/RebuiltFile.h"
#include "engine/Pattern.h"
#include "exfat/ExfatAllocationBitmap.h"
#include "exfat/ExfatClusterSpace.h"
#include "exfat/ExfatDirectory.h"
#include "exfat/ExfatFat.h"
#include "exfat/ExfatFileReader.h"
#include "media/ReaderReader.h"
#include "media/Sector.h"
#include "shell/DebugLog.h"

namespace {

const uint64_t kFirstBytes = kSectorBytes;

// Log tags of this file.
const LogTag kLogGeometry{"ExfatVolume", 60};
const LogTag kLogBeyondMedium{"ExfatVolume", 65};
const LogTag kLogNoFat{"ExfatVolume", 71};
const LogTag kLogRootChain{"ExfatVolume", 80};
const LogTag kLogNoBitmap{"ExfatVolume", 98};
const LogTag kLogDirectory{"ExfatVolume", 150};
const LogTag kLogEntryRuns{"ExfatVolume", 210};
const LogTag kLogEntryShort{"ExfatVolume", 216};
const LogTag kLogFirstBytes{"ExfatVolume", 233};
const LogTag kLogNoMatch{"ExfatVolume", 239};
const LogTag kLogWindow{"ExfatVolume", 247};
const LogTag kLogAnalyzedOther{"ExfatVolume", 254};
const LogTag kLogAnalyzeFailed{"ExfatVolume", 258};
const LogTag kLogNotReported{"ExfatVolume", 300};
const LogTag kLogReaderRuns{"ExfatVolume", 306};
const LogTag kLogBudget{"ExfatVolume", 320};

// Lookups for the files' runs while the directories are read: this many
// times the clusters of the volume, and at least this many.
const uint64_t kLookupsPerCluster = 4;
const uint64_t kLeastLookups = uint64_t(1) << 16;

}  // namespace

constexpr uint64_t ExfatVolume::kDirectoryLimit;

ExfatVolume::ExfatVolume(const VolumeContext& context) : context_(context) {}

ExfatVolume::~ExfatVolume() {}

uint64_t ExfatVolume::start() const { return params_.lba * kSectorBytes; }

bool ExfatVolume::init(const ExfatParameters& p) {
  dlog() << kLogGeometry << ": lba: " << p.lba << "\n  fatOffset: " << p.fatOffset << " " << p.fatLength << " ("
         << unsigned(p.numberOfFats) << ", active " << p.activeFat() << ")\n  clusterHeapOffset: "
         << p.clusterHeapOffset << "\n  clusterCount: " << p.clusterCount
         << "\n  sectorsPerCluster: " << (1u << std::min<unsigned>(p.sectorsPerClusterShift, 31))
         << "\n  rootCluster: " << p.rootCluster << "\n";
  Reader* medium = context_.medium;
  params_ = p;
  geometry_ = ExfatGeometry(p);
  if (!geometry_.valid() || geometry_.heapEnd() > medium->size()) {
    dlog() << kLogBeyondMedium << ": " << geometry_.heapEnd() << " " << medium->size() << "\n";
    return false;
  }
  fat_.reset(new ExfatFat(medium, geometry_));
  if (!fat_->startsLikeAFat()) {
    dlog() << kLogNoFat << ": " << geometry_.fatStart() << "\n";
    return false;
  }
  file_.reset(new ExfatFileReader(medium, geometry_));
  lookupBudget_ = std::max(kLeastLookups, kLookupsPerCluster * p.clusterCount);

  // The bitmap's entry sits near the start of the root.
  ClusterRuns rootRuns;
  if (!fat_->chain(p.rootCluster, geometry_.clustersFor(kDirectoryLimit), rootRuns))
    dlog() << kLogRootChain << ": " << p.rootCluster << "\n";
  ExfatFileReader root(medium, geometry_);
  uint64_t rootBytes = clustersIn(rootRuns) * geometry_.clusterBytes();
  root.aim(rootRuns, rootBytes, rootBytes);
  uint64_t first = 0, bytes = 0;
  const uint64_t needed = (uint64_t(p.clusterCount) + 7) / 8;
  if (!findExfatAllocationBitmap(root, p.activeFat(), first, bytes) || bytes < needed ||
      !geometry_.isCluster(first)) {
    dlog() << kLogNoBitmap << ": " << first << " " << bytes << " " << needed << "\n";
    return true;
  }
  // The bitmap is described by a FAT chain; a table that lost it still
  // leaves the bitmap where it was written, in one piece.
  uint64_t clusters = geometry_.clustersFor(bytes);
  ClusterRuns bitmapRuns;
  if (!fat_->chain(first, clusters, bitmapRuns) || clustersIn(bitmapRuns) < clusters)
    bitmapRuns = ClusterRuns{{first, clusters}};
  bitmap_.reset(new ExfatAllocationBitmap(medium, geometry_, bitmapRuns, bytes));
  return true;
}

void ExfatVolume::scanRoot() {
  if (!fat_) return;
  ClusterRuns runs = directoryRuns(params_.rootCluster, false, false, kDirectoryLimit);
  pending_.push_back({runs, clustersIn(runs) * geometry_.clusterBytes()});
  readPendingDirectories();
}

bool ExfatVolume::scanDirectoryAt(uint64_t offset, uint64_t cluster) {
  if (!fat_) return false;
  int64_t holding = geometry_.clusterHolding(offset);
  if (holding < 0) return false;
  uint64_t c = static_cast<uint64_t>(holding);
  if (!directoryClusters_.insert(c).second) return true;
  // The sets that begin in this cluster; the last may reach into the
  // cluster that follows, which is read only that far.
  const uint64_t clusterBytes = geometry_.clusterBytes();
  uint64_t tail = geometry_.isCluster(c + 1) ? std::min<uint64_t>(clusterBytes, kExfatLargestSetBytes) : 0;
  ExfatFileReader directory(context_.medium, geometry_);
  directory.aim(ClusterRuns{{c, tail ? 2u : 1u}}, clusterBytes + tail, clusterBytes + tail);
  walkExfatDirectory(directory, 0, clusterBytes, [this](const ExfatEntrySet& set) { visit(set); });
  readPendingDirectories();
  return true;
}

ClusterRuns ExfatVolume::directoryRuns(uint64_t first, bool contiguous, bool deleted, uint64_t bytes) {
  ClusterRuns runs;
  uint64_t needed = geometry_.clustersFor(std::min(bytes, kDirectoryLimit));
  uint64_t c = first;
  for (uint64_t i = 0; i < needed; ++i) {
    // A cluster read as a directory before belongs to that directory.
    if (!geometry_.isCluster(c) || directoryClusters_.count(c)) break;
    if (deleted && (!bitmap_ || bitmap_->inUse(c))) break;
    directoryClusters_.insert(c);
    appendCluster(runs, c);
    if (contiguous || deleted) {
      ++c;
    } else if (!fat_->next(c, c) || c == 0) {
      break;
    }
  }
  return runs;
}

void ExfatVolume::readPendingDirectories() {
  while (!pending_.empty()) {
    PendingDirectory next = std::move(pending_.front());
    pending_.pop_front();
    ExfatFileReader directory(context_.medium, geometry_);
    directory.aim(next.runs, next.bytes, next.bytes);
    ExfatDirectoryWalk walk =
        walkExfatDirectory(directory, 0, directory.size(), [this](const ExfatEntrySet& set) { visit(set); });
    if (walk.refused || walk.unreadable)
      dlog() << kLogDirectory << ": " << (next.runs.empty() ? 0 : next.runs.front().first) << " " << walk.sets
             << " " << walk.refused << " " << walk.unreadable << "\n";
  }
}

void ExfatVolume::visit(const ExfatEntrySet& set) {
  if (!set.directory) {
    // A file the walk has not reached waits for it (see walkReaches).
    if (!putOff_.keep(geometry_.offsetOfCluster(set.firstCluster), set)) reportFile(set);
    return;
  }
  if (set.firstCluster == 0) return;
  ClusterRuns runs = directoryRuns(set.firstCluster, set.contiguous, set.deleted, set.dataLength);
  if (runs.empty()) return;
  uint64_t bytes = std::min(set.dataLength, clustersIn(runs) * geometry_.clusterBytes());
  pending_.push_back({std::move(runs), bytes});
}

void ExfatVolume::walkReaches(uint64_t position) {
  putOff_.reach(position, [this](const ExfatEntrySet& set) { reportFile(set); });
}

bool ExfatVolume::fileRuns(const Extent& extent, uint64_t size, ClusterRuns& runs) {
  runs.clear();
  uint64_t needed = geometry_.clustersFor(size);
  if (needed == 0) return true;
  if (extent.deleted) {
    // Whatever the entry said, the table keeps no chain for a deleted file:
    // it is taken to lie in the free clusters from its first one on.
    if (!bitmap_) return false;
    uint64_t free = bitmap_->freeRun(extent.firstCluster, needed);
    if (free) runs.push_back({extent.firstCluster, free});
    return true;
  }
  if (extent.contiguous) {
    if (!geometry_.isCluster(extent.firstCluster) || needed - 1 > geometry_.lastCluster() - extent.firstCluster)
      return false;
    runs.push_back({extent.firstCluster, needed});
    return true;
  }
  return fat_->chain(extent.firstCluster, needed, runs);
}

void ExfatVolume::reportFile(const ExfatEntrySet& set) {
  const bool live = !set.deleted;
  NamedFileType named = namedFileType(set.name, set.dataLength);
  const Pattern* found = fileSystemPattern(context_.patterns, named);
  if (!found) return;

  Extent extent;
  extent.firstCluster = set.firstCluster;
  extent.contiguous = set.contiguous;
  extent.deleted = set.deleted;
  extent.validLength = set.validDataLength;
  ClusterRuns runs;
  uint64_t needed = geometry_.clustersFor(set.dataLength);
  if (needed > lookupBudget_) {
    // Written once: from here on every file that needs a lookup is passed over.
    if (lookupBudget_) dlog() << kLogBudget << ": " << set.name << " " << needed << " " << lookupBudget_ << "\n";
    lookupBudget_ = 0;
    return;
  }
  bool built = fileRuns(extent, set.dataLength, runs);
  // A chain that broke may have been followed all the way first.
  lookupBudget_ -= built ? std::min(needed, clustersIn(runs) + 1) : needed;
  if (!built) {
    if (live) dlog() << kLogEntryRuns << ": " << set.name << " " << set.firstCluster << " " << set.dataLength << "\n";
    return;
  }
  // A deleted file whose every byte was written may be proven along other
  // free clusters than those right after its first one.
  DeletedFileRebuild rebuilt;
  if (set.deleted && bitmap_ && named.testContent && set.validDataLength >= set.dataLength) {
    ExfatClusterSpace space(geometry_, *bitmap_);
    DeletedFileRebuilder rebuilder(*context_.medium, space, &searchBudget_);
    rebuilt = rebuilder.rebuild(named.type, found->analyzeModule(), set.firstCluster, set.dataLength);
    if (rebuilt.verdict == DeletedFileRebuild::kProven) {
      reportRebuilt(set, named, *found, rebuilt, extent);
      return;
    }
  }
  file_->aim(runs, set.dataLength, set.validDataLength);
  if (file_->size() < set.dataLength) {
    if (live) dlog() << kLogEntryShort << ": " << set.name << " " << file_->size() << " " << set.dataLength << "\n";
    return;
  }
  bool fragmented = file_->isFragmented();

  FileModule::File file;
  if (named.raw) file.attributes.setBool("raw", true);
  if (named.testContent && !contentFits(set, named, *found, file)) return;
  describe(set, named, file);
  file.attributes.setBool("fragmented", fragmented);
  file.attributes.set(kRebuiltKey, set.deleted ? kRebuiltFreeRun : kRebuiltChain);
  // Its format shows that the free clusters after its first one do not
  // hold it: listed, but not as a good file.
  if (rebuilt.verdict == DeletedFileRebuild::kDisproved) file.attributes.setBool(kPartialKey, true);
  reported_.emplace(std::make_pair(file.offset, file.size), extent);
  if (context_.found) context_.found->found(file);
}

void ExfatVolume::describe(const ExfatEntrySet& set, const NamedFileType& named, FileModule::File& file) const {
  int64_t offset = geometry_.offsetOfCluster(set.firstCluster);
  file.offset = static_cast<uint64_t>(offset);  // -1 (no cluster) for an empty file
  file.size = set.dataLength;
  file.attributes.set("t", named.type);
  file.attributes.setInt32("fs", context_.index);
  file.attributes.set("fn", set.name);
  file.attributes.setBool("deleted", set.deleted);
  // Stored in 32 bits, as every "time" is.
  if (set.hasTime) file.attributes.setInt32("time", static_cast<int32_t>(static_cast<uint32_t>(set.modified)));
}

void ExfatVolume::reportRebuilt(const ExfatEntrySet& set, const NamedFileType& named, const Pattern& pattern,
                                const DeletedFileRebuild& rebuilt, const Extent& extent) {
  FileModule::File file;
  if (named.raw) file.attributes.setBool("raw", true);
  // The module's other attributes, from the proven reading.
  if (FileModule* module = pattern.analyzeModule()) {
    FragmentReader reader(context_.medium);
    reader.aim(rebuilt.runs);
    ReaderReader window(&reader);
    if (window.setWindow(0, set.dataLength)) module->analyze(window, file);
  }
  describe(set, named, file);
  file.attributes.setBool("fragmented", rebuilt.fragmented);
  file.attributes.set(kRebuiltKey, rebuilt.method);
  // The plain reading is the volume's own; any other is read along its runs.
  const bool plain = rebuilt.method == kRebuiltFreeRun;
  if (plain) reported_.emplace(std::make_pair(file.offset, file.size), extent);
  if (!context_.found) return;
  if (plain)
    context_.found->found(file);
  else
    context_.found->foundRebuilt(file, rebuilt.runs);
}

bool ExfatVolume::contentFits(const ExfatEntrySet& set, const NamedFileType& named, const Pattern& pattern,
                              FileModule::File& file) {
  const bool live = !set.deleted;
  uint8_t first[kFirstBytes] = {};
  uint64_t count = std::min<uint64_t>(kFirstBytes, set.dataLength);
  if (!file_->read(0, first, count)) {
    dlog() << kLogFirstBytes << ": " << set.name << " " << count << "\n";
    return false;
  }
  if (!pattern.matches(first, kFirstBytes)) {
    if (live) dlog() << kLogNoMatch << ": " << set.name << "\n";
    return false;
  }
  FileModule* module = pattern.analyzeModule();
  if (!module) return true;
  ReaderReader window(file_.get());
  if (!window.setWindow(0, set.dataLength)) {
    dlog() << kLogWindow << ": " << set.name << " " << set.dataLength << "\n";
    return false;
  }
  // The module's idea of the size does not replace the directory's; its
  // other attributes are kept.
  if (!module->analyze(window, file)) {
    if (live) dlog() << kLogAnalyzeFailed << ": " << set.name << "\n";
  } else {
    std::string type = file.attributes.getString("t");
    if (file.size != set.dataLength || type != named.type)
      dlog() << kLogAnalyzedOther << ": " << set.name << " " << file.size << " " << set.dataLength << " " << type
             << " " << named.type << "\n";
  }
  return true;
}

Reader* ExfatVolume::readerFor(uint64_t offset, uint64_t size) {
  auto it = reported_.find(std::make_pair(offset, size));
  if (it == reported_.end() || !file_) {
    dlog() << kLogNotReported << ": " << offset << " " << size << "\n";
    return nullptr;
  }
  ClusterRuns runs;
  if (!fileRuns(it->second, size, runs)) {
    dlog() << kLogReaderRuns << ": " << offset << " " << size << "\n";
    return nullptr;
  }
  file_->aim(runs, size, it->second.validLength);
  if (file_->size() < size) {
    dlog() << kLogReaderRuns << ": " << offset << " " << size << " " << file_->size() << "\n";
    return nullptr;
  }
  return file_.get();
}

ByteRuns ExfatVolume::byteRuns(uint64_t offset, uint64_t size) {
  if (size == 0 || !readerFor(offset, size)) return ByteRuns();
  return file_->byteRuns();
}

bool ExfatVolume::clusterGrid(uint64_t& origin, uint64_t& clusterBytes) const {
  if (!geometry_.valid()) return false;
  origin = geometry_.heapStart();
  clusterBytes = geometry_.clusterBytes();
  return true;
}
