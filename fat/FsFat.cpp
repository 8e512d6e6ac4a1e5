#include "fat/FsFat.h"

#include <algorithm>
#include <vector>

#include "engine/DeletedFileRebuilder.h"
#include "engine/FileModule.h"
#include "engine/FragmentReader.h"
#include "engine/NamedFileType.h"
#include "engine/RebuiltFile.h"
#include "fat/BootSector.h"
#include "fat/FATDirectory.h"
#include "fat/FatClusterSpace.h"
#include "fat/FatEntry.h"
#include "media/ReaderReader.h"
#include "media/Sector.h"
#include "shell/DebugLog.h"

namespace {

const uint64_t kFirstBytes = kSectorBytes;

// Log tags of this file.
const LogTag kLogGeometry{"FsFat", 67};
const LogTag kLogBeyondMedium{"FsFat", 72};
const LogTag kLogFatType{"FsFat", 84};
const LogTag kLogFatOrder{"FsFat", 88};
const LogTag kLogFatOverlap{"FsFat", 92};
const LogTag kLogNoFat{"FsFat", 106};
const LogTag kLogChainInit{"FsFat", 110};
const LogTag kLogRootBeforeFat{"FsFat", 122};
const LogTag kLogRootCut{"FsFat", 126};
const LogTag kLogRootWindow{"FsFat", 130};
const LogTag kLogRootChain{"FsFat", 138};
const LogTag kLogNoCluster{"FsFat", 163};
const LogTag kLogReaderChain{"FsFat", 167};
const LogTag kLogEntryChain{"FsFat", 203};
const LogTag kLogEntryShort{"FsFat", 210};
const LogTag kLogReused{"FsFat", 214};
const LogTag kLogFirstBytes{"FsFat", 233};
const LogTag kLogNoMatch{"FsFat", 239};
const LogTag kLogWindow{"FsFat", 247};
const LogTag kLogAnalyzedOther{"FsFat", 254};
const LogTag kLogAnalyzeFailed{"FsFat", 258};

}  // namespace

FsFat::FsFat(const VolumeContext& context)
    : context_(context), chain_(context.medium), latestYear_(latestFatYear()) {}

FsFat::~FsFat() {}

uint64_t FsFat::start() const { return parameters().lba * kSectorBytes; }

bool FsFat::init(const FatParameters& p) {
  dlog() << kLogGeometry << ": lba: " << p.lba << "\n  fatLba: " << p.fatLba[0] << " " << p.fatLba[1]
         << "\n  rootDirectoryAddress: " << p.rootDirectoryAddress << " (" << p.rootDirectoryIsCluster
         << ")\n  dataClusterLba: " << p.dataClusterLba << "\n  dataClusters: " << p.dataClusters
         << "\n  sectorsPerCluster: " << p.sectorsPerCluster << "\n";

  Reader* medium = context_.medium;
  FatGeometry geometry(p);
  if (!geometry.valid() || geometry.dataEnd() > medium->size()) {
    uint64_t dataSectors = uint64_t(p.dataClusterLba) + uint64_t(p.dataClusters) * p.sectorsPerCluster;
    dlog() << kLogBeyondMedium << ": " << p.lba << " " << dataSectors << " " << medium->size() << "\n";
    return false;
  }
  int type = fatTypeOf(p.dataClusters);
  if (type == kFatInvalid) {
    dlog() << kLogFatType << "\n";
    return false;
  }
  if (p.fatLba[1] <= p.fatLba[0]) {
    dlog() << kLogFatOrder << ": " << p.fatLba[0] << " " << p.fatLba[1] << "\n";
    return false;
  }
  // The second FAT must also end before the data area; the parser of the
  // boot sector makes it so, but parameters may come from elsewhere.
  uint64_t fatSectors = uint64_t(p.fatLba[1]) - p.fatLba[0];
  if (uint64_t(p.fatLba[1]) + fatSectors > p.dataClusterLba) {
    dlog() << kLogFatOverlap << ": " << p.fatLba[1] << " " << fatSectors << " " << p.dataClusterLba << "\n";
    return false;
  }
  int startBytes = fatStartBytes(type);
  uint8_t start[8] = {};
  int copy = -1;
  for (int i = 0; i < 2 && copy < 0; ++i) {
    uint64_t at = (p.lba + p.fatLba[i]) * kSectorBytes;
    if (medium->read(at, start, startBytes) && checkFatStart(start, type)) copy = i;
  }
  if (copy < 0) {
    dlog() << kLogNoFat << "\n";
    return false;
  }
  auto map = std::make_shared<Bitmap>(FatTable::tableSectors(p));
  if (copy == 1) map->fill(true);
  if (!chain_.init(p, map)) {
    dlog() << kLogChainInit << "\n";
    return false;
  }
  space_.reset(new FatClusterSpace(medium, p, map));
  return true;
}

