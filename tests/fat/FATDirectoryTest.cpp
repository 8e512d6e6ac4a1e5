// Directory decoding: short and long names (live and deleted), the entry
// tests with their error budget and log dumps, dates up to next year, and
// the start of a subdirectory.

#include "fat/FATDirectory.h"

#include <gtest/gtest.h>

#include "FatFixtures.h"
#include "shell/DebugLog.h"
#include "tests/support/MemoryReader.h"

using namespace fattest;

namespace {

std::vector<FatDirectoryEntry> parse(const std::vector<uint8_t>& bytes, bool sub, bool* ok = nullptr) {
  MemoryReader reader(bytes);
  std::vector<FatDirectoryEntry> out;
  bool result = parseDirectory(reader, sub, out);
  if (ok) *ok = result;
  return out;
}

uint16_t dateOf(int year, int month, int day) { return uint16_t(((year - 1980) << 9) | (month << 5) | day); }

// A live file with a long name split over two entries, as Windows and
// mtools write it.
std::vector<uint8_t> longNamedFile(const std::u16string& name, const char* short11, bool deleted) {
  std::vector<uint8_t> dir;
  std::vector<uint8_t> shortE = shortEntry(short11, 0x20, 7, 1234);
  uint8_t sum = shortNameChecksum(shortE.data());
  std::u16string first = name.substr(0, 13), second = name.size() > 13 ? name.substr(13) : u"";
  if (!second.empty()) append(dir, longEntry(deleted ? 0xE5 : 0x42, sum, second));
  append(dir, longEntry(deleted ? 0xE5 : (second.empty() ? 0x41 : 0x01), sum, first));
  if (deleted) shortE[0] = 0xE5;
  append(dir, shortE);
  return dir;
}

}  // namespace

TEST(ShortNames, ChecksumIsTheRotatingSumOverElevenBytes) {
  // Worked by hand: the sum over "A          " (A and ten blanks).
  uint8_t sum = 0;
  const char* n = "A          ";
  for (int i = 0; i < 11; ++i) sum = uint8_t(((sum & 1) ? 0x80 : 0) + (sum >> 1) + uint8_t(n[i]));
  EXPECT_EQ(sum, shortNameChecksum(reinterpret_cast<const uint8_t*>(n)));
  EXPECT_EQ(0x53u, shortNameChecksum(reinterpret_cast<const uint8_t*>("FOO     BAR")));
}

TEST(ShortNames, TextDropsBlanksAndMarksDeletedEntries) {
  EXPECT_EQ("PHOTO1.JPG", shortNameText(shortEntry("PHOTO1  JPG", 0x20, 2, 1).data(), false));
  EXPECT_EQ("README", shortNameText(shortEntry("README     ", 0x20, 2, 1).data(), false));
  std::vector<uint8_t> e = shortEntry("PHOTO1  JPG", 0x20, 2, 1);
  e[0] = 0xE5;
  EXPECT_EQ("#HOTO1.JPG", shortNameText(e.data(), true));
}

TEST(ShortNames, BytesAreReadInCodePage437) {
  std::vector<uint8_t> e = shortEntry("\x8E" "BER    TXT", 0x20, 2, 1);  // 0x8E is A-umlaut
  EXPECT_EQ("\xC3\x84" "BER.TXT", shortNameText(e.data(), false));
  // 0x05 stands for a first byte 0xE5, which is sigma in code page 437.
  e = shortEntry("\x05" "LPHA   TXT", 0x20, 2, 1);
  EXPECT_TRUE(isValidShortName(e.data()));
  EXPECT_EQ("\xCF\x83" "LPHA.TXT", shortNameText(e.data(), false));
}

