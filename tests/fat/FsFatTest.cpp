// The volume: cluster positions in 64 bits, the checks of init, readers and
// byte runs of found files, directories met by the scan, the modules that
// open volumes, and a FAT32 partition beyond 2 TiB on a sparse image.

#include "fat/FsFat.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "FatFixtures.h"
#include "fat/BootSector.h"
#include "fat/FATDirectory.h"
#include "media/ReaderFile.h"
#include "tests/support/FatImage.h"
#include "tests/support/ScannedCase.h"
#include "tests/support/TempDir.h"

using namespace fattest;
using namespace mzktest;

namespace {

FatParameters geometry(uint64_t lba) {
  FatParameters p;
  p.lba = lba;
  p.fatLba[0] = 32;
  p.fatLba[1] = 32 + 1000;
  p.rootDirectoryIsCluster = 1;
  p.rootDirectoryAddress = 2;
  p.dataClusterLba = 2032;
  p.dataClusters = 100000;
  p.sectorsPerCluster = 8;
  return p;
}

struct Found : Scanner::Callback {
  void found(const FileModule::File& file) override { names.push_back(file.attributes.getString("fn")); }
  std::vector<std::string> names;
};

}  // namespace

TEST(ClusterOffsets, BothWaysInside64BitPositions) {
  const uint64_t start = (8192 + 2032) * 512ull;
  // Past sector 2^32 a 32-bit sector sum would wrap and point 2 TiB early.
  const uint64_t far = (1ull << 32) + 2048;
  const uint64_t farStart = (far + 2032) * 512ull;
  const struct {
    uint64_t lba, cluster;
    int64_t offset;
  } clusters[] = {{8192, 2, int64_t(start)},
                  {8192, 100001, int64_t(start + 4096 * 99999ull)},
                  {8192, 1, -1},
                  {8192, 100002, -1},
                  {far, 12, int64_t(farStart + 4096 * 10)},
                  {UINT64_MAX / 512, 2, -1}};
  for (const auto& c : clusters) EXPECT_EQ(c.offset, offsetOfCluster(geometry(c.lba), c.cluster)) << c.cluster;
  const struct {
    uint64_t lba, offset;
    int64_t cluster;
  } offsets[] = {{8192, start, 2},
                 {8192, start + 4096 * 99999ull, 100001},
                 {8192, start - 512, -1},   // before the data area
                 {8192, start + 512, -1},   // inside a cluster
                 {8192, start + 4096 * 100000ull, -1},
                 {8192, UINT64_MAX, -1},
                 {far, farStart + 4096 * 10, 12},
                 {UINT64_MAX / 512, 0, -1}};
  for (const auto& c : offsets) EXPECT_EQ(c.cluster, clusterOfOffset(geometry(c.lba), c.offset)) << c.offset;
}

TEST(FsFatInit, RefusesVolumesTheMediumCannotHoldOrWithoutAFat) {
  MemoryVolume vol(16, 5000);
  const struct {
    const char* what;
    std::function<void(FatParameters&)> edit;
    bool ok;
  } cases[] = {
      {"the volume", [](FatParameters&) {}, true},
      {"one cluster past the medium", [](FatParameters& p) { p.dataClusters += 1; }, false},
      {"a start that wraps", [](FatParameters& p) { p.lba = UINT64_MAX / 256; }, false},
      {"no second FAT", [](FatParameters& p) { p.fatLba[1] = p.fatLba[0]; }, false},
      {"second FAT in the data", [](FatParameters& p) { p.dataClusterLba = p.fatLba[1] + 1; }, false},
  };
  for (const auto& c : cases) {
    FatParameters p = vol.p;
    c.edit(p);
    FsFat fs(volumeContext(&vol.medium));
    EXPECT_EQ(c.ok, fs.init(p)) << c.what;
  }
  vol.set(0, 0);
  vol.set(1, 0);
  FsFat fs(volumeContext(&vol.medium));
  EXPECT_FALSE(fs.init(vol.p)) << "neither FAT looks like one";
}


