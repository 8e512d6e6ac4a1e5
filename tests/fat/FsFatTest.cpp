// The volume object: cluster positions in 64 bits, the checks of init, the
// reader for found files, the modules that feed it, and a FAT32 partition
// beyond 2 TiB on a sparse image.

#include "fat/FsFat.h"

#include <gtest/gtest.h>

#include <cctype>

#include "FatFixtures.h"
#include "MemoryVolume.h"
#include "engine/PatternsFile.h"
#include "fat/BootSector.h"
#include "fat/FATDirectory.h"
#include "fat/FileModuleBootSector.h"
#include "engine/modules/FileModuleRiffLocal.h"
#include "fat/FileModuleSubdirectory.h"
#include "media/ReaderReader.h"
#include "shell/DebugLog.h"
#include "tests/support/MemoryReader.h"

using namespace fattest;

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

// FAT16 boot sector of a MemoryVolume-like layout for the module tests.
std::vector<uint8_t> bootSector(uint16_t totalSectors) {
  std::vector<uint8_t> s(512, 0);
  s[11] = 0, s[12] = 2;      // 512 bytes a sector
  s[13] = 1;                 // one sector a cluster
  s[14] = 1;                 // one reserved sector
  s[16] = 2;
  s[17] = 0, s[18] = 2;      // 512 root entries
  s[19] = uint8_t(totalSectors), s[20] = uint8_t(totalSectors >> 8);
  s[21] = 0xF8;
  s[22] = 20;                // sectors per FAT
  s[510] = 0x55, s[511] = 0xAA;
  return s;
}

}  // namespace

TEST(ClusterOffsets, RoundTripInsideTheDataArea) {
  FatParameters p = geometry(8192);
  uint64_t dataStart = (8192 + 2032) * 512ull;
  EXPECT_EQ(int64_t(dataStart), offsetOfCluster(p, 2));
  EXPECT_EQ(int64_t(dataStart + 4096 * 99999ull), offsetOfCluster(p, 100001));
  EXPECT_EQ(-1, offsetOfCluster(p, 1));
  EXPECT_EQ(-1, offsetOfCluster(p, 100002));
  EXPECT_EQ(2, clusterOfOffset(p, dataStart));
  EXPECT_EQ(100001, clusterOfOffset(p, dataStart + 4096 * 99999ull));
  EXPECT_EQ(-1, clusterOfOffset(p, dataStart - 512)) << "before the data area";
  EXPECT_EQ(-1, clusterOfOffset(p, dataStart + 512)) << "inside a cluster";
  EXPECT_EQ(-1, clusterOfOffset(p, dataStart + 4096 * 100000ull)) << "past the last cluster";
  EXPECT_EQ(-1, clusterOfOffset(p, UINT64_MAX));
}

TEST(ClusterOffsets, VolumesPast2TiBKeepEveryBit) {
  // The partition starts past sector 2^32: a 32-bit sector sum would wrap
  // and point 2 TiB too early.
  uint64_t lba = (1ull << 32) + 2048;
  FatParameters p = geometry(lba);
  uint64_t expect = (lba + 2032 + 8 * 10ull) * 512;
  EXPECT_EQ(int64_t(expect), offsetOfCluster(p, 12));
  EXPECT_EQ(12, clusterOfOffset(p, expect));
  EXPECT_GT(expect, 1ull << 41);
  // Absurd positions give "none" instead of wrapping.
  p.lba = UINT64_MAX / 512;
  EXPECT_EQ(-1, offsetOfCluster(p, 2));
  EXPECT_EQ(-1, clusterOfOffset(p, 0));
}

TEST(FsFatInit, LogsTheGeometryAndAcceptsAGoodVolume) {
  MemoryVolume vol(16, 5000);
  vol.set(0, 0xFFF8);
  vol.set(1, 0xFFFF);
  FsFat fs(volumeContext(&vol.medium, nullptr, 3));
  DebugLogCapture log;
  ASSERT_TRUE(fs.init(vol.p));
  EXPECT_EQ(3, fs.index());
  EXPECT_NE(std::string::npos,
            log.text().find("FsFat(67): lba: 0\n  fatLba: 1 21\n  rootDirectoryAddress: 41 (0)\n"
                            "  dataClusterLba: 73\n  dataClusters: 5000\n  sectorsPerCluster: 1\n"));
}