TEST(ShortNames, ValidityOfNamesAndLabels) {
  EXPECT_TRUE(isValidShortName(shortEntry("A       B  ", 0x20, 2, 1).data()));
  EXPECT_FALSE(isValidShortName(shortEntry(" A      TXT", 0x20, 2, 1).data())) << "leading blank";
  EXPECT_FALSE(isValidShortName(shortEntry("A B     TXT", 0x20, 2, 1).data())) << "inner blank";
  EXPECT_FALSE(isValidShortName(shortEntry("A*      TXT", 0x20, 2, 1).data()));
  EXPECT_FALSE(isValidShortName(shortEntry("A\x01      TXT", 0x20, 2, 1).data()));
  EXPECT_FALSE(isValidShortName(shortEntry("A       T?T", 0x20, 2, 1).data()));
  EXPECT_FALSE(isValidShortName(shortEntry("A\xFE      TXT", 0x20, 2, 1).data()));
  // A deleted entry's first byte is not part of the test.
  std::vector<uint8_t> e = shortEntry("?BC     TXT", 0x20, 2, 1);
  e[0] = 0xE5;
  EXPECT_TRUE(isValidShortName(e.data()));
  // Labels may hold blanks anywhere and zero bytes.
  EXPECT_TRUE(isValidShortName(shortEntry("MY CARD \0\0\0", 0x08, 0, 0).data()));
  EXPECT_FALSE(isValidShortName(shortEntry("MY:CARD    ", 0x08, 0, 0).data()));
}

TEST(EntryTimes, TimeFieldsInRange) {
  EXPECT_TRUE(isValidFatTime(0));
  EXPECT_TRUE(isValidFatTime((23 << 11) | (59 << 5) | 29));
  EXPECT_TRUE(isValidFatTime(30));
  EXPECT_FALSE(isValidFatTime(31));
  EXPECT_FALSE(isValidFatTime(60 << 5));
  EXPECT_FALSE(isValidFatTime(24 << 11));
}

TEST(EntryTimes, DatesUpToNextYearAreValid) {
  int latest = latestFatYear();
  time_t now = time(nullptr);
  struct tm parts;
  localtime_r(&now, &parts);
  EXPECT_EQ(parts.tm_year + 1900 + 1, latest);
  EXPECT_TRUE(isValidFatDate(dateOf(1980, 1, 1), latest));
  EXPECT_TRUE(isValidFatDate(dateOf(2021, 3, 1), latest));
  EXPECT_TRUE(isValidFatDate(dateOf(2024, 12, 31), latest));
  EXPECT_TRUE(isValidFatDate(dateOf(latest, 12, 31), latest));
  EXPECT_FALSE(isValidFatDate(dateOf(latest + 1, 1, 1), latest));
  EXPECT_FALSE(isValidFatDate(dateOf(2025, 0, 1), latest));
  EXPECT_FALSE(isValidFatDate(dateOf(2025, 13, 1), latest));
  EXPECT_FALSE(isValidFatDate(dateOf(2025, 5, 0), latest));
}

TEST(ParseDirectory, LiveFilesWithShortAndLongNames) {
  std::vector<uint8_t> dir;
  append(dir, shortEntry("CARD       ", 0x08, 0, 0));  // the label: nothing reported
  append(dir, shortEntry("PHOTO1  JPG", 0x20, 3, 4000));
  append(dir, longNamedFile(u"Holiday at the sea.jpg", "HOLIDA~1JPG", false));
  append(dir, shortEntry("DCIM       ", 0x10, 9, 0));
  bool ok = false;
  auto entries = parse(dir, false, &ok);
  EXPECT_TRUE(ok);
  ASSERT_EQ(3u, entries.size());
  EXPECT_EQ("PHOTO1.JPG", entries[0].name);
  EXPECT_EQ(3u, entries[0].firstCluster);
  EXPECT_EQ(4000u, entries[0].size);
  EXPECT_EQ("Holiday at the sea.jpg", entries[1].name);
  EXPECT_FALSE(entries[1].deleted);
  EXPECT_EQ("DCIM", entries[2].name);
  EXPECT_TRUE(entries[2].isDirectory);
}

TEST(ParseDirectory, FirstClusterJoinsBothHalves) {
  std::vector<uint8_t> dir = shortEntry("BIG     BIN", 0x20, 0x00123456, 0xFFFFFFFF);
  auto entries = parse(dir, false);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(0x00123456u, entries[0].firstCluster);
  EXPECT_EQ(0xFFFFFFFFu, entries[0].size);
}

