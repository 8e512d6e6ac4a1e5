// Allocation-table lookups: FAT12 entries across sector boundaries, the
// three-sector groups, the FAT-copy map, and every refusal.

#include "fat/FatTable.h"

#include <gtest/gtest.h>

#include "FatFixtures.h"

using namespace fattest;

namespace {

// "kind value" of an entry, or "fail".
std::string entry(FatTable& table, uint64_t cluster) {
  FatEntryKind kind = kFatEntryInvalid;
  uint64_t value = 0;
  if (!table.getEntry(cluster, kind, value)) return "fail";
  return std::string(fatEntryKindName(kind)) + " " + std::to_string(value);
}

}  // namespace

TEST(FatTable, EntriesOfEachWidthAcrossSectorsAndGroups) {
  // FAT12: 341 (odd) starts at byte 511, 682 (even) at 1023, both straddling
  // sectors; 1365 lies in the second group.  FAT16 and FAT32: the last entry
  // of a group and the first of the next; FAT32 keeps 28 bits.
  struct Case {
    int bits;
    uint32_t clusters;
    std::vector<std::pair<uint32_t, uint32_t>> entries;
    std::vector<std::pair<uint32_t, std::string>> expected;
  } cases[] = {
      {12, 3000, {{340, 0x123}, {341, 0x456}, {342, 0xFF7}, {682, 0x789}, {683, 0xABC}, {1365, 0xDEF}, {2999, 0xFFF}},
       {{340, "next 291"}, {341, "next 1110"}, {342, "bad 4087"}, {343, "free 0"}, {682, "next 1929"},
        {683, "next 2748"}, {1365, "next 3567"}, {2999, "end 4095"}}},
      {16, 5000, {{767, 0xFFFF}, {768, 1234}, {4999, 0xFFF7}}, {{767, "end 65535"}, {768, "next 1234"}, {4999, "bad 65527"}}},
      {32, 66000, {{383, 0xF0000005}, {384, 0x0FFFFFF7}, {65999, 0x0FFFFFF0}},
       {{383, "next 5"}, {384, "bad 268435447"}, {65999, "reserved 268435440"}}},
  };
  for (const Case& c : cases) {
    MemoryVolume vol(c.bits, c.clusters);
    for (const auto& e : c.entries) vol.set(e.first, e.second);
    FatTable table(&vol.medium);
    ASSERT_TRUE(table.init(vol.p, vol.firstCopyMap())) << c.bits;
    for (const auto& e : c.expected) EXPECT_EQ(e.second, entry(table, e.first)) << c.bits << ": " << e.first;
  }
}

TEST(FatTable, TheCopyMapChoosesTheFatOfEachSector) {
  MemoryVolume vol(16, 5000);
  const uint32_t clusters[] = {10, 300, 800};  // FAT sectors 0, 1 and 3 (the next group)
  for (uint32_t c : clusters) {
    vol.set(c, c + 1, 0);
    vol.set(c, c + 2, 1);
  }
  auto map = vol.firstCopyMap();
  map->set(1, true);
  map->set(3, true);
  FatTable table(&vol.medium);
  ASSERT_TRUE(table.init(vol.p, map));
  EXPECT_EQ("next 11", entry(table, 10));
  EXPECT_EQ("next 302", entry(table, 300));
  EXPECT_EQ("next 802", entry(table, 800));
}

TEST(FatTable, RefusesClustersOutsideTheVolumeAndUnreadableOrMissingSectors) {
  MemoryVolume vol(32, 66000);
  FaultReader faulty(&vol.medium);
  faulty.failRange(vol.fatByte(0, 3 * 512), 512);  // the second group's first sector
  FatTable table(&faulty);
  ASSERT_TRUE(table.init(vol.p, vol.firstCopyMap()));
  for (uint64_t cluster : {uint64_t(0), uint64_t(1), uint64_t(66002), UINT64_MAX})
    EXPECT_EQ("fail", entry(table, cluster)) << cluster;
  EXPECT_EQ("free 0", entry(table, 66001));
  EXPECT_EQ("free 0", entry(table, 383));
  // A sector that cannot be read in the first copy is read in the second;
  // one that can be read in neither fails.
  vol.set(384, 385, 1);
  EXPECT_EQ("next 385", entry(table, 384));
  faulty.failRange(vol.fatByte(1, 3 * 512), 512);
  FatTable both(&faulty);
  ASSERT_TRUE(both.init(vol.p, vol.firstCopyMap()));
  EXPECT_EQ("fail", entry(both, 384));

  // A FAT of two sectors holds the entries of clusters up to 511 only.
  MemoryVolume small(16, 5000);
  FatParameters p = small.p;
  p.fatLba[1] = p.fatLba[0] + 2;
  FatTable cut(&small.medium);
  ASSERT_TRUE(cut.init(p, std::make_shared<Bitmap>(FatTable::tableSectors(p))));
  EXPECT_EQ("free 0", entry(cut, 511));
  EXPECT_EQ("fail", entry(cut, 512));
}

TEST(FatTable, InitRefusesBadGeometryAndMaps) {
  MemoryVolume vol(16, 5000);
  FatTable table(&vol.medium);
  FatParameters p = vol.p;
  p.dataClusters = 0x0FFFFFF5;
  EXPECT_FALSE(table.init(p, vol.firstCopyMap())) << "no FAT type";
  p = vol.p;
  p.fatLba[1] = p.fatLba[0];
  EXPECT_FALSE(table.init(p, vol.firstCopyMap())) << "second FAT not after the first";
  EXPECT_FALSE(table.init(vol.p, std::make_shared<Bitmap>(1))) << "map of the wrong size";
  EXPECT_FALSE(table.init(vol.p, nullptr));
}

TEST(FatTable, TheMapCoversOnlyTheSectorsThatHoldEntries) {
  FatParameters p;
  p.fatLba[0] = 32;
  p.fatLba[1] = 32 + 0x40000000u;  // a bogus, huge FAT
  p.dataClusters = 70000;          // FAT32: 280008 bytes of entries, 547 sectors
  EXPECT_EQ(549u, FatTable::tableSectors(p));
  p.fatLba[1] = 32 + 100;
  EXPECT_EQ(100u, FatTable::tableSectors(p));
}