TEST(FsFatInit, RefusesVolumesTheMediumCannotHold) {
  MemoryVolume vol(16, 5000);
  vol.set(0, 0xFFF8);
  vol.set(1, 0xFFFF);
  FatParameters p = vol.p;
  p.dataClusters += 1;  // one cluster past the end of the medium
  FsFat fs(volumeContext(&vol.medium, nullptr, 0));
  DebugLogCapture log;
  EXPECT_FALSE(fs.init(p));
  EXPECT_NE(std::string::npos, log.text().find("FsFat(72)"));
  p = vol.p;
  p.lba = UINT64_MAX / 256;
  EXPECT_FALSE(fs.init(p)) << "a start that would wrap";
  p = vol.p;
  p.fatLba[1] = p.fatLba[0];
  EXPECT_FALSE(fs.init(p));
  EXPECT_NE(std::string::npos, log.text().find("FsFat(88)"));
  p = vol.p;
  p.dataClusterLba = p.fatLba[1] + 1;  // second FAT overlaps the data area
  EXPECT_FALSE(fs.init(p));
}

TEST(FsFatInit, PicksTheFatThatLooksLikeOne) {
  MemoryVolume vol(16, 5000);
  vol.set(0, 0xFFF8, 1);
  vol.set(1, 0xFFFF, 1);
  vol.set(5, 6, 1);
  vol.set(6, 0xFFFF, 1);
  vol.set(5, 0x1234, 0);  // the first FAT is damaged
  FsFat fs(volumeContext(&vol.medium, nullptr, 0));
  ASSERT_TRUE(fs.init(vol.p));
  ASSERT_NE(nullptr, fs.readerFor(uint64_t(offsetOfCluster(vol.p, 5)), 1024));
  EXPECT_EQ((std::vector<uint64_t>{5, 6}), fs.chain().clusters());

  MemoryVolume none(16, 5000);
  FsFat nofat(volumeContext(&none.medium, nullptr, 0));
  DebugLogCapture log;
  EXPECT_FALSE(nofat.init(none.p));
  EXPECT_NE(std::string::npos, log.text().find("FsFat(106)"));
}

TEST(FsFatReaderFor, AimsAtTheClusterAndCutsToTheFileSize) {
  MemoryVolume vol(16, 5000);
  vol.set(0, 0xFFF8);
  vol.set(1, 0xFFFF);
  vol.chain({7, 8});
  vol.stamp(7);
  vol.stamp(8);
  FsFat fs(volumeContext(&vol.medium, nullptr, 0));
  ASSERT_TRUE(fs.init(vol.p));
  Reader* r = fs.readerFor(uint64_t(offsetOfCluster(vol.p, 7)), 700);
  ASSERT_EQ(static_cast<const Reader*>(&fs.chain()), r);
  EXPECT_EQ(700u, r->size());
  uint8_t b[2];
  ASSERT_TRUE(r->read(511, b, 2));
  EXPECT_EQ(7, b[0]);
  EXPECT_EQ(8, b[1]);
  DebugLogCapture log;
  EXPECT_EQ(nullptr, fs.readerFor(uint64_t(offsetOfCluster(vol.p, 7)) + 1, 700));
  EXPECT_NE(std::string::npos, log.text().find("FsFat(163)"));
  // An empty file has no first cluster (its offset is all ones) and still
  // reads back as empty.
  r = fs.readerFor(UINT64_MAX, 0);
  ASSERT_NE(nullptr, r);
  EXPECT_EQ(0u, r->size());
}

TEST(FileSystemModules, BootSectorsOpenVolumesOnlyAtSectorBoundaries) {
  TempDir dir;
  ConfigRecord config = programConfig();
  FileCase fileCase(config, allFileSystems());
  // Volume of 5000 + 73 sectors with both FATs marked.
  std::vector<uint8_t> image((1 + 2 * 20 + 32 + 5000) * 512 + 1024, 0);
  std::vector<uint8_t> boot = bootSector(1 + 40 + 32 + 5000);
  std::copy(boot.begin(), boot.end(), image.begin() + 512);
  for (uint64_t fat : {2, 22}) {
    const uint8_t start[4] = {0xF8, 0xFF, 0xFF, 0xFF};
    std::copy(start, start + 4, image.begin() + fat * 512);
  }
  fileCase.setReader(new MemoryReader(image));
  FileModule* module = fileCase.registry()->findModule("BootSector");
  ASSERT_NE(nullptr, module);
  EXPECT_TRUE(module->scan(boot.data(), 512));
  FileModule::File file;
  MemoryReader plain(boot);
  EXPECT_FALSE(module->analyzeAt(100, plain, file));
  EXPECT_EQ(0u, fileCase.volumeCount()) << "not a sector boundary";
  EXPECT_FALSE(module->analyze(plain, file));
  EXPECT_EQ(0u, fileCase.volumeCount()) << "no position on the medium";
  EXPECT_FALSE(module->analyzeAt(512, plain, file));
  ASSERT_EQ(1u, fileCase.volumeCount());
  EXPECT_EQ(512u, fileCase.volume(0)->start());
}