TEST(FsFatFiles, ReaderAndByteRunsOfAFoundFile) {
  MemoryVolume vol(16, 5000);
  vol.chain({7, 8, 20});
  for (uint64_t c : {7, 8, 20}) vol.stamp(c);
  FsFat fs(volumeContext(&vol.medium));
  ASSERT_TRUE(fs.init(vol.p));
  const uint64_t at = vol.clusterOffset(7);
  Reader* r = fs.readerFor(at, 1100);
  ASSERT_EQ(static_cast<const Reader*>(&fs.chain()), r);
  EXPECT_EQ(1100u, r->size());
  uint8_t b[2];
  ASSERT_TRUE(r->read(1023, b, 2));
  EXPECT_EQ(8, b[0]);
  EXPECT_EQ(20, b[1]);
  ByteRuns runs = fs.byteRuns(at, 1100);
  ASSERT_EQ(2u, runs.size());
  EXPECT_EQ(at, runs[0].imageOffset);
  EXPECT_EQ(1024u, runs[0].length);
  EXPECT_EQ(1024u, runs[1].fileOffset);
  EXPECT_EQ(vol.clusterOffset(20), runs[1].imageOffset);
  EXPECT_EQ(76u, runs[1].length);
  EXPECT_EQ(nullptr, fs.readerFor(at + 1, 700)) << "no cluster starts there";
  EXPECT_TRUE(fs.byteRuns(at + 1, 700).empty());
  // An empty file has no first cluster (its offset is all ones) and still
  // reads back as empty.
  r = fs.readerFor(UINT64_MAX, 0);
  ASSERT_NE(nullptr, r);
  EXPECT_EQ(0u, r->size());
}

TEST(FsFatFiles, DirectoriesAreClaimedOnlyWhereTheirClusterLies) {
  MemoryVolume vol(16, 5000);
  vol.chain({9});
  vol.chain({10});
  vol.put(vol.clusterOffset(9), shortEntry(".          ", 0x10, 9, 0) + shortEntry("..         ", 0x10, 0, 0) +
                                    shortEntry("NOTE    TXT", 0x20, 10, 5));
  vol.put(vol.clusterOffset(10), "notes");
  PatternMap patterns;
  patterns["txt"].setType("txt");
  Found found;
  FsFat fs(volumeContext(&vol.medium, &patterns, &found));
  ASSERT_TRUE(fs.init(vol.p));
  EXPECT_FALSE(fs.scanDirectoryAt(vol.clusterOffset(9) + 512, 9));
  EXPECT_FALSE(fs.scanDirectoryAt(vol.clusterOffset(9), Volume::kUnknownCluster));
  EXPECT_TRUE(found.names.empty());
  EXPECT_TRUE(fs.scanDirectoryAt(vol.clusterOffset(9), 9));
  EXPECT_EQ(std::vector<std::string>{"NOTE.TXT"}, found.names);
}

TEST(FsFatFiles, AFat32RootIsReadNoFurtherThanTheDirectoryLimit) {
  MemoryVolume vol(32, 66000);
  for (uint32_t c = 2; c < 66001; ++c) vol.set(c, c + 1);  // one chain over the whole volume
  vol.set(66001, vol.endMark());
  // Valid entries all the way, so that only the limit ends the directory.
  std::string entry = shortEntry("NOTE    QQQ", 0x20, 0, 0);
  for (uint64_t at = vol.clusterOffset(2); at + 32 <= vol.medium.bytes().size(); at += 32) vol.put(at, entry);
  PatternMap none;
  FsFat fs(volumeContext(&vol.medium, &none));
  ASSERT_TRUE(fs.init(vol.p));
  fs.scanRoot();
  EXPECT_EQ(kFatDirectoryLimit / 512, fs.chain().clusters().size());
}

