// Fuzzes ExfatBootRegion (the boot sector's fields, the region checksum)
// and the volume checks that follow it in ExfatVolume::init: ExfatGeometry,
// the FAT's first entries, the root chain and the allocation bitmap's
// entry.  The input is the medium; its checksum sector is made to fit the
// sectors before it, so that mutated fields get past the checksum.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "exfat/ExfatBootRegion.h"
#include "exfat/ExfatVolume.h"
#include "shell/Endian.h"
#include "tests/support/MemoryReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> medium(data, data + size);
  if (medium.size() < kExfatBootRegionBytes) medium.resize(kExfatBootRegionBytes);
  ExfatParameters p;
  parseExfatBootSector(medium.data(), medium.size(), p);
  if (medium[0] & 1) {
    uint32_t sum = exfatBootChecksum(medium.data());
    for (size_t at = 11 * 512; at < 12 * 512; at += 4)
      for (int i = 0; i < 4; ++i) medium[at + i] = uint8_t(sum >> (8 * i));
  }
  if (!parseExfatBootRegion(medium.data(), medium.size(), p)) return 0;
  // Whatever passed describes FATs before the heap and a heap inside the volume.
  uint64_t heapEnd = uint64_t(p.clusterHeapOffset) + (uint64_t(p.clusterCount) << p.sectorsPerClusterShift);
  if (p.fatOffset < 24 || uint64_t(p.fatOffset) + uint64_t(p.fatLength) * p.numberOfFats > p.clusterHeapOffset ||
      heapEnd > p.volumeLength || p.rootCluster < 2 || p.rootCluster > uint64_t(p.clusterCount) + 1)
    __builtin_trap();

  MemoryReader reader(medium.data(), medium.size());
  VolumeContext context;
  context.medium = &reader;
  ExfatVolume volume(context);
  if (volume.init(p)) {
    if (volume.geometry().heapEnd() > medium.size()) __builtin_trap();
    volume.scanRoot();
  }
  return 0;
}
