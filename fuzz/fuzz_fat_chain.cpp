// Fuzzes FatTable (three-sector groups, FAT-copy runs, FAT12 halves) and
// ReaderFatFile (open along allocation chains and free runs, reads past the
// list) over an in-memory volume whose table bytes come from the input,
// with FatEntry's classification of every value read and the Bitmap map.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fat/Bitmap.h"
#include "fat/BootSector.h"
#include "fat/FatTable.h"
#include "fat/ReaderFatFile.h"
#include "tests/support/MemoryReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 16) return 0;
  // Header: type, sectors per cluster, first cluster, file size, copy bits.
  static const uint32_t kClusters[] = {1000, 5000, 70000};
  int type = data[0] % 3;
  uint32_t spc = 1 + data[1] % 4;
  uint64_t first = uint64_t(data[2]) | (uint64_t(data[3]) << 8) | (uint64_t(data[4]) << 16);
  uint64_t fileSize = uint64_t(data[5]) | (uint64_t(data[6]) << 8) | (uint64_t(data[7]) << 16) |
                      (uint64_t(data[8] & 0x03) << 24);
  uint8_t copyBits = data[9];
  FatParameters p;
  p.dataClusters = kClusters[type];
  uint64_t entryBytes = (uint64_t(p.dataClusters) + 2) * (type == 0 ? 3 : type == 1 ? 4 : 8) / 2;
  uint32_t fatSectors = uint32_t((entryBytes + 511) / 512);
  p.fatLba[0] = 1;
  p.fatLba[1] = 1 + fatSectors;
  p.dataClusterLba = 1 + 2 * fatSectors;
  p.sectorsPerCluster = spc;
  // The medium: both FATs filled from the input (the second one shifted so
  // that the copies differ), then a data area that is only partly present.
  std::vector<uint8_t> medium(size_t(p.dataClusterLba) * 512 + 64 * 1024, 0);
  const uint8_t* body = data + 16;
  size_t n = size - 16;
  for (size_t i = 0; i < size_t(fatSectors) * 512 * 2 && n; ++i) medium[512 + i] = body[i % n];
  MemoryReader reader(medium);

  auto map = std::make_shared<Bitmap>(FatTable::tableSectors(p));
  for (uint64_t i = 0; i < map->size(); ++i) map->set(i, (copyBits >> (i % 8)) & 1);
  ReaderFatFile file(&reader);
  if (!file.init(p, map)) __builtin_trap();
  if (file.open(first, fileSize)) {
    uint64_t clusterBytes = uint64_t(spc) * 512;
    if (file.size() != file.clusters().size() * clusterBytes) __builtin_trap();
    if (file.clusters().size() * clusterBytes > fileSize + clusterBytes) __builtin_trap();
    file.isFragmented();
    uint8_t buf[1024];
    file.read(0, buf, sizeof buf);
    file.read(file.size(), buf, 700);
    file.read(fileSize, buf, 1);
  }
  FatTable table(&reader);
  if (table.init(p, map)) {
    FatEntryKind kind;
    uint64_t value;
    for (uint64_t c = first; c < first + 8; ++c) table.getEntry(c, kind, value);
  }
  return 0;
}