TEST(FileSystemModules, SubdirectoriesOfNoKnownVolumeAreIgnored) {
  ConfigRecord config = programConfig();
  FileCase fileCase(config, allFileSystems());
  std::vector<uint8_t> dirSector;
  append(dirSector, shortEntry(".          ", 0x10, 9, 0));
  append(dirSector, shortEntry("..         ", 0x10, 0, 0));
  append(dirSector, shortEntry("A       TXT", 0x20, 10, 5));
  dirSector.resize(512);
  fileCase.setReader(new MemoryReader(dirSector));
  FileModule* module = fileCase.registry()->findModule("Subdirectory");
  ASSERT_NE(nullptr, module);
  EXPECT_TRUE(module->scan(dirSector.data(), 512));
  EXPECT_FALSE(module->scan(dirSector.data() + 32, 480));
  ReaderReader window(fileCase.reader());
  ASSERT_TRUE(window.setWindow(0, 512));
  FileModule::File file;
  EXPECT_FALSE(module->analyzeAt(0, window, file));
  EXPECT_TRUE(fileCase.order().empty());
}

TEST(FileSystemModules, RiffFormsAndSizes) {
  FileModuleRiffLocal local;
  std::string avi = std::string("RIFF") + std::string("\x10\0\0\0", 4) + "AVI LIST";
  std::string rmid = std::string("RIFF") + std::string("\x10\0\0\0", 4) + "RMIDdata";
  EXPECT_TRUE(local.scan(reinterpret_cast<const uint8_t*>(avi.data()), 12));
  EXPECT_FALSE(local.scan(reinterpret_cast<const uint8_t*>(rmid.data()), 12));
  EXPECT_TRUE(FileModuleRiff().scan(reinterpret_cast<const uint8_t*>(rmid.data()), 12));

  // 0x10 + 8 bytes of RIFF, then a JUNK chunk of 8 + 4 bytes.
  std::string bytes = avi + std::string(8, 'x') + "JUNK" + std::string("\x04\0\0\0", 4) + "pad!" + "tail";
  MemoryReader reader(bytes.data(), bytes.size());
  FileModule::File file;
  ASSERT_TRUE(local.analyze(reader, file));
  EXPECT_EQ(24u + 12, file.size);
  EXPECT_EQ("avi", file.attributes.getString("t"));
  // The chunk may not claim more than the reader holds.
  std::string huge = std::string("RIFF") + std::string("\xF0\xFF\xFF\xFF", 4) + "WAVE";
  MemoryReader small(huge.data(), huge.size());
  EXPECT_FALSE(local.analyze(small, file));
}

TEST(FileSystemPatterns, EveryTypeIsALowerCaseExtensionAndJpgIsThere) {
  ConfigRecord config = programConfig();
  FileCase fileCase(config, allFileSystems());
  const PatternMap& map = fileCase.fileSystemPatterns();
  ASSERT_TRUE(map.count("jpg"));
  EXPECT_NE(nullptr, map.at("jpg").analyzeModule());
  for (const auto& entry : map) {
    if (entry.first == "*") continue;  // the catch-all record
    for (char c : entry.first) EXPECT_TRUE(islower(uint8_t(c)) || isdigit(uint8_t(c))) << entry.first;
  }
  for (const char* type : {"jpeg", "tif", "cr2", "nef", "png", "avi", "wav", "mp3", "mov", "zip", "doc"})
    EXPECT_TRUE(map.count(type)) << type;
}

