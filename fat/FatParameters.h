// The decoded geometry of one FAT volume, in 512-byte sectors.  `lba` is
// 64-bit so that volumes beyond 2 TiB are read at the right place.
#pragma once

#include <cstdint>

struct FatParameters {
  uint64_t lba = 0;                  // sector of the boot sector on the medium
  uint32_t fatLba[2] = {0, 0};       // first sector of each FAT, relative to lba
  uint32_t rootDirectoryIsCluster = 0;
  uint32_t rootDirectoryAddress = 0; // FAT12/16: sector relative to lba; FAT32: cluster
  uint32_t dataClusterLba = 0;       // sector of cluster 2, relative to lba
  uint32_t dataClusters = 0;
  uint32_t sectorsPerCluster = 0;
};
