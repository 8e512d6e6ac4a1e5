// FAT entry kinds for the three widths, and the look of a FAT's first bytes.

#include "fat/FatEntry.h"

#include <gtest/gtest.h>

#include "fat/BootSector.h"

TEST(ClassifyFatEntry, ZeroIsFreeAndOneIsInvalid) {
  for (int type : {kFat12, kFat16, kFat32}) {
    EXPECT_EQ(kFatEntryFree, classifyFatEntry(type, 0)) << type;
    EXPECT_EQ(kFatEntryInvalid, classifyFatEntry(type, 1)) << type;
  }
}

TEST(ClassifyFatEntry, TwoIsALegalNextCluster) {
  for (int type : {kFat12, kFat16, kFat32}) EXPECT_EQ(kFatEntryNext, classifyFatEntry(type, 2)) << type;
}

TEST(ClassifyFatEntry, Fat32MarksAtTheTopOfTheRange) {
  EXPECT_EQ(kFatEntryNext, classifyFatEntry(kFat32, 0x0FFFFFEF));
  for (uint32_t v = 0x0FFFFFF0; v <= 0x0FFFFFF6; ++v) EXPECT_EQ(kFatEntryReserved, classifyFatEntry(kFat32, v));
  EXPECT_EQ(kFatEntryBad, classifyFatEntry(kFat32, 0x0FFFFFF7));
  for (uint32_t v = 0x0FFFFFF8; v <= 0x0FFFFFFF; ++v) EXPECT_EQ(kFatEntryEnd, classifyFatEntry(kFat32, v));
}

TEST(ClassifyFatEntry, NarrowTablesAreWidenedBeforeTheTest) {
  EXPECT_EQ(kFatEntryBad, classifyFatEntry(kFat12, 0xFF7));
  EXPECT_EQ(kFatEntryEnd, classifyFatEntry(kFat12, 0xFF8));
  EXPECT_EQ(kFatEntryReserved, classifyFatEntry(kFat12, 0xFF0));
  EXPECT_EQ(kFatEntryNext, classifyFatEntry(kFat12, 0xFEF));
  EXPECT_EQ(kFatEntryBad, classifyFatEntry(kFat16, 0xFFF7));
  EXPECT_EQ(kFatEntryEnd, classifyFatEntry(kFat16, 0xFFFF));
  EXPECT_EQ(kFatEntryNext, classifyFatEntry(kFat16, 0xFFEF));
  // A FAT16 value is a cluster pointer where a FAT12 one would be an end mark.
  EXPECT_EQ(kFatEntryNext, classifyFatEntry(kFat16, 0xFF8));
}

TEST(ClassifyFatEntry, AnInvalidTypeRefusesEveryNonZeroValue) {
  EXPECT_EQ(kFatEntryFree, classifyFatEntry(kFatInvalid, 0));
  EXPECT_EQ(kFatEntryInvalid, classifyFatEntry(kFatInvalid, 5));
  EXPECT_EQ(kFatEntryInvalid, classifyFatEntry(7, 0x0FFFFFFF));
}

TEST(CheckFatStart, AcceptsMediaByteAndEndMarkWithFlagsIgnored) {
  const uint8_t fat12[] = {0xF8, 0xFF, 0xFF};
  const uint8_t fat12f0[] = {0xF0, 0xFF, 0xFF};
  EXPECT_TRUE(checkFatStart(fat12, kFat12));
  EXPECT_TRUE(checkFatStart(fat12f0, kFat12));
  const uint8_t fat16dirty[] = {0xF8, 0xFF, 0xFF, 0x3F};  // both flag bits clear
  EXPECT_TRUE(checkFatStart(fat16dirty, kFat16));
  const uint8_t fat32[] = {0xF8, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0x03};  // flags 26-27 clear
  EXPECT_TRUE(checkFatStart(fat32, kFat32));
  const uint8_t fat32top[] = {0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_TRUE(checkFatStart(fat32top, kFat32));
}

TEST(CheckFatStart, RefusesOtherBytesAndTypes) {
  const uint8_t zeros[8] = {};
  for (int type : {kFat12, kFat16, kFat32, kFatInvalid}) EXPECT_FALSE(checkFatStart(zeros, type)) << type;
  const uint8_t fat12[] = {0xF8, 0xFF, 0x7F};
  EXPECT_FALSE(checkFatStart(fat12, kFat12));
  const uint8_t fat32cluster[] = {0xF8, 0xFF, 0xFF, 0x0F, 0x05, 0x00, 0x00, 0x00};
  EXPECT_FALSE(checkFatStart(fat32cluster, kFat32));
  EXPECT_EQ(3, fatStartBytes(kFat12));
  EXPECT_EQ(4, fatStartBytes(kFat16));
  EXPECT_EQ(8, fatStartBytes(kFat32));
}
