// Allocation-table lookups: FAT12 entries across sector boundaries, the
// three-sector groups, the FAT-copy map, and every failure path.

#include "fat/FatTable.h"

#include <gtest/gtest.h>

#include "MemoryVolume.h"
#include "shell/DebugLog.h"

using namespace fattest;

namespace {
FatEntryKind kindOf(FatTable& t, uint64_t cluster, uint64_t* value = nullptr) {
  FatEntryKind kind = kFatEntryInvalid;
  uint64_t v = 0;
  EXPECT_TRUE(t.getEntry(cluster, kind, v)) << cluster;
  if (value) *value = v;
  return kind;
}
}  // namespace

TEST(FatTable, Fat12EvenAndOddEntriesAcrossSectorBoundaries) {
  MemoryVolume vol(12, 3000);
  // 341 (odd) starts at byte 511, 682 (even) at 1023: both straddle sectors;
  // 1365 (odd) lies in the second group at its byte 511.
  const uint32_t clusters[] = {2, 3, 340, 341, 682, 683, 1024, 1365, 2999};
  for (uint32_t c : clusters) vol.set(c, 0x100 + c % 0xE00);
  FatTable table(&vol.medium);
  ASSERT_TRUE(table.init(vol.p, vol.firstCopyMap()));
  EXPECT_EQ(kFat12, table.fatType());
  for (uint32_t c : clusters) {
    uint64_t v = 0;
    EXPECT_EQ(kFatEntryNext, kindOf(table, c, &v)) << c;
    EXPECT_EQ(0x100 + c % 0xE00, v) << c;
  }
  EXPECT_EQ(kFatEntryFree, kindOf(table, 342));
  vol.set(342, 0xFF7);
  FatTable again(&vol.medium);
  ASSERT_TRUE(again.init(vol.p, vol.firstCopyMap()));
  EXPECT_EQ(kFatEntryBad, kindOf(again, 342));
  EXPECT_EQ(kFatEntryNext, kindOf(again, 341)) << "neighbour unchanged";
}

TEST(FatTable, Fat16AndFat32GroupsAndMasking) {
  MemoryVolume v16(16, 5000);
  v16.set(767, 0xFFFF);
  v16.set(768, 1234);
  v16.set(4999, 0xFFF7);
  FatTable t16(&v16.medium);
  ASSERT_TRUE(t16.init(v16.p, v16.firstCopyMap()));
  uint64_t value = 0;
  EXPECT_EQ(kFatEntryEnd, kindOf(t16, 767));
  EXPECT_EQ(kFatEntryNext, kindOf(t16, 768, &value));
  EXPECT_EQ(1234u, value);
  EXPECT_EQ(kFatEntryBad, kindOf(t16, 4999));

  MemoryVolume v32(32, 66000);
  v32.set(383, 0xF0000005);  // the top four bits are not part of the entry
  v32.set(384, 0x0FFFFFF7);
  v32.set(65999, 0x0FFFFFF0);
  FatTable t32(&v32.medium);
  ASSERT_TRUE(t32.init(v32.p, v32.firstCopyMap()));
  EXPECT_EQ(kFatEntryNext, kindOf(t32, 383, &value));
  EXPECT_EQ(5u, value);
  EXPECT_EQ(kFatEntryBad, kindOf(t32, 384));
  EXPECT_EQ(kFatEntryReserved, kindOf(t32, 65999));
}

TEST(FatTable, TheCopyMapChoosesTheFatOfEachSector) {
  MemoryVolume vol(16, 5000);
  vol.set(10, 11, 0);
  vol.set(10, 22, 1);
  vol.set(300, 33, 0);  // FAT sector 1
  vol.set(300, 44, 1);
  vol.set(800, 55, 0);  // FAT sector 3, next group
  vol.set(800, 66, 1);
  auto map = vol.firstCopyMap();
  map->set(1, true);
  map->set(3, true);
  FatTable table(&vol.medium);
  ASSERT_TRUE(table.init(vol.p, map));
  uint64_t value = 0;
  kindOf(table, 10, &value);
  EXPECT_EQ(11u, value);
  kindOf(table, 300, &value);
  EXPECT_EQ(44u, value);
  kindOf(table, 800, &value);
  EXPECT_EQ(66u, value);
}

TEST(FatTable, ClustersOutsideTheVolumeAreRefused) {
  MemoryVolume vol(16, 5000);
  FatTable table(&vol.medium);
  ASSERT_TRUE(table.init(vol.p, vol.firstCopyMap()));
  DebugLogCapture log;
  FatEntryKind kind;
  uint64_t value;
  EXPECT_FALSE(table.getEntry(0, kind, value));
  EXPECT_FALSE(table.getEntry(1, kind, value));
  EXPECT_TRUE(table.getEntry(5001, kind, value));
  EXPECT_FALSE(table.getEntry(5002, kind, value));
  EXPECT_FALSE(table.getEntry(UINT64_MAX, kind, value));
  EXPECT_NE(std::string::npos, log.text().find("FATReader(94): 5002\nFATReader(39): 5002\n"));
}

TEST(FatTable, AnUnreadableFatSectorIsReadFromTheOtherCopy) {
  MemoryVolume vol(32, 66000);
  vol.set(384, 385, 1);  // only the second copy knows this link
  FaultReader faulty(&vol.medium);
  faulty.failRange(vol.fatByte(0, 3 * 512), 512);  // the second group's first sector
  FatTable table(&faulty);
  ASSERT_TRUE(table.init(vol.p, vol.firstCopyMap()));
  FatEntryKind kind;
  uint64_t value = 0;
  EXPECT_TRUE(table.getEntry(383, kind, value));
  ASSERT_TRUE(table.getEntry(384, kind, value));
  EXPECT_EQ(385u, value);
  faulty.failRange(vol.fatByte(1, 3 * 512), 512);  // and in the second copy
  FatTable both(&faulty);
  ASSERT_TRUE(both.init(vol.p, vol.firstCopyMap()));
  EXPECT_FALSE(both.getEntry(384, kind, value));
}

TEST(FatTable, AFatShorterThanItsClustersFailsAtItsEnd) {
  MemoryVolume vol(16, 5000);
  FatParameters p = vol.p;
  p.fatLba[1] = p.fatLba[0] + 2;  // room for 512 entries only
  auto map = std::make_shared<Bitmap>(FatTable::tableSectors(p));
  EXPECT_EQ(2u, map->size());
  FatTable table(&vol.medium);
  ASSERT_TRUE(table.init(p, map));
  DebugLogCapture log;
  FatEntryKind kind;
  uint64_t value;
  EXPECT_TRUE(table.getEntry(511, kind, value));
  EXPECT_FALSE(table.getEntry(512, kind, value));
  EXPECT_NE(std::string::npos, log.text().find("FATReader(105): 0 3 2"));
}

TEST(FatTable, InitRefusesBadGeometryAndMaps) {
  MemoryVolume vol(16, 5000);
  FatTable table(&vol.medium);
  FatParameters p = vol.p;
  p.dataClusters = 0x0FFFFFF5;
  EXPECT_FALSE(table.init(p, vol.firstCopyMap())) << "invalid type";
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
  p.dataClusters = 70000;          // FAT32: 280008 bytes of entries
  EXPECT_EQ(549u, FatTable::tableSectors(p));
  p.fatLba[1] = 32 + 100;
  EXPECT_EQ(100u, FatTable::tableSectors(p));
}
