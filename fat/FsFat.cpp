#include "fat/FsFat.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "engine/FileCase.h"
#include "engine/FileModule.h"
#include "fat/BootSector.h"
#include "fat/FATDirectory.h"
#include "fat/FatEntry.h"
#include "media/ReaderReader.h"
#include "shell/DebugLog.h"

namespace {

const uint64_t kSectorBytes = 512;
const uint64_t kFirstBytes = 512;
const uint64_t kCameraRawSizes[] = {4771840, 2465792, 5865472, 5869568, 2940928};
// Sector numbers above this would wrap when turned into byte positions.
const uint64_t kMaxSector = UINT64_MAX / kSectorBytes;

std::string lowerCase(std::string text) {
  for (auto& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

int64_t offsetOfCluster(const FatParameters& p, uint64_t cluster) {
  if (cluster < 2 || cluster > uint64_t(p.dataClusters) + 1) return -1;
  // Every term is 64-bit before it is multiplied.
  uint64_t relative = uint64_t(p.dataClusterLba) + uint64_t(p.sectorsPerCluster) * (cluster - 2);
  if (p.lba > kMaxSector || relative > kMaxSector - p.lba) return -1;
  uint64_t offset = (p.lba + relative) * kSectorBytes;
  if (offset > uint64_t(INT64_MAX)) return -1;
  return static_cast<int64_t>(offset);
}

int64_t clusterOfOffset(const FatParameters& p, uint64_t offset) {
  uint64_t clusterBytes = uint64_t(p.sectorsPerCluster) * kSectorBytes;
  if (clusterBytes == 0) return -1;
  if (p.lba > kMaxSector || p.dataClusterLba > kMaxSector - p.lba) return -1;
  uint64_t dataStart = (p.lba + p.dataClusterLba) * kSectorBytes;
  if (offset < dataStart) return -1;
  uint64_t past = offset - dataStart;
  if (past % clusterBytes != 0) return -1;
  if (past / clusterBytes >= p.dataClusters) return -1;
  return static_cast<int64_t>(past / clusterBytes + 2);
}

bool FsFat::isCameraRawSize(uint64_t size) {
  for (uint64_t s : kCameraRawSizes)
    if (s == size) return true;
  return false;
}

FsFat::FsFat(Reader* medium, const PatternMap* patterns, int32_t index, FileCase* fileCase)
    : ReaderFatFile(medium), patterns_(patterns), index_(index), fileCase_(fileCase) {}

bool FsFat::init(const FatParameters& p) {
  dlog() << "FsFat(67): lba: " << p.lba << "\n  fatLba: " << p.fatLba[0] << " " << p.fatLba[1]
         << "\n  rootDirectoryAddress: " << p.rootDirectoryAddress << " (" << p.rootDirectoryIsCluster
         << ")\n  dataClusterLba: " << p.dataClusterLba << "\n  dataClusters: " << p.dataClusters
         << "\n  sectorsPerCluster: " << p.sectorsPerCluster << "\n";

  uint64_t dataSectors = uint64_t(p.dataClusterLba) + uint64_t(p.dataClusters) * p.sectorsPerCluster;
  if (p.lba > kMaxSector || dataSectors > kMaxSector - p.lba ||
      (p.lba + dataSectors) * kSectorBytes > medium_->size()) {
    dlog() << "FsFat(72): " << p.lba << " " << dataSectors << " " << medium_->size() << "\n";
    return false;
  }
  int type = fatTypeOf(p.dataClusters);
  if (type == kFatInvalid) {
    dlog() << "FsFat(84)\n";
    return false;
  }
  if (p.fatLba[1] <= p.fatLba[0]) {
    dlog() << "FsFat(88): " << p.fatLba[0] << " " << p.fatLba[1] << "\n";
    return false;
  }
  // The second FAT must also end before the data area; the parser of the
  // boot sector makes it so, but parameters may come from elsewhere.
  uint64_t fatSectors = uint64_t(p.fatLba[1]) - p.fatLba[0];
  if (uint64_t(p.fatLba[1]) + fatSectors > p.dataClusterLba) {
    dlog() << "FsFat(92): " << p.fatLba[1] << " " << fatSectors << " " << p.dataClusterLba << "\n";
    return false;
  }
  int startBytes = fatStartBytes(type);
  uint8_t start[8] = {};
  int copy = -1;
  for (int i = 0; i < 2 && copy < 0; ++i) {
    uint64_t at = (p.lba + p.fatLba[i]) * kSectorBytes;
    if (medium_->read(at, start, startBytes) && checkFatStart(start, type)) copy = i;
  }
  if (copy < 0) {
    dlog() << "FsFat(106)\n";
    return false;
  }
  auto map = std::make_shared<Bitmap>(FatTable::tableSectors(p));
  if (copy == 1) map->fill(true);
  if (!ReaderFatFile::init(p, map)) {
    dlog() << "FsFat(110)\n";
    return false;
  }
  return true;
}

void FsFat::scanRoot() {
  if (clusterBytes_ == 0) return;
  const FatParameters& p = params_;
  if (!p.rootDirectoryIsCluster) {
    if (p.dataClusterLba < p.rootDirectoryAddress) {
      dlog() << "FsFat(122): " << p.rootDirectoryAddress << " " << p.dataClusterLba << "\n";
      return;
    }
    uint64_t length = (uint64_t(p.dataClusterLba) - p.rootDirectoryAddress) * kSectorBytes;
    if (length > kFatDirectoryLimit) {
      dlog() << "FsFat(126): " << length << "\n";
      length = kFatDirectoryLimit;
    }
    ReaderReader window(medium_);
    if (!window.setWindow((p.lba + p.rootDirectoryAddress) * kSectorBytes, length)) {
      dlog() << "FsFat(130)\n";
      return;
    }
    scanDirectory(window, false);
  } else {
    if (!open(p.rootDirectoryAddress, kFatDirectoryLimit)) {
      dlog() << "FsFat(138): " << p.rootDirectoryAddress << " " << kFatDirectoryLimit << "\n";
      return;
    }
    scanDirectory(*this, false);
  }
}

void FsFat::scanSubdirectory(uint64_t offset, uint64_t cluster) {
  if (clusterBytes_ == 0) return;
  int64_t at = offsetOfCluster(params_, cluster);
  if (at < 0 || static_cast<uint64_t>(at) != offset) return;
  if (!open(cluster, kFatDirectoryLimit)) return;
  scanDirectory(*this, true);
}

void FsFat::scanDirectory(Reader& directory, bool isSubdirectory) {
  std::vector<FatDirectoryEntry> entries;
  parseDirectory(directory, isSubdirectory, entries);
  // From here on this object is re-aimed at each file; the directory is not
  // read again.
  for (const FatDirectoryEntry& entry : entries) {
    bool live = !entry.deleted;
    if (entry.isDirectory) continue;
    size_t dot = entry.name.rfind('.');
    if (dot == std::string::npos) continue;
    std::string extension = lowerCase(entry.name.substr(dot + 1));
    if (!patterns_) continue;
    auto found = patterns_->find(extension);
    if (found == patterns_->end()) continue;
    const Pattern& pattern = found->second;

    if (!open(entry.firstCluster, entry.size)) {
      dlog() << "FsFat(203): " << entry.name << " " << entry.firstCluster << " " << entry.size << "\n";
      continue;
    }
    if (size() < entry.size) {
      if (live) dlog() << "FsFat(210): " << entry.name << " " << size() << " " << entry.size << "\n";
      continue;
    }
    // A deleted file whose first cluster is allocated again holds another
    // file's data now; its chain would be that file's chain.
    if (entry.deleted && chainState_ == kChainAllocated) {
      dlog() << "FsFat(214): " << entry.name << " " << entry.firstCluster << "\n";
      continue;
    }
    bool fragmented = isFragmented();

    FileModule::File file;
    bool analyze = true;
    if (extension == "jpg") {
      if (isCameraRawSize(entry.size)) {
        file.attributes.setBool("raw", true);
        analyze = false;
      } else {
        extension = "jpeg";
      }
    }
    if (analyze) {
      uint8_t first[kFirstBytes] = {};
      uint64_t count = std::min<uint64_t>(kFirstBytes, entry.size);
      if (!read(0, first, count)) {
        dlog() << "FsFat(233): " << entry.name << " " << count << "\n";
        continue;
      }
      if (!pattern.matches(first, kFirstBytes)) {
        if (live) dlog() << "FsFat(239): " << entry.name << "\n";
        continue;
      }
      if (FileModule* module = pattern.analyzeModule()) {
        ReaderReader window(this);
        if (!window.setWindow(0, entry.size)) {
          dlog() << "FsFat(247): " << entry.name << " " << entry.size << "\n";
          continue;
        }
        if (!module->analyze(window, file)) {
          if (live) dlog() << "FsFat(258): " << entry.name << "\n";
        } else {
          std::string type = file.attributes.getString("t");
          if (file.size != entry.size || type != extension)
            dlog() << "FsFat(254): " << entry.name << " " << file.size << " " << entry.size << " " << type
                   << " " << extension << "\n";
        }
      }
    }
    int64_t offset = offsetOfCluster(params_, entry.firstCluster);
    file.offset = static_cast<uint64_t>(offset);  // -1 (no cluster) for an empty file
    file.size = entry.size;
    file.attributes.set("t", extension);
    file.attributes.setInt32("fs", index_);
    file.attributes.set("fn", entry.name);
    file.attributes.setBool("fragmented", fragmented);
    if (fileCase_) fileCase_->found(file);
  }
}

Reader* FsFat::readerFor(uint64_t offset, uint64_t size) {
  if (size == 0) {
    // An empty file has no cluster; it still reads back as an empty file.
    if (!open(0, 0)) {
      dlog() << "FsFat(167): " << offset << " 0\n";
      return nullptr;
    }
    return this;
  }
  int64_t cluster = clusterOfOffset(params_, offset);
  if (cluster < 0) {
    dlog() << "FsFat(163): " << offset << "\n";
    return nullptr;
  }
  if (!open(static_cast<uint64_t>(cluster), size)) {
    dlog() << "FsFat(167): " << offset << " " << size << "\n";
    return nullptr;
  }
  if (Reader::size() > size) setSize(size);
  return this;
}