TEST(ParseDirectory, DeletedFilesKeepTheirLongNamesOrGetAHash) {
  std::vector<uint8_t> dir;
  append(dir, longNamedFile(u"Birthday party 2025.jpg", "BIRTHD~1JPG", true));
  std::vector<uint8_t> bare = shortEntry("IMG_0001JPG", 0x20, 40, 100);
  bare[0] = 0xE5;
  append(dir, bare);
  auto entries = parse(dir, false);
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("Birthday party 2025.jpg", entries[0].name);
  EXPECT_TRUE(entries[0].deleted);
  EXPECT_EQ("#MG_0001.JPG", entries[1].name);
  EXPECT_TRUE(entries[1].deleted);
}

TEST(ParseDirectory, NonAsciiLongNamesBecomeUtf8) {
  std::u16string name = u"\u0424\u043E\u0442\u043E \U0001F4F7.jpg";  // Cyrillic and a camera emoji
  auto entries = parse(longNamedFile(name, "8D4C~1  JPG", false), false);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE \xF0\x9F\x93\xB7.jpg", entries[0].name);
}

TEST(ParseDirectory, MismatchedLongNamesFallBackToTheShortName) {
  // Checksum of another short name: an orphan left in front of a new entry.
  std::vector<uint8_t> dir = longNamedFile(u"old name.txt", "OLDNAM~1TXT", false);
  std::vector<uint8_t> other = shortEntry("NEW     TXT", 0x20, 5, 10);
  memcpy(&dir[dir.size() - 32], other.data(), 32);
  auto entries = parse(dir, false);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("NEW.TXT", entries[0].name);
  // Sequence numbers out of order.
  dir = longNamedFile(u"a rather long file name.txt", "ARATHE~1TXT", false);
  dir[32] = 0x03;
  entries = parse(dir, false);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("ARATHE~1.TXT", entries[0].name);
}

TEST(ParseDirectory, StopsAtTheEndMarkAndSkipsDotEntriesOfSubdirectories) {
  std::vector<uint8_t> dir;
  append(dir, shortEntry(".          ", 0x10, 5, 0));
  append(dir, shortEntry("..         ", 0x10, 0, 0));
  append(dir, shortEntry("A       TXT", 0x20, 6, 1));
  append(dir, std::vector<uint8_t>(32, 0));
  append(dir, shortEntry("AFTER   TXT", 0x20, 7, 1));
  auto entries = parse(dir, true);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("A.TXT", entries[0].name);
  // The same bytes as a root directory end at the "." entry.
  EXPECT_TRUE(parse(dir, false).empty());
}

TEST(ParseDirectory, TheFifthBadEntryFailsAndKeepsWhatCameBefore) {
  std::vector<uint8_t> dir;
  append(dir, shortEntry("GOOD1   TXT", 0x20, 2, 1));
  append(dir, shortEntry("BAD1    TXT", 0x40, 2, 1));          // unused attribute bit
  append(dir, shortEntry("BAD2    TXT", 0x20, 2, 1, 0));       // no date
  append(dir, shortEntry("BAD3    TXT", 0x20, 2, 1, dateOf(2025, 1, 1), 0xFFFF));  // time
  append(dir, shortEntry("BA D4   TXT", 0x20, 2, 1));          // name
  append(dir, shortEntry("GOOD2   TXT", 0x20, 2, 1));
  DebugLogCapture log;
  bool ok = true;
  auto entries = parse(dir, false, &ok);
  EXPECT_TRUE(ok) << "four bad entries are tolerated";
  EXPECT_EQ(2u, entries.size());

  append(dir, shortEntry("DIR        ", 0x10, 2, 100));  // directory size not whole sectors
  append(dir, shortEntry("GOOD3   TXT", 0x20, 2, 1));
  entries = parse(dir, false, &ok);
  EXPECT_FALSE(ok);
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("GOOD2.TXT", entries[1].name);
  std::string text = log.text();
  for (const char* tag : {"FATDirectoryClass(223)", "FATDirectoryClass(234)", "FATDirectoryClass(233)",
                          "FATDirectoryClass(235)", "FATDirectoryClass(231)"})
    EXPECT_NE(std::string::npos, text.find(tag)) << tag;
}

TEST(ParseDirectory, HostileLongNameEntriesAreCounted) {
  std::vector<uint8_t> dir;
  std::vector<uint8_t> e = longEntry(0x41, 0, u"x");
  e[26] = 5;  // a cluster in a long-name entry
  append(dir, e);
  e = longEntry(0x41, 0, u"x");
  e[12] = 1;  // a type byte
  append(dir, e);
  append(dir, shortEntry("A       TXT", 0x20, 2, 1));
  DebugLogCapture log;
  auto entries = parse(dir, false);
  ASSERT_EQ(1u, entries.size());
  EXPECT_NE(std::string::npos, log.text().find("FATDirectoryClass(225)"));
  EXPECT_NE(std::string::npos, log.text().find("FATDirectoryClass(226)"));
}

