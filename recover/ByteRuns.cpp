// Byte runs of found files.

#include "recover/ByteRuns.h"

#include <algorithm>

#include "engine/FileCase.h"
#include "fat/ReaderFatFile.h"
#include "shell/DebugLog.h"

namespace {

const uint64_t kSector = 512;

void appendRun(std::vector<ByteRun>& runs, uint64_t fileOffset, uint64_t imageOffset, uint64_t length) {
  if (!runs.empty()) {
    ByteRun& last = runs.back();
    if (last.imageOffset + last.length == imageOffset && last.fileOffset + last.length == fileOffset) {
      last.length += length;
      return;
    }
  }
  runs.push_back({fileOffset, imageOffset, length});
}

}  // namespace

std::vector<ByteRun> byteRunsOf(FileCase& fileCase, const FileModule::File& file) {
  std::vector<ByteRun> runs;
  if (file.size == 0) return runs;
  Reader* reader = fileCase.readerFor(file);
  if (!reader) return runs;
  const ReaderFatFile* fat = dynamic_cast<const ReaderFatFile*>(reader);
  if (!fat) {
    runs.push_back({0, file.offset, std::min(file.size, reader->size())});
    return runs;
  }
  const uint64_t clusterBytes = fat->clusterBytes();
  const FatParameters& params = fat->parameters();
  const std::vector<uint64_t>& clusters = fat->clusters();
  if (clusterBytes == 0) return runs;
  const uint64_t dataStart = (params.lba + uint64_t(params.dataClusterLba)) * kSector;
  const uint64_t lastCluster = uint64_t(params.dataClusters) + 1;
  // The same walk as the chain reader: past the list, the clusters after the
  // last listed one.
  uint64_t needed = file.size / clusterBytes + (file.size % clusterBytes ? 1 : 0);
  for (uint64_t index = 0; index < needed; ++index) {
    uint64_t cluster;
    if (index < clusters.size()) {
      cluster = clusters[index];
    } else {
      uint64_t base = clusters.empty() ? 1 : clusters.back();
      uint64_t beyond = index - clusters.size() + 1;
      if (base > lastCluster || beyond > lastCluster - base) break;
      cluster = base + beyond;
    }
    if (cluster < 2 || cluster > lastCluster) break;
    uint64_t fileOffset = index * clusterBytes;
    uint64_t length = std::min(clusterBytes, file.size - fileOffset);
    appendRun(runs, fileOffset, dataStart + (cluster - 2) * clusterBytes, length);
  }
  return runs;
}
