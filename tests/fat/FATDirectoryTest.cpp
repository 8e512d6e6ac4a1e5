// Directory decoding: short and long names of live and deleted entries, the
// plausibility tests, the error budget, dates up to a given year, and the
// start of a subdirectory.

#include "fat/FATDirectory.h"

#include <gtest/gtest.h>

#include <ctime>

#include "FatFixtures.h"

using namespace fattest;
using mzktest::randomBytes;

namespace {

const int kLatest = 2026;

std::string deleted(std::string entry) {
  entry[0] = char(0xE5);
  return entry;
}

// A file with a long name over one or two entries, as Windows and mtools
// write it; deleted entries have lost their sequence numbers.
std::string longNamed(const std::u16string& name, const std::string& short11, bool isDeleted = false) {
  std::string shortE = shortEntry(short11, 0x20, 7, 1234);
  uint8_t sum = shortNameChecksum(reinterpret_cast<const uint8_t*>(shortE.data()));
  std::string dir;
  if (name.size() > 13) dir += longEntry(isDeleted ? 0xE5 : 0x42, sum, name.substr(13));
  dir += longEntry(isDeleted ? 0xE5 : name.size() > 13 ? 0x01 : 0x41, sum, name.substr(0, 13));
  return dir + (isDeleted ? deleted(shortE) : shortE);
}

// The entries as "name cluster:size", "/" after directories, " deleted" after
// deleted ones, and " !" at the end when the walk failed.
std::string walk(Reader& reader, bool subdirectory) {
  std::vector<FatDirectoryEntry> entries;
  bool ok = parseDirectory(reader, subdirectory, kLatest, entries);
  std::string text;
  for (const FatDirectoryEntry& e : entries)
    text += std::string(text.empty() ? "" : ", ") + e.name + (e.isDirectory ? "/ " : " ") +
            std::to_string(e.firstCluster) + ":" + std::to_string(e.size) + (e.deleted ? " deleted" : "");
  return ok ? text : text + " !";
}

std::string walk(const std::string& bytes, bool subdirectory = false) {
  MemoryReader reader(bytes.data(), bytes.size());
  return walk(reader, subdirectory);
}

uint16_t dateOf(int year, int month, int day) { return uint16_t((year - 1980) << 9 | month << 5 | day); }

const uint8_t* bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

}  // namespace

TEST(ShortNames, ChecksumTextAndCodePage) {
  EXPECT_EQ(0x53u, shortNameChecksum(bytes("FOO     BAR")));
  EXPECT_EQ(0x80u, shortNameChecksum(bytes("A          ")));
  const struct {
    std::string entry;
    bool deleted;
    const char* text;
  } cases[] = {
      {shortEntry("PHOTO1  JPG", 0x20, 2, 1), false, "PHOTO1.JPG"},
      {shortEntry("README     ", 0x20, 2, 1), false, "README"},
      {deleted(shortEntry("PHOTO1  JPG", 0x20, 2, 1)), true, "#HOTO1.JPG"},
      {shortEntry("\x8E" "BER    TXT", 0x20, 2, 1), false, "\xC3\x84" "BER.TXT"},  // A-umlaut in code page 437
      {shortEntry("\x05" "LPHA   TXT", 0x20, 2, 1), false, "\xCF\x83" "LPHA.TXT"},  // 0x05 stands for 0xE5, sigma
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, shortNameText(bytes(c.entry), c.deleted));
}