TEST(ParseDirectory, RejectedEntriesAreDumpedInHex) {
  DebugLogCapture log;
  parse(shortEntry("BAD?    TXT", 0x20, 2, 1), false);
  EXPECT_NE(std::string::npos,
            log.text().find("FATDirectoryClass(235)\n"
                            "42 41 44 3F 20 20 20 20 54 58 54 20 00 00 00 00 BAD?    TXT ....\n"
                            "00 00 00 00 00 00 00 50 CF 5A 02 00 01 00 00 00 .......P.Z......\n"));
  std::string shortLine = hexDump(reinterpret_cast<const uint8_t*>("AB\x01"), 3);
  EXPECT_EQ("41 42 01 " + std::string(13 * 3, ' ') + "AB.\n", shortLine);
}

TEST(ParseDirectory, AnUnreadableSectorCostsOnlyItsOwnEntries) {
  // 40 entries over two and a half sectors; damage in the first sector
  // loses the rest of that sector and nothing after it, however much of it
  // there is, and spends none of the error budget.
  std::vector<uint8_t> dir;
  for (int i = 0; i < 40; ++i) append(dir, shortEntry("FILE    TXT", 0x20, 2, 1));
  MemoryReader inner(dir);
  FaultReader faulty(&inner);
  faulty.failRange(3 * 32, 1);
  std::vector<FatDirectoryEntry> out;
  EXPECT_TRUE(parseDirectory(faulty, false, out));
  EXPECT_EQ(3u + 24u, out.size());
  faulty.failRange(16 * 32, 32 * 16);  // the whole second sector as well
  out.clear();
  EXPECT_TRUE(parseDirectory(faulty, false, out));
  EXPECT_EQ(3u + 8u, out.size());
}

TEST(ParseDirectory, GarbageEndsQuicklyAndNeverReadsPastTheLimit) {
  std::vector<uint8_t> garbage = pattern(40 * 1024 * 1024, 7);
  for (size_t i = 0; i < garbage.size(); i += 32) garbage[i] |= 1;  // no end marks
  MemoryReader reader(garbage);
  std::vector<FatDirectoryEntry> out;
  parseDirectory(reader, false, out);
  EXPECT_LT(out.size(), 1000u);
  EXPECT_LT(reader.reads, 100u);
}

TEST(IsDirectoryStart, DotAndDotDotGiveTheCluster) {
  std::vector<uint8_t> dir;
  append(dir, shortEntry(".          ", 0x10, 0x00020011, 0));
  append(dir, shortEntry("..         ", 0x10, 0, 0));
  uint64_t cluster = 0;
  ASSERT_TRUE(isDirectoryStart(dir.data(), cluster));
  EXPECT_EQ(0x00020011u, cluster);
  dir[32 + 1] = ' ';
  EXPECT_FALSE(isDirectoryStart(dir.data(), cluster));
  std::vector<uint8_t> other = shortEntry(".X         ", 0x10, 1, 0);
  append(other, shortEntry("..         ", 0x10, 0, 0));
  EXPECT_FALSE(isDirectoryStart(other.data(), cluster));
}

TEST(ParseDirectory, AnUnreadableSectorIsTriedOnceNotOncePerEntry) {
  // On a real card every failed read can take seconds: one bad sector in a
  // large directory must not be read again for each of its entries.
  std::vector<uint8_t> dir;
  for (int i = 0; i < 2000; ++i) append(dir, shortEntry("FILE    TXT", 0x20, 2, 1));
  MemoryReader inner(dir);
  FaultReader faulty(&inner);
  faulty.failRange(100 * 32, 1);
  std::vector<FatDirectoryEntry> out;
  EXPECT_TRUE(parseDirectory(faulty, false, out));
  EXPECT_EQ(2000u - 12u, out.size()) << "entries 100 to 111 share the bad sector";
  EXPECT_LE(faulty.failedReads, 4u);
}