void FsFat::scanRoot() {
  if (!chain_.geometry().valid()) return;
  const FatParameters& p = parameters();
  if (!p.rootDirectoryIsCluster) {
    if (p.dataClusterLba < p.rootDirectoryAddress) {
      dlog() << kLogRootBeforeFat << ": " << p.rootDirectoryAddress << " " << p.dataClusterLba << "\n";
      return;
    }
    uint64_t length = (uint64_t(p.dataClusterLba) - p.rootDirectoryAddress) * kSectorBytes;
    if (length > kFatDirectoryLimit) {
      dlog() << kLogRootCut << ": " << length << "\n";
      length = kFatDirectoryLimit;
    }
    ReaderReader window(context_.medium);
    if (!window.setWindow((p.lba + p.rootDirectoryAddress) * kSectorBytes, length)) {
      dlog() << kLogRootWindow << "\n";
      return;
    }
    scanDirectory(window, false);
  } else {
    if (!chain_.open(p.rootDirectoryAddress, kFatDirectoryLimit)) {
      dlog() << kLogRootChain << ": " << p.rootDirectoryAddress << " " << kFatDirectoryLimit << "\n";
      return;
    }
    scanDirectory(chain_, false);
  }
}

bool FsFat::scanDirectoryAt(uint64_t offset, uint64_t cluster) {
  if (cluster == kUnknownCluster) return false;
  int64_t at = chain_.geometry().offsetOfCluster(cluster);
  if (at < 0 || static_cast<uint64_t>(at) != offset) return false;
  if (chain_.open(cluster, kFatDirectoryLimit)) scanDirectory(chain_, true);
  return true;
}

void FsFat::scanDirectory(Reader& directory, bool isSubdirectory) {
  std::vector<FatDirectoryEntry> entries;
  parseDirectory(directory, isSubdirectory, latestYear_, entries);
  // From here on the chain reader is re-aimed at each file; the directory is
  // not read again.
  for (const FatDirectoryEntry& entry : entries) {
    if (entry.isDirectory) continue;
    // A file the walk has not reached waits for it (see walkReaches).
    if (!putOff_.keep(chain_.geometry().offsetOfCluster(entry.firstCluster), entry)) scanEntry(entry);
  }
}

void FsFat::walkReaches(uint64_t position) {
  putOff_.reach(position, [this](const FatDirectoryEntry& entry) { scanEntry(entry); });
}

void FsFat::scanEntry(const FatDirectoryEntry& entry) {
  bool live = !entry.deleted;
  NamedFileType named = namedFileType(entry.name, entry.size);
  const Pattern* found = fileSystemPattern(context_.patterns, named);
  if (!found) return;
  const Pattern& pattern = *found;

  if (!chain_.open(entry.firstCluster, entry.size)) {
    dlog() << kLogEntryChain << ": " << entry.name << " " << entry.firstCluster << " " << entry.size << "\n";
    return;
  }
  const bool freeReading = entry.deleted && chain_.chainState() == ReaderFatFile::kChainFree;
  DeletedFileRebuild rebuilt;
  if (freeReading && named.testContent && space_ && space_->valid()) {
    DeletedFileRebuilder rebuilder(*context_.medium, *space_, &searchBudget_);
    rebuilt = rebuilder.rebuild(named.type, pattern.analyzeModule(), entry.firstCluster, entry.size);
    if (rebuilt.verdict == DeletedFileRebuild::kProven) {
      reportRebuilt(entry, named, pattern, rebuilt);
      return;
    }
    // The rebuilder's reads left the chain reader as it was.
  }
  if (chain_.size() < entry.size) {
    if (live) dlog() << kLogEntryShort << ": " << entry.name << " " << chain_.size() << " " << entry.size << "\n";
    return;
  }
  // A deleted file whose first cluster is allocated again holds another
  // file's data now; its chain would be that file's chain.
  if (entry.deleted && chain_.chainState() == ReaderFatFile::kChainAllocated) {
    dlog() << kLogReused << ": " << entry.name << " " << entry.firstCluster << "\n";
    return;
  }
  bool fragmented = chain_.isFragmented();

  FileModule::File file;
  if (named.raw) file.attributes.setBool("raw", true);
  if (named.testContent) {
    uint8_t first[kFirstBytes] = {};
    uint64_t count = std::min<uint64_t>(kFirstBytes, entry.size);
    bool readable = chain_.read(0, first, count);
    if (!readable) {
      dlog() << kLogFirstBytes << ": " << entry.name << " " << count << "\n";
      // A live file whose first sector cannot be read is still reported:
      // its directory entry and its chain vouch for it, and recovering it
      // says what could not be read.  A deleted one is not: nothing shows
      // that its clusters still hold it.
      if (!live) return;
    } else if (!pattern.matches(first, kFirstBytes)) {
      if (live) dlog() << kLogNoMatch << ": " << entry.name << "\n";
      return;
    }
    FileModule* module = readable ? pattern.analyzeModule() : nullptr;
    if (module) {
      ReaderReader window(&chain_);
      if (!window.setWindow(0, entry.size)) {
        dlog() << kLogWindow << ": " << entry.name << " " << entry.size << "\n";
        return;
      }
      if (!module->analyze(window, file)) {
        if (live) dlog() << kLogAnalyzeFailed << ": " << entry.name << "\n";
      } else {
        std::string type = file.attributes.getString("t");
        if (file.size != entry.size || type != named.type)
          dlog() << kLogAnalyzedOther << ": " << entry.name << " " << file.size << " " << entry.size << " " << type
                 << " " << named.type << "\n";
      }
    }
  }
  int64_t offset = chain_.geometry().offsetOfCluster(entry.firstCluster);
  file.offset = static_cast<uint64_t>(offset);  // -1 (no cluster) for an empty file
  file.size = entry.size;
  file.attributes.set("t", named.type);
  file.attributes.setInt32("fs", context_.index);
  file.attributes.set("fn", entry.name);
  file.attributes.setBool("fragmented", fragmented);
  file.attributes.setBool("deleted", entry.deleted);
  file.attributes.set(kRebuiltKey, freeReading ? kRebuiltFreeRun : kRebuiltChain);
  // Its format shows that the free clusters after its first one do not
  // hold it: listed, but not as a good file.
  if (rebuilt.verdict == DeletedFileRebuild::kDisproved) file.attributes.setBool(kPartialKey, true);
  if (context_.found) context_.found->found(file);
}

