// FAT entry kinds for the three widths, and the look of a FAT's first bytes.

#include "fat/FatEntry.h"

#include <gtest/gtest.h>

#include <string>

#include "fat/BootSector.h"

TEST(ClassifyFatEntry, EachWidthAtItsMarks) {
  struct Case {
    int type;
    uint32_t value;
    FatEntryKind kind;
  } cases[] = {
      {kFat12, 0, kFatEntryFree},      {kFat12, 1, kFatEntryInvalid},    {kFat12, 2, kFatEntryNext},
      {kFat12, 0xFEF, kFatEntryNext},  {kFat12, 0xFF0, kFatEntryReserved}, {kFat12, 0xFF7, kFatEntryBad},
      {kFat12, 0xFF8, kFatEntryEnd},   {kFat16, 1, kFatEntryInvalid},    {kFat16, 0xFF8, kFatEntryNext},
      {kFat16, 0xFFEF, kFatEntryNext}, {kFat16, 0xFFF6, kFatEntryReserved}, {kFat16, 0xFFF7, kFatEntryBad},
      {kFat16, 0xFFFF, kFatEntryEnd},  {kFat32, 2, kFatEntryNext},       {kFat32, 0x0FFFFFEF, kFatEntryNext},
      {kFat32, 0x0FFFFFF0, kFatEntryReserved}, {kFat32, 0x0FFFFFF7, kFatEntryBad},
      {kFat32, 0x0FFFFFF8, kFatEntryEnd},      {kFatInvalid, 0, kFatEntryFree}, {kFatInvalid, 5, kFatEntryInvalid},
      {7, 0x0FFFFFFF, kFatEntryInvalid},
  };
  for (const Case& c : cases) EXPECT_EQ(c.kind, classifyFatEntry(c.type, c.value)) << c.type << " " << c.value;
}

TEST(CheckFatStart, MediaByteAndEndMarkWithTheFlagsIgnored) {
  struct Case {
    int type;
    std::string bytes;
    bool looksLikeAFat;
  } cases[] = {
      {kFat12, "\xF8\xFF\xFF", true},
      {kFat12, "\xF0\xFF\xFF", true},
      {kFat12, "\xF8\xFF\x7F", false},
      {kFat16, "\xF8\xFF\xFF\x3F", true},  // both flag bits clear
      {kFat16, std::string(4, '\0'), false},
      {kFat32, std::string("\xF8\xFF\xFF\x0F\xFF\xFF\xFF\x03", 8), true},  // flags 26-27 clear
      {kFat32, std::string(8, '\xFF').replace(0, 1, "\xF8"), true},
      {kFat32, std::string("\xF8\xFF\xFF\x0F\x05\0\0\0", 8), false},
      {kFatInvalid, std::string(8, '\xFF'), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.looksLikeAFat, checkFatStart(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.type)) << c.type;
    EXPECT_EQ(c.type == kFatInvalid ? 0 : c.bytes.size(), size_t(fatStartBytes(c.type)));
  }
}
