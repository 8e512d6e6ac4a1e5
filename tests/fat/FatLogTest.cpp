// The debug log of the FAT scan, pinned for a representative volume: the
// lines and their tags are what a support request is diagnosed from, so
// they change only on purpose.  Other tests check behaviour, not the log.

#include <gtest/gtest.h>

#include "FatFixtures.h"
#include "fat/FsFat.h"
#include "shell/DebugLog.h"

using namespace fattest;

TEST(FatLog, TheTrailOfARepresentativeVolume) {
  MemoryVolume vol(16, 5000);
  vol.chain({5, 6});
  vol.chain({10});
  vol.chain({20, 21});
  vol.set(21, 0xFFF7);  // bad
  vol.chain({30});
  vol.chain({40, 41});
  vol.set(41, 40);  // a loop
  vol.set(50, 51);  // into a free cluster
  std::string reused = shortEntry("REUSED  TXT", 0x20, 5, 100);
  reused[0] = char(0xE5);
  vol.put(vol.p.rootDirectoryAddress * 512ull,
          shortEntry("LIVE    TXT", 0x20, 5, 1024) + shortEntry("SHORT   TXT", 0x20, 10, 2000) + reused +
              shortEntry("BROKEN  TXT", 0x20, 20, 1024) + shortEntry("PHOTO   JPG", 0x20, 30, 100) +
              shortEntry("BAD?    TXT", 0x20, 2, 1) + shortEntry("LOOP    TXT", 0x20, 40, 1536) +
              shortEntry("FREE    TXT", 0x20, 50, 1024));
  PatternMap patterns;
  patterns["txt"].setType("txt");
  const uint8_t jpeg[3] = {0xFF, 0xD8, 0xFF};
  patterns["jpg"].setType("jpg");
  patterns["jpg"].setPattern(0, jpeg, 3);
  FsFat fs(volumeContext(&vol.medium, &patterns));

  DebugLogCapture log;
  ASSERT_TRUE(fs.init(vol.p));
  fs.scanRoot();
  fs.readerFor(vol.clusterOffset(5) + 1, 10);
  uint8_t byte;
  if (Reader* live = fs.readerFor(vol.clusterOffset(5), 1024)) live->read(1024, &byte, 1);  // past the list
  FatTable table(&vol.medium);
  table.init(vol.p, vol.firstCopyMap());
  FatEntryKind kind;
  uint64_t value;
  table.getEntry(5002, kind, value);
  EXPECT_EQ(
      "FsFat(67): lba: 0\n"
      "  fatLba: 1 21\n"
      "  rootDirectoryAddress: 41 (0)\n"
      "  dataClusterLba: 73\n"
      "  dataClusters: 5000\n"
      "  sectorsPerCluster: 1\n"
      "FATDirectoryClass(235)\n"
      "42 41 44 3F 20 20 20 20 54 58 54 20 00 00 00 00 BAD?    TXT ....\n"
      "00 00 00 00 00 00 00 50 CF 5A 02 00 01 00 00 00 .......P.Z......\n"
      "FsFat(210): SHORT.TXT 512 2000\n"
      "FsFat(214): #EUSED.TXT 5\n"
      "ReaderFatFile(161): 21 bad\n"
      "ReaderFatFile(40): 20 1024\n"
      "FsFat(203): BROKEN.TXT 20 1024\n"
      "FsFat(239): PHOTO.JPG\n"
      "ReaderFatFile(134): 40 2\n"
      "FsFat(210): LOOP.TXT 1024 1536\n"
      "ReaderFatFile(152): 51 free 1\n"
      "FsFat(210): FREE.TXT 512 1024\n"
      "FsFat(163): 38913\n"
      "ReaderFatFile(76): 6 2 2\n"
      "FATReader(94): 5002\n"
      "FATReader(39): 5002\n",
      log.text());
}