void FsFat::reportRebuilt(const FatDirectoryEntry& entry, const NamedFileType& named, const Pattern& pattern,
                          const DeletedFileRebuild& rebuilt) {
  FileModule::File file;
  // The module's other attributes, from the proven reading.
  if (FileModule* module = pattern.analyzeModule()) {
    FragmentReader reader(context_.medium);
    reader.aim(rebuilt.runs);
    ReaderReader window(&reader);
    if (window.setWindow(0, entry.size)) module->analyze(window, file);
  }
  file.offset = static_cast<uint64_t>(chain_.geometry().offsetOfCluster(entry.firstCluster));
  file.size = entry.size;
  file.attributes.set("t", named.type);
  file.attributes.setInt32("fs", context_.index);
  file.attributes.set("fn", entry.name);
  file.attributes.setBool("fragmented", rebuilt.fragmented);
  file.attributes.setBool("deleted", true);
  file.attributes.set(kRebuiltKey, rebuilt.method);
  if (!context_.found) return;
  // The plain reading is the volume's own; any other is read along its runs.
  if (rebuilt.method == kRebuiltFreeRun)
    context_.found->found(file);
  else
    context_.found->foundRebuilt(file, rebuilt.runs);
}

Reader* FsFat::readerFor(uint64_t offset, uint64_t size) {
  if (size == 0) {
    // An empty file has no cluster; it still reads back as an empty file.
    if (!chain_.open(0, 0)) {
      dlog() << kLogReaderChain << ": " << offset << " 0\n";
      return nullptr;
    }
    return &chain_;
  }
  int64_t cluster = chain_.geometry().clusterOfOffset(offset);
  if (cluster < 0) {
    dlog() << kLogNoCluster << ": " << offset << "\n";
    return nullptr;
  }
  if (!chain_.open(static_cast<uint64_t>(cluster), size)) {
    dlog() << kLogReaderChain << ": " << offset << " " << size << "\n";
    return nullptr;
  }
  chain_.cutTo(size);
  return &chain_;
}

ByteRuns FsFat::byteRuns(uint64_t offset, uint64_t size) {
  ByteRuns runs;
  if (size == 0 || !readerFor(offset, size)) return runs;
  const uint64_t clusterBytes = chain_.clusterBytes();
  // The same walk as the chain reader: past the list, the clusters after the
  // last listed one.
  uint64_t needed = size / clusterBytes + (size % clusterBytes ? 1 : 0);
  for (uint64_t index = 0; index < needed; ++index) {
    int64_t at = chain_.geometry().offsetOfCluster(chain_.clusterAt(index));
    if (at < 0) break;
    uint64_t fileOffset = index * clusterBytes;
    appendByteRun(runs, fileOffset, static_cast<uint64_t>(at), std::min(clusterBytes, size - fileOffset));
  }
  return runs;
}

bool FsFat::clusterGrid(uint64_t& origin, uint64_t& clusterBytes) const {
  if (!chain_.geometry().valid()) return false;
  origin = chain_.geometry().dataStart();
  clusterBytes = chain_.geometry().clusterBytes();
  return true;
}
