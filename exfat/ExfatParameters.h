// The geometry of one exFAT volume as its boot sector states it, in the
// volume's own sectors, with `lba` placing it on the medium.
#pragma once

#include <cstdint>

struct ExfatParameters {
  uint64_t lba = 0;                 // 512-byte sector of the main boot sector on the medium
  uint64_t volumeLength = 0;        // sectors
  uint32_t fatOffset = 0;           // sector of the first FAT, relative to lba
  uint32_t fatLength = 0;           // sectors of each FAT
  uint32_t clusterHeapOffset = 0;   // sector of cluster 2, relative to lba
  uint32_t clusterCount = 0;
  uint32_t rootCluster = 0;         // first cluster of the root directory
  uint16_t volumeFlags = 0;         // bit 0: the second FAT and bitmap are the active ones
  uint8_t bytesPerSectorShift = 0;
  uint8_t sectorsPerClusterShift = 0;
  uint8_t numberOfFats = 0;

  // 0 or 1: the FAT and allocation bitmap in use.
  unsigned activeFat() const { return (volumeFlags & 1) && numberOfFats == 2 ? 1 : 0; }
};