TEST(FileSystemModules, BootSectorsOpenVolumesOnlyAtSectorBoundaries) {
  TempDir dir;
  FatImage image(dir.file("card.img"), 1, 12, 1);
  ASSERT_TRUE(image.ok());
  std::string volume = readFile(image.path()), medium = std::string(512, '\0') + volume;
  ScannedCase scan;
  FileCase& fileCase = scan.fileCase();
  fileCase.setReader(new MemoryReader(medium.data(), medium.size()));
  FileModule* module = fileCase.registry()->findModule("BootSector");
  ASSERT_NE(nullptr, module);
  EXPECT_TRUE(module->scan(reinterpret_cast<const uint8_t*>(volume.data()), 512));
  MemoryReader sector(volume.data(), 512);
  FileModule::File file;
  EXPECT_FALSE(module->analyzeAt(512 + 100, sector, file));
  EXPECT_FALSE(module->analyze(sector, file)) << "no place on the medium";
  EXPECT_EQ(0u, fileCase.volumeCount());
  EXPECT_FALSE(module->analyzeAt(512, sector, file));
  ASSERT_EQ(1u, fileCase.volumeCount());
  EXPECT_EQ(512u, fileCase.volume(0)->start());

  // A directory start that no volume claims reports nothing.
  module = fileCase.registry()->findModule("Subdirectory");
  std::string entries = shortEntry(".          ", 0x10, 9, 0) + shortEntry("..         ", 0x10, 0, 0) +
                        shortEntry("A       TXT", 0x20, 10, 5) + std::string(416, '\0');
  ASSERT_TRUE(module->scan(reinterpret_cast<const uint8_t*>(entries.data()), 512));
  MemoryReader dirSector(entries.data(), entries.size());
  EXPECT_FALSE(module->analyzeAt(0, dirSector, file));
  EXPECT_TRUE(fileCase.order().empty());
}

TEST(FileSystemPatterns, EveryTypeIsALowerCaseExtension) {
  ScannedCase scan;
  const PatternMap& map = scan.fileCase().fileSystemPatterns();
  ASSERT_TRUE(map.count("jpg"));
  EXPECT_NE(nullptr, map.at("jpg").analyzeModule());
  for (const auto& entry : map)
    if (entry.first != "*")  // the catch-all record
      for (char c : entry.first) EXPECT_TRUE(islower(uint8_t(c)) || isdigit(uint8_t(c))) << entry.first;
  for (const char* type : {"jpeg", "tif", "cr2", "nef", "png", "avi", "wav", "mp3", "mov", "zip", "doc"})
    EXPECT_TRUE(map.count(type)) << type;
}

TEST(FsFatLargeDisk, AFat32PartitionPastSector2To32IsReadInPlace) {
  TempDir dir;
  FatImage small(dir.file("small.img"), 40, 32, 1);
  ASSERT_TRUE(small.ok());
  std::string data = randomBytes(70000, 42), deep = randomBytes(3000, 43);
  ASSERT_TRUE(small.put("::/Far away.txt", data));
  ASSERT_TRUE(small.mkdir("::/DCIM"));
  ASSERT_TRUE(small.put("::/DCIM/Deeper.txt", deep));
  // The partition begins 1 MiB past 2 TiB (sector 2^32 + 2048).
  const uint64_t start = ((1ull << 32) + 2048) * 512;
  std::string big = dir.file("big.img");
  ASSERT_TRUE(sh("truncate -s " + std::to_string(start + (48 << 20)) + " " + quote(big) + " && dd if=" +
                 quote(small.path()) + " of=" + quote(big) + " bs=1M seek=" + std::to_string(start >> 20) +
                 " conv=notrunc"));
  ScannedCase scan;
  auto* reader = new ReaderFile();
  ASSERT_TRUE(reader->open(big.c_str()));
  FileCase& fileCase = scan.fileCase();
  fileCase.setReader(reader);
  // What the scanner does when it meets the boot sector and the directory.
  std::string smallBytes = readFile(small.path());
  MemoryReader boot(smallBytes.data(), 512);
  FileModule::File none;
  fileCase.registry()->findModule("BootSector")->analyzeAt(start, boot, none);
  ASSERT_EQ(1u, fileCase.volumeCount());
  EXPECT_EQ(start, fileCase.volume(0)->start());
  FatParameters p;
  ASSERT_TRUE(parseBootSector(reinterpret_cast<const uint8_t*>(smallBytes.data()), 512, p));
  for (uint64_t c = 3, dot = 0; c < p.dataClusters + 2; ++c) {
    uint64_t at = uint64_t(offsetOfCluster(p, c));
    if (isDirectoryStart(reinterpret_cast<const uint8_t*>(&smallBytes[at]), dot)) {
      fileCase.directoryMet(start + at, dot);
      break;
    }
  }
  for (const auto& file : {std::make_pair("Far away.txt", &data), std::make_pair("Deeper.txt", &deep)}) {
    const FileModule::File* f = scan.byName(file.first);
    ASSERT_NE(nullptr, f) << file.first;
    EXPECT_GT(f->offset, start);
    std::string back;
    ASSERT_TRUE(scan.readBack(*f, back));
    EXPECT_TRUE(back == *file.second) << file.first;
  }
}