TEST(ShortNames, ValidityOfNamesAndLabels) {
  const std::pair<std::string, bool> cases[] = {
      {shortEntry("A       B  ", 0x20, 2, 1), true},
      {shortEntry("\x05" "LPHA   TXT", 0x20, 2, 1), true},
      {shortEntry(" A      TXT", 0x20, 2, 1), false},  // leading blank
      {shortEntry("A B     TXT", 0x20, 2, 1), false},  // inner blank
      {shortEntry("A*      TXT", 0x20, 2, 1), false},
      {shortEntry("A\x01      TXT", 0x20, 2, 1), false},
      {shortEntry("A       T?T", 0x20, 2, 1), false},
      {shortEntry("A\xFE      TXT", 0x20, 2, 1), false},
      {deleted(shortEntry("?BC     TXT", 0x20, 2, 1)), true},  // a deleted entry's first byte does not count
      {shortEntry(std::string("MY CARD \0\0\0", 11), 0x08, 0, 0), true},  // labels: blanks and zeros anywhere
      {shortEntry("MY:CARD    ", 0x08, 0, 0), false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, isValidShortName(bytes(c.first))) << c.first.substr(0, 11);
}

TEST(EntryTimes, TimesAndDatesInRange) {
  for (uint16_t time : {0, 23 << 11 | 59 << 5 | 29, 30}) EXPECT_TRUE(isValidFatTime(time)) << time;
  for (uint16_t time : {31, 60 << 5, 24 << 11}) EXPECT_FALSE(isValidFatTime(time)) << time;
  for (uint16_t date : {dateOf(1980, 1, 1), dateOf(2024, 12, 31), dateOf(kLatest, 12, 31)})
    EXPECT_TRUE(isValidFatDate(date, kLatest)) << date;
  for (uint16_t date : {dateOf(kLatest + 1, 1, 1), dateOf(2025, 0, 1), dateOf(2025, 13, 1), dateOf(2025, 5, 0)})
    EXPECT_FALSE(isValidFatDate(date, kLatest)) << date;
  time_t now = time(nullptr);
  struct tm parts;
  localtime_r(&now, &parts);
  EXPECT_EQ(parts.tm_year + 1900 + 1, latestFatYear()) << "this year and the next";
}

TEST(ParseDirectory, EntriesNamesAndTheirEnd) {
  std::string withMismatch = longNamed(u"old name.txt", "OLDNAM~1TXT");
  withMismatch.replace(withMismatch.size() - 32, 32, shortEntry("NEW     TXT", 0x20, 5, 10));
  std::string outOfOrder = longNamed(u"a rather long file name.txt", "ARATHE~1TXT");
  outOfOrder[32] = 0x03;
  std::string sub = shortEntry(".          ", 0x10, 5, 0) + shortEntry("..         ", 0x10, 0, 0) +
                    shortEntry("A       TXT", 0x20, 6, 1) + std::string(32, '\0') + shortEntry("AFTER   TXT", 0x20, 7, 1);
  const struct {
    const char* what;
    std::string bytes;
    bool subdirectory;
    const char* entries;
  } cases[] = {
      {"live", shortEntry("CARD       ", 0x08, 0, 0) + shortEntry("PHOTO1  JPG", 0x20, 3, 4000) +
                   longNamed(u"Holiday at the sea.jpg", "HOLIDA~1JPG") + shortEntry("DCIM       ", 0x10, 9, 0),
       false, "PHOTO1.JPG 3:4000, Holiday at the sea.jpg 7:1234, DCIM/ 9:0"},
      {"both cluster halves", shortEntry("BIG     BIN", 0x20, 0x00123456, 0xFFFFFFFF), false, "BIG.BIN 1193046:4294967295"},
      {"deleted", longNamed(u"Birthday party 2025.jpg", "BIRTHD~1JPG", true) + deleted(shortEntry("IMG_0001JPG", 0x20, 40, 100)),
       false, "Birthday party 2025.jpg 7:1234 deleted, #MG_0001.JPG 40:100 deleted"},
      {"UTF-16", longNamed(u"\u0424\u043E\u0442\u043E \U0001F4F7.jpg", "8D4C~1  JPG"), false,
       "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xF0\x9F\x93\xB7.jpg 7:1234"},
      {"long name of another entry", withMismatch, false, "NEW.TXT 5:10"},
      {"sequence out of order", outOfOrder, false, "ARATHE~1.TXT 7:1234"},
      {"subdirectory", sub, true, "A.TXT 6:1"},
      {"root ends at a dot", sub, false, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.entries, walk(c.bytes, c.subdirectory)) << c.what;
}

TEST(ParseDirectory, TheFifthBadEntryEndsTheWalk) {
  std::string dir = shortEntry("GOOD1   TXT", 0x20, 2, 1) +
                    shortEntry("BAD1    TXT", 0x40, 2, 1) +                            // unused attribute bit
                    shortEntry("BAD2    TXT", 0x20, 2, 1, 0) +                         // no date
                    shortEntry("BAD3    TXT", 0x20, 2, 1, dateOf(2025, 1, 1), 0xFFFF) +  // time
                    shortEntry("BA D4   TXT", 0x20, 2, 1) +                            // name
                    shortEntry("GOOD2   TXT", 0x20, 2, 1);
  EXPECT_EQ("GOOD1.TXT 2:1, GOOD2.TXT 2:1", walk(dir));
  std::string longBad = longEntry(0x41, 0, u"x");
  longBad[26] = 5;  // a cluster in a long-name entry
  EXPECT_EQ("GOOD1.TXT 2:1 !", walk(dir.substr(0, 32) + longBad + dir.substr(32)));
  longBad = longEntry(0x41, 0, u"x");
  longBad[12] = 1;  // a type
  EXPECT_EQ("GOOD1.TXT 2:1 !", walk(dir.substr(0, 32) + longBad + dir.substr(32)));
  // A directory whose size is not whole sectors.
  EXPECT_EQ("GOOD1.TXT 2:1, GOOD2.TXT 2:1 !", walk(dir + shortEntry("DIR        ", 0x10, 2, 100) + dir.substr(0, 32)));
}

TEST(ParseDirectory, AnUnreadableSectorCostsOnlyItsOwnEntriesAndIsReadOnce) {
  // Damage is no sign that this is not a directory: the rest of the bad
  // sector is lost, nothing after it, however much of it there is, and
  // none of the error budget is spent.
  std::string dir;
  for (int i = 0; i < 2000; ++i) dir += shortEntry("FILE    TXT", 0x20, 2, 1);
  MemoryReader inner(dir.data(), dir.size());
  FaultReader faulty(&inner);
  faulty.failRange(100 * 32, 1);
  std::vector<FatDirectoryEntry> out;
  EXPECT_TRUE(parseDirectory(faulty, false, kLatest, out));
  EXPECT_EQ(2000u - 12u, out.size()) << "entries 100 to 111 share the bad sector";
  // On a card every failed read may take seconds.
  EXPECT_LE(faulty.failedReads, 4u);
  for (uint64_t sector : {20, 21, 22, 23, 24, 25}) faulty.failRange(sector * 512, 512);
  out.clear();
  EXPECT_TRUE(parseDirectory(faulty, false, kLatest, out));
  EXPECT_EQ(2000u - 12u - 6 * 16u, out.size());
}

TEST(ParseDirectory, GarbageEndsQuicklyAndNothingPastTheLimitIsRead) {
  std::string garbage = randomBytes(40 * 1024 * 1024, 7);
  for (size_t i = 0; i < garbage.size(); i += 32) garbage[i] |= 1;  // no end marks
  MemoryReader reader(garbage.data(), garbage.size());
  std::vector<FatDirectoryEntry> out;
  parseDirectory(reader, false, kLatest, out);
  EXPECT_LT(out.size(), 1000u);
  EXPECT_LT(reader.reads, 100u);
}

TEST(IsDirectoryStart, DotAndDotDotGiveTheCluster) {
  std::string dir = shortEntry(".          ", 0x10, 0x00020011, 0) + shortEntry("..         ", 0x10, 0, 0);
  uint64_t cluster = 0;
  ASSERT_TRUE(isDirectoryStart(bytes(dir), cluster));
  EXPECT_EQ(0x00020011u, cluster);
  dir[33] = ' ';
  EXPECT_FALSE(isDirectoryStart(bytes(dir), cluster));
  dir = shortEntry(".X         ", 0x10, 1, 0) + shortEntry("..         ", 0x10, 0, 0);
  EXPECT_FALSE(isDirectoryStart(bytes(dir), cluster));
}