TEST(FsFatLargeDisk, AFat32PartitionPastSector2To32IsReadInPlace) {
  TempDir dir;
  FatImage small(dir, "small.img", 40, 32, 1);
  ASSERT_TRUE(small.ok());
  std::vector<uint8_t> data = pattern(70000, 42), deep = pattern(3000, 43);
  ASSERT_TRUE(small.put("::/Far away.txt", data));
  ASSERT_TRUE(small.mkdir("::/DCIM"));
  ASSERT_TRUE(small.put("::/DCIM/Deeper.txt", deep));
  // The partition begins 1 MiB past 2 TiB (sector 2^32 + 2048).
  const uint64_t lba = (1ull << 32) + 2048;
  std::string big = dir.file("big.img");
  ASSERT_TRUE(sh("truncate -s " + std::to_string(lba * 512 + 48ull * 1024 * 1024) + " " + quote(big)));
  ASSERT_TRUE(sh("dd if=" + quote(small.path()) + " of=" + quote(big) + " bs=1M seek=" +
                 std::to_string(lba * 512 / (1024 * 1024)) + " conv=notrunc"));

  ConfigRecord config = programConfig();
  FileCase fileCase(config, allFileSystems());
  auto* reader = new ReaderFile();
  ASSERT_TRUE(reader->open(big.c_str()));
  fileCase.setReader(reader);
  // What the scanner does when it reaches the boot sector.
  ReaderReader window(fileCase.reader());
  ASSERT_TRUE(window.setWindow(lba * 512, 512));
  FileModule::File none;
  fileCase.registry()->findModule("BootSector")->analyzeAt(lba * 512, window, none);
  ASSERT_EQ(1u, fileCase.volumeCount());
  EXPECT_EQ(lba * 512, fileCase.volume(0)->start());

  // The subdirectory, found where the scanner would meet it.
  std::vector<uint8_t> smallBytes = readFile(small.path());
  FatParameters p;
  ASSERT_TRUE(parseBootSector(smallBytes.data(), 512, p));
  for (uint64_t c = 3; c < p.dataClusters + 2; ++c) {
    uint64_t at = (p.dataClusterLba + (c - 2) * p.sectorsPerCluster) * 512ull;
    uint64_t dot = 0;
    if (isDirectoryStart(&smallBytes[at], dot)) {
      fileCase.directoryMet(lba * 512 + at, dot);
      break;
    }
  }
  const FileModule::File* far = nullptr;
  const FileModule::File* deeper = nullptr;
  for (const auto& key : fileCase.order()) {
    const FileModule::File* f = fileCase.findFile(key);
    if (f->attributes.getString("fn") == "Far away.txt") far = f;
    if (f->attributes.getString("fn") == "Deeper.txt") deeper = f;
  }
  ASSERT_NE(nullptr, far);
  ASSERT_NE(nullptr, deeper);
  EXPECT_GT(far->offset, lba * 512);
  EXPECT_LT(far->offset, lba * 512 + 40ull * 1024 * 1024);
  for (const auto& pair : {std::make_pair(far, &data), std::make_pair(deeper, &deep)}) {
    Reader* r = fileCase.readerFor(*pair.first);
    ASSERT_NE(nullptr, r);
    std::vector<uint8_t> back(pair.first->size);
    ASSERT_TRUE(r->read(0, back.data(), back.size()));
    EXPECT_TRUE(back == *pair.second);
  }
}

TEST(FsFatScanRoot, AFat32RootIsReadNoFurtherThanTheDirectoryLimit) {
  MemoryVolume vol(32, 66000);
  vol.set(0, 0x0FFFFFF8);
  vol.set(1, 0x0FFFFFFF);
  for (uint32_t c = 2; c < 66001; ++c) vol.set(c, c + 1);  // one chain over the whole volume
  vol.set(66001, 0x0FFFFFFF);
  // Valid entries all the way, so only the limit ends the directory.
  std::vector<uint8_t> entry = shortEntry("NOTE    QQQ", 0x20, 0, 0);
  for (uint64_t at = vol.clusterOffset(2); at + 32 <= vol.medium.bytes().size(); at += 32)
    std::copy(entry.begin(), entry.end(), vol.medium.bytes().begin() + at);
  PatternMap none;
  FsFat fs(volumeContext(&vol.medium, &none, 0));
  ASSERT_TRUE(fs.init(vol.p));
  fs.scanRoot();
  EXPECT_EQ(kFatDirectoryLimit / 512, fs.chain().clusters().size());
}
