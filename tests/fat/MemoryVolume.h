// A FAT volume built in memory entry by entry, for tests of the table and
// chain readers that need exact control over every FAT entry.
#pragma once

#include <cstdint>
#include <memory>

#include "fat/Bitmap.h"
#include "fat/BootSector.h"
#include "fat/FatParameters.h"
#include "fat/FatTable.h"
#include "tests/support/MemoryReader.h"

namespace fattest {

class MemoryVolume {
 public:
  // One sector a cluster unless said otherwise; FATs just large enough.
  MemoryVolume(int fatBits, uint32_t clusters, uint32_t sectorsPerCluster = 1, uint64_t lba = 0)
      : bits_(fatBits) {
    uint64_t entryBytes = (uint64_t(clusters) + 2) * fatBits / 8 + 1;
    uint32_t fatSectors = uint32_t((entryBytes + 511) / 512);
    p.lba = lba;
    p.fatLba[0] = 1;
    p.fatLba[1] = 1 + fatSectors;
    p.rootDirectoryIsCluster = fatBits == 32;
    p.rootDirectoryAddress = fatBits == 32 ? 2 : 1 + 2 * fatSectors;
    p.dataClusterLba = 1 + 2 * fatSectors + (fatBits == 32 ? 0 : 32);
    p.dataClusters = clusters;
    p.sectorsPerCluster = sectorsPerCluster;
    uint64_t bytes = (lba + p.dataClusterLba + uint64_t(clusters) * sectorsPerCluster) * 512;
    medium.bytes().assign(bytes - lba * 512, 0);
    medium.resized();
  }
  // Byte of the volume at volume offset (the medium holds the volume only
  // when lba is 0).
  uint64_t fatByte(int copy, uint64_t offset) const { return (p.fatLba[copy]) * 512 + offset; }
  // Writes an entry into one FAT copy, or both (copy -1).
  void set(uint64_t cluster, uint32_t value, int copy = -1) {
    for (int c = 0; c < 2; ++c) {
      if (copy != -1 && copy != c) continue;
      auto& b = medium.bytes();
      if (bits_ == 32) {
        uint64_t at = fatByte(c, cluster * 4);
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(value >> (8 * i));
      } else if (bits_ == 16) {
        uint64_t at = fatByte(c, cluster * 2);
        b[at] = uint8_t(value);
        b[at + 1] = uint8_t(value >> 8);
      } else {
        uint64_t at = fatByte(c, cluster * 3 / 2);
        if (cluster & 1) {
          b[at] = uint8_t((b[at] & 0x0F) | ((value & 0x0F) << 4));
          b[at + 1] = uint8_t(value >> 4);
        } else {
          b[at] = uint8_t(value);
          b[at + 1] = uint8_t((b[at + 1] & 0xF0) | ((value >> 8) & 0x0F));
        }
      }
    }
  }
  // Links clusters into a chain ending with an end mark.
  void chain(std::initializer_list<uint32_t> clusters) {
    const uint32_t* c = clusters.begin();
    for (size_t i = 0; i < clusters.size(); ++i)
      set(c[i], i + 1 < clusters.size() ? c[i + 1] : (bits_ == 32 ? 0x0FFFFFFF : bits_ == 16 ? 0xFFFF : 0xFFF));
  }
  uint64_t clusterOffset(uint64_t cluster) const {
    return (uint64_t(p.dataClusterLba) + (cluster - 2) * p.sectorsPerCluster) * 512;
  }
  // Fills a cluster with its own number, so reads show where they came from.
  void stamp(uint64_t cluster) {
    uint64_t at = clusterOffset(cluster);
    for (uint64_t i = 0; i < uint64_t(p.sectorsPerCluster) * 512; ++i)
      medium.bytes()[at + i] = uint8_t(cluster + i / 512);
  }
  std::shared_ptr<Bitmap> firstCopyMap() const { return std::make_shared<Bitmap>(FatTable::tableSectors(p)); }

  FatParameters p;
  MemoryReader medium;

 private:
  int bits_;
};

}  // namespace fattest
