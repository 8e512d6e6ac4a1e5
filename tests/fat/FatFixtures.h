// Helpers of the FAT tests: directory entries built by hand, and a volume
// built in memory entry by entry for exact control over every FAT entry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/VolumeHost.h"
#include "fat/Bitmap.h"
#include "fat/FatParameters.h"
#include "fat/FatTable.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/Tools.h"

namespace fattest {

const uint16_t kDate2025 = (45 << 9) | (6 << 5) | 15;

// One 32-byte short directory entry.
inline std::string shortEntry(const std::string& name11, uint8_t attributes, uint32_t cluster, uint32_t size,
                              uint16_t date = kDate2025, uint16_t time = 10 << 11) {
  std::string e(32, '\0');
  e.replace(0, 11, name11.substr(0, 11));
  e[11] = char(attributes);
  mzktest::setLe16(e, 20, uint16_t(cluster >> 16));
  mzktest::setLe16(e, 22, time);
  mzktest::setLe16(e, 24, date);
  mzktest::setLe16(e, 26, uint16_t(cluster));
  mzktest::setLe32(e, 28, size);
  return e;
}

// One long-name entry holding up to 13 UTF-16 characters.
inline std::string longEntry(uint8_t sequence, uint8_t checksum, const std::u16string& chars) {
  std::string e(32, char(0xFF));
  e[0] = char(sequence);
  e[11] = 0x0F;
  e[12] = 0;
  e[13] = char(checksum);
  mzktest::setLe16(e, 26, 0);
  static const int at[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  for (size_t i = 0; i < 13; ++i)
    mzktest::setLe16(e, at[i], i < chars.size() ? chars[i] : i == chars.size() ? 0 : 0xFFFF);
  return e;
}

// The context of a volume opened by hand.
inline VolumeContext volumeContext(Reader* medium, const PatternMap* patterns = nullptr,
                                   Scanner::Callback* found = nullptr, int32_t index = 0) {
  VolumeContext context;
  context.medium = medium;
  context.patterns = patterns;
  context.index = index;
  context.found = found;
  return context;
}

// A volume in memory: one sector a cluster unless said otherwise, FATs just
// large enough, a FAT12/16 root of 32 sectors; the medium is the volume.
class MemoryVolume {
 public:
  MemoryVolume(int fatBits, uint32_t clusters, uint32_t sectorsPerCluster = 1) : bits_(fatBits) {
    uint32_t fatSectors = uint32_t(((uint64_t(clusters) + 2) * fatBits / 8 + 512) / 512);
    p.fatLba[0] = 1;
    p.fatLba[1] = 1 + fatSectors;
    p.rootDirectoryIsCluster = fatBits == 32;
    p.rootDirectoryAddress = fatBits == 32 ? 2 : 1 + 2 * fatSectors;
    p.dataClusterLba = 1 + 2 * fatSectors + (fatBits == 32 ? 0 : 32);
    p.dataClusters = clusters;
    p.sectorsPerCluster = sectorsPerCluster;
    medium.bytes().assign((p.dataClusterLba + uint64_t(clusters) * sectorsPerCluster) * 512, 0);
    medium.resized();
    uint32_t end = endMark();
    set(0, end & ~7u);  // the media byte 0xF8 and an end mark: a FAT as mkfs leaves it
    set(1, end);
  }
  uint32_t endMark() const { return bits_ == 32 ? 0x0FFFFFFF : bits_ == 16 ? 0xFFFF : 0xFFF; }
  uint64_t fatByte(int copy, uint64_t offset) const { return p.fatLba[copy] * 512ull + offset; }
  // Writes an entry into one FAT copy, or both (copy -1).
  void set(uint64_t cluster, uint32_t value, int copy = -1) {
    auto& b = medium.bytes();
    for (int c = 0; c < 2; ++c) {
      if (copy != -1 && copy != c) continue;
      if (bits_ == 12) {
        uint64_t at = fatByte(c, cluster * 3 / 2);
        uint16_t both = uint16_t(b[at] | b[at + 1] << 8);
        both = cluster & 1 ? uint16_t((both & 0x000F) | value << 4) : uint16_t((both & 0xF000) | (value & 0xFFF));
        b[at] = uint8_t(both);
        b[at + 1] = uint8_t(both >> 8);
      } else {
        for (int i = 0; i < bits_ / 8; ++i) b[fatByte(c, cluster * bits_ / 8) + i] = uint8_t(value >> (8 * i));
      }
    }
  }
  // Links clusters into a chain that ends with an end mark.
  void chain(std::initializer_list<uint32_t> clusters) {
    const uint32_t* c = clusters.begin();
    for (size_t i = 0; i < clusters.size(); ++i) set(c[i], i + 1 < clusters.size() ? c[i + 1] : endMark());
  }
  uint64_t clusterOffset(uint64_t cluster) const {
    return (p.dataClusterLba + (cluster - 2) * p.sectorsPerCluster) * 512ull;
  }
  // Fills each sector of a cluster with the cluster number plus the sector's
  // index, so that reads show where they came from.
  void stamp(uint64_t cluster) {
    for (uint64_t i = 0; i < p.sectorsPerCluster * 512ull; ++i)
      medium.bytes()[clusterOffset(cluster) + i] = uint8_t(cluster + i / 512);
  }
  void put(uint64_t offset, const std::string& bytes) { medium.put(offset, bytes); }
  std::shared_ptr<Bitmap> firstCopyMap() const { return std::make_shared<Bitmap>(FatTable::tableSectors(p)); }

  FatParameters p;
  MemoryReader medium;

 private:
  int bits_;
};

}  // namespace fattest
