// Whole images made with mkfs.vfat and mtools, scanned the way the program
// scans a card: the file case with the program's pattern files, runScan,
// and every found file read back through FileCase::readerFor.  Sleuthkit's
// fls and icat are the independent reader where names or bytes are compared.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "FatFixtures.h"
#include "fat/BootSector.h"
#include "fat/FsFat.h"
#include "shell/DebugLog.h"

using namespace fattest;

namespace {

// A JPEG made by ImageMagick; empty when convert is missing.
std::vector<uint8_t> makeJpeg(const TempDir& dir, const std::string& args, const std::string& name) {
  if (!sh("convert " + args + " " + quote(dir.file(name)))) return {};
  return readFile(dir.file(name));
}

void expectReadBack(ScannedImage& scan, const std::string& name, const std::vector<uint8_t>& bytes) {
  const FileModule::File* f = scan.byName(name);
  ASSERT_NE(nullptr, f) << name;
  EXPECT_EQ(bytes.size(), f->size) << name;
  std::vector<uint8_t> back;
  ASSERT_TRUE(scan.readBack(*f, back)) << name;
  EXPECT_TRUE(back == bytes) << name << ": bytes differ";
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

class FatScanByType : public ::testing::TestWithParam<int> {};

// Live and deleted files, long and short names, in the root and in a
// subdirectory, on each FAT type.
TEST_P(FatScanByType, LiveAndDeletedFilesComeBackWithTheirNames) {
  int bits = GetParam();
  TempDir dir;
  FatImage image(dir, "card.img", bits == 12 ? 4 : bits == 16 ? 32 : 40, bits, bits == 32 ? 1 : 4);
  ASSERT_TRUE(image.ok());
  std::vector<uint8_t> photo = makeJpeg(dir, "-size 64x48 gradient:red-blue", "p.jpg");
  ASSERT_FALSE(photo.empty()) << "ImageMagick is needed";
  std::vector<uint8_t> notes = pattern(5000, 1), kept = pattern(9000, 2), gone = pattern(3000, 3),
                       bare = pattern(700, 4);
  ASSERT_TRUE(image.mkdir("::/DCIM"));
  ASSERT_TRUE(image.put("::/DCIM/Summer holiday photo.jpg", photo, "2024-07-01 09:00:00"));
  ASSERT_TRUE(image.put("::/Reading notes.txt", notes, "2026-01-02 03:04:05"));
  ASSERT_TRUE(image.put("::/KEPT.TXT", kept, "2025-02-03 04:05:06"));
  ASSERT_TRUE(image.put("::/Deleted with long name.txt", gone, "2025-05-05 05:05:05"));
  ASSERT_TRUE(image.put("::/BARE.TXT", bare, "2024-12-24 18:00:00"));
  std::vector<uint8_t> bareName = pattern(100, 5), unknown = pattern(100, 6);
  ASSERT_TRUE(image.put("::/no-extension", bareName));
  ASSERT_TRUE(image.put("::/unknown.qqq", unknown));
  ASSERT_TRUE(image.del("::/Deleted with long name.txt"));
  ASSERT_TRUE(image.del("::/BARE.TXT"));

  ScannedImage scan(image.path());
  ASSERT_TRUE(scan.opened);
  ASSERT_EQ(1u, scan.fileCase.volumeCount());
  std::vector<std::string> names = scan.names();
  expectReadBack(scan, "Summer holiday photo.jpg", photo);
  expectReadBack(scan, "Reading notes.txt", notes);
  expectReadBack(scan, "KEPT.TXT", kept);
  expectReadBack(scan, "Deleted with long name.txt", gone);
  expectReadBack(scan, "#ARE.TXT", bare);
  // Whatever their extension, named files come back, typed by it.
  expectReadBack(scan, "no-extension", bareName);
  expectReadBack(scan, "unknown.qqq", unknown);
  EXPECT_EQ("file", scan.byName("no-extension")->attributes.getString("t"));
  EXPECT_EQ("qqq", scan.byName("unknown.qqq")->attributes.getString("t"));

  const FileModule::File* jpg = scan.byName("Summer holiday photo.jpg");
  EXPECT_EQ("jpeg", jpg->attributes.getString("t"));
  EXPECT_EQ(0, jpg->attributes.getInt32("fs", -1));
  EXPECT_FALSE(jpg->attributes.getBool("fragmented", true));
  EXPECT_EQ("txt", scan.byName("KEPT.TXT")->attributes.getString("t"));

  // The same names as an independent reader lists (live ones; sleuthkit
  // spells deleted short names with '_').
  std::string fls = shOutput("fls -r -p " + quote(image.path()));
  for (const char* n : {"DCIM/Summer holiday photo.jpg", "Reading notes.txt", "KEPT.TXT"})
    EXPECT_NE(std::string::npos, fls.find(n)) << n;
}

INSTANTIATE_TEST_SUITE_P(Fat, FatScanByType, ::testing::Values(12, 16, 32));

TEST(FatScan, VolumesBehindAnMbrAsOnSdCards) {
  TempDir dir;
  for (int bits : {16, 32}) {
    FatImage image(dir, "sd" + std::to_string(bits) + ".img", 48, bits, bits == 32 ? 1 : 4, 8192);
    ASSERT_TRUE(image.ok()) << bits;
    std::vector<uint8_t> data = pattern(20000, 10 + bits);
    ASSERT_TRUE(image.put("::/Card file.txt", data, "2025-08-08 08:08:08"));
    ScannedImage scan(image.path());
    ASSERT_EQ(1u, scan.fileCase.volumeCount()) << bits;
    EXPECT_EQ(8192u, scan.fileCase.volume(0)->start() / 512);
    expectReadBack(scan, "Card file.txt", data);
    const FileModule::File* f = scan.byName("Card file.txt");
    ASSERT_NE(nullptr, f);
    // The offset is where the first cluster lies on the medium: icat reads
    // the same bytes from the partition.
    std::vector<uint8_t> all = readFile(image.path());
    ASSERT_GE(all.size(), f->offset + 16);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 16, all.begin() + f->offset));
  }
}

TEST(FatScan, AFragmentedLiveFileIsReadByteExactAlongItsChain) {
  TempDir dir;
  FatImage image(dir, "frag.img", 16, 16, 4);  // 2 KiB clusters
  ASSERT_TRUE(image.ok());
  // Write 30 files of three clusters, free every other one, then write a
  // file larger than the gaps: FAT16 allocation takes the first free
  // clusters, so it is spread over them.
  std::string files;
  for (int i = 0; i < 30; ++i) {
    std::string local = dir.file("F" + std::to_string(i) + ".BIN");
    writeFile(local, pattern(6144, i));
    files += " " + quote(local);
  }
  ASSERT_TRUE(sh("mcopy -i " + image.drive() + files + " ::/"));
  std::string gone;
  for (int i = 0; i < 30; i += 2) gone += " ::/F" + std::to_string(i) + ".BIN";
  ASSERT_TRUE(sh("mdel -i " + image.drive() + gone));
  std::vector<uint8_t> big = pattern(6144 * 20, 999);
  ASSERT_TRUE(image.put("::/Fragmented movie.txt", big));

  ScannedImage scan(image.path());
  const FileModule::File* f = scan.byName("Fragmented movie.txt");
  ASSERT_NE(nullptr, f);
  EXPECT_TRUE(f->attributes.getBool("fragmented", false));
  std::string key = FileCase::keyOf(*f);
  EXPECT_EQ('f', key.back());
  ASSERT_NE(nullptr, scan.fileCase.findFile(key));
  expectReadBack(scan, "Fragmented movie.txt", big);
  // Sleuthkit agrees byte for byte.
  std::string inodes = shOutput("fls " + quote(image.path()) + " | grep 'Fragmented movie.txt' | sed 's/.* \\([0-9]*\\):.*/\\1/'");
  inodes.erase(inodes.find_last_not_of("\n ") + 1);
  ASSERT_FALSE(inodes.empty());
  std::string icat = shOutput("icat " + quote(image.path()) + " " + inodes);
  EXPECT_TRUE(std::vector<uint8_t>(icat.begin(), icat.end()) == big);
}

TEST(FatScan, DeletedFilesWhoseClustersWereReusedAreNotReported) {
  TempDir dir;
  FatImage image(dir, "reuse.img", 16, 16, 4);
  ASSERT_TRUE(image.ok());
  ASSERT_TRUE(image.put("::/OLD.TXT", pattern(5000, 1)));  // three clusters
  ASSERT_TRUE(image.put("::/keep.txt", pattern(100, 2)));
  ASSERT_TRUE(image.del("::/OLD.TXT"));
  // FAT16 allocation starts over at the first free cluster: OLD's clusters.
  std::vector<uint8_t> newer = pattern(3000, 3);
  ASSERT_TRUE(image.put("::/A much longer new name.txt", newer));
  ScannedImage scan(image.path());
  expectReadBack(scan, "A much longer new name.txt", newer);
  EXPECT_FALSE(contains(scan.names(), "#LD.TXT"));
}

TEST(FatScan, AVolumeWithItsFirstFatZeroedIsReadThroughTheSecond) {
  TempDir dir;
  FatImage image(dir, "fat2.img", 16, 16, 1);
  ASSERT_TRUE(image.ok());
  std::vector<uint8_t> a = pattern(40000, 1), b = pattern(700, 2);
  ASSERT_TRUE(image.put("::/first.txt", a));
  ASSERT_TRUE(image.put("::/second.txt", b));
  // Zero the first FAT (reserved sectors .. reserved + sectors per FAT).
  std::vector<uint8_t> all = readFile(image.path());
  uint16_t reserved = uint16_t(all[14] | (all[15] << 8));
  uint16_t perFat = uint16_t(all[22] | (all[23] << 8));
  std::fill(all.begin() + reserved * 512, all.begin() + (reserved + perFat) * 512, 0);
  writeFile(image.path(), all);
  ScannedImage scan(image.path());
  ASSERT_EQ(1u, scan.fileCase.volumeCount());
  expectReadBack(scan, "first.txt", a);
  expectReadBack(scan, "second.txt", b);
  ASSERT_NE(nullptr, scan.byName("first.txt"));
  EXPECT_FALSE(scan.byName("first.txt")->attributes.getBool("fragmented", true));
}

TEST(FatScan, SubdirectoriesSeveralLevelsDeep) {
  TempDir dir;
  FatImage image(dir, "deep.img", 40, 32, 1);
  ASSERT_TRUE(image.ok());
  std::string path = "::";
  std::vector<std::vector<uint8_t>> contents;
  for (int level = 0; level < 6; ++level) {
    path += "/Level " + std::to_string(level);
    ASSERT_TRUE(image.mkdir(path));
    contents.push_back(pattern(1000 + level * 777, level));
    ASSERT_TRUE(image.put(path + "/file at level " + std::to_string(level) + ".txt", contents.back()));
  }
  ASSERT_TRUE(image.del(path + "/file at level 5.txt"));  // deleted, deepest
  ScannedImage scan(image.path());
  for (int level = 0; level < 6; ++level)
    expectReadBack(scan, "file at level " + std::to_string(level) + ".txt", contents[level]);
}

TEST(FatScan, AFat32RootDirectorySpanningSeveralClusters) {
  TempDir dir;
  FatImage image(dir, "root32.img", 40, 32, 1);  // 16 entries a cluster
  ASSERT_TRUE(image.ok());
  // Long names take three entries each: 60 files need about 12 clusters.
  std::string files;
  for (int i = 0; i < 60; ++i) {
    std::string local = dir.file("root file number " + std::to_string(i) + ".txt");
    writeFile(local, pattern(600 + i, 100 + i));
    files += " " + quote(local);
  }
  ASSERT_TRUE(sh("mcopy -i " + image.drive() + files + " ::/"));
  ScannedImage scan(image.path());
  for (int i = 0; i < 60; ++i) expectReadBack(scan, "root file number " + std::to_string(i) + ".txt", pattern(600 + i, 100 + i));
}

TEST(FatScan, CameraRawFilesNamedJpg) {
  TempDir dir;
  FatImage image(dir, "raw.img", 32, 16, 8);
  ASSERT_TRUE(image.ok());
  std::vector<uint8_t> raw = pattern(2465792, 1);  // no JPEG signature at all
  std::vector<uint8_t> longer = pattern(2465793, 2);
  ASSERT_TRUE(image.put("::/RAW.JPG", raw));
  ASSERT_TRUE(image.put("::/NOTRAW.JPG", longer));
  ScannedImage scan(image.path());
  const FileModule::File* f = scan.byName("RAW.JPG");
  ASSERT_NE(nullptr, f);
  EXPECT_EQ("jpg", f->attributes.getString("t"));
  EXPECT_TRUE(f->attributes.getBool("raw", false));
  // One byte more is an ordinary JPEG, which must pass the first-sector test.
  EXPECT_EQ(nullptr, scan.byName("NOTRAW.JPG"));
}

TEST(FatScan, HostileTablesAndDirectoriesNeitherHangNorCrash) {
  TempDir dir;
  FatImage image(dir, "hostile.img", 40, 32, 1);
  ASSERT_TRUE(image.ok());
  ASSERT_TRUE(image.put("::/loop.txt", pattern(5000, 1)));
  ASSERT_TRUE(image.put("::/cross.txt", pattern(5000, 2)));
  ASSERT_TRUE(image.put("::/fine.txt", pattern(5000, 3)));
  ASSERT_TRUE(image.mkdir("::/garbage"));
  std::vector<uint8_t> all = readFile(image.path());
  FatParameters p;
  ASSERT_TRUE(parseBootSector(all.data(), 512, p));
  auto entryAt = [&](uint64_t cluster) { return &all[(p.fatLba[0]) * 512 + cluster * 4]; };
  auto fatOf = [&](uint64_t cluster) {
    const uint8_t* e = entryAt(cluster);
    return uint32_t(e[0] | (e[1] << 8) | (e[2] << 16) | (e[3] << 24)) & 0x0FFFFFFF;
  };
  auto setFat = [&](uint64_t cluster, uint32_t v) {
    for (int copy = 0; copy < 2; ++copy) {
      uint8_t* e = &all[(p.fatLba[copy]) * 512 + cluster * 4];
      for (int i = 0; i < 4; ++i) e[i] = uint8_t(v >> (8 * i));
    }
  };
  // The root's files in order: find their first clusters through sleuthkit.
  ScannedImage before(image.path());
  for (const char* n : {"loop.txt", "cross.txt", "fine.txt"}) ASSERT_NE(nullptr, before.byName(n)) << n;
  uint64_t loop = clusterOfOffset(static_cast<FsFat*>(before.fileCase.volume(0))->parameters(), before.byName("loop.txt")->offset);
  uint64_t cross = clusterOfOffset(static_cast<FsFat*>(before.fileCase.volume(0))->parameters(), before.byName("cross.txt")->offset);
  uint64_t fine = clusterOfOffset(static_cast<FsFat*>(before.fileCase.volume(0))->parameters(), before.byName("fine.txt")->offset);
  // loop.txt's fifth cluster points back to its first; cross.txt runs into
  // fine.txt after its second cluster.
  uint64_t c = loop;
  for (int i = 0; i < 4; ++i) c = fatOf(c);
  setFat(c, uint32_t(loop));
  setFat(cross + 1, uint32_t(fine));
  // The garbage directory: its cluster is filled with non-zero noise, and
  // its chain runs on through 32 MB of noise.
  int64_t gdir = -1;
  {
    std::string fls = shOutput("fls " + quote(image.path()) + " | grep garbage | sed 's/.* \\([0-9]*\\):.*/\\1/'");
    ASSERT_FALSE(fls.empty());
  }
  uint64_t dataStart = (p.dataClusterLba) * 512ull;
  for (uint64_t k = 2; k < p.dataClusters + 2 && gdir < 0; ++k) {
    const uint8_t* s = &all[dataStart + (k - 2) * 512];
    uint64_t dot = 0;
    if (memcmp(s, ".          ", 11) == 0 && memcmp(s + 32, "..         ", 11) == 0 &&
        (dot = (uint64_t(s[20] | (s[21] << 8)) << 16) + (s[26] | (s[27] << 8))) == k)
      gdir = int64_t(k);
  }
  ASSERT_GT(gdir, 0);
  std::vector<uint8_t> noise = pattern(32 * 1024 * 1024, 77);
  for (size_t i = 0; i < noise.size(); i += 32) noise[i] |= 0x41;
  uint64_t run = std::min<uint64_t>(noise.size() / 512, p.dataClusters + 1 - gdir);
  for (uint64_t k = 0; k < run; ++k) {
    uint64_t at = dataStart + (gdir - 2 + k) * 512;
    memcpy(&all[at + (k == 0 ? 64 : 0)], &noise[k * 512], k == 0 ? 448 : 512);
    setFat(gdir + k, k + 1 < run ? uint32_t(gdir + k + 1) : 0x0FFFFFFF);
  }
  writeFile(image.path(), all);

  DebugLogCapture log;
  ScannedImage scan(image.path());
  ASSERT_EQ(1u, scan.fileCase.volumeCount());
  // The garbage directory was met and given up after its error budget.
  EXPECT_NE(std::string::npos, log.text().find("FATDirectoryClass("));
  expectReadBack(scan, "fine.txt", pattern(5000, 3));
  // The looping chain is cut at its repeat and holds too little: not reported.
  EXPECT_EQ(nullptr, scan.byName("loop.txt"));
  // The cross-linked file runs on into fine.txt's clusters: reported as the
  // table says, fragmented.
  const FileModule::File* x = scan.byName("cross.txt");
  ASSERT_NE(nullptr, x);
  EXPECT_TRUE(x->attributes.getBool("fragmented", false));
}

TEST(FatScan, AFat32VolumeWhoseBootSectorIsLostOpensFromItsBackup) {
  TempDir dir;
  for (uint64_t mbrAt : {uint64_t(0), uint64_t(8192)}) {
    FatImage image(dir, "backup" + std::to_string(mbrAt) + ".img", 48, 32, 1, mbrAt);
    ASSERT_TRUE(image.ok());
    std::vector<uint8_t> data = pattern(3000, 1);
    ASSERT_TRUE(image.put("::/After the format.txt", data));
    {
      // The intact card: the backup at sector 6 opens no second volume.
      ScannedImage scan(image.path());
      EXPECT_EQ(1u, scan.fileCase.volumeCount()) << mbrAt;
    }
    std::vector<uint8_t> all = readFile(image.path());
    std::fill(all.begin() + mbrAt * 512, all.begin() + mbrAt * 512 + 512, 0);
    writeFile(image.path(), all);
    ScannedImage scan(image.path());
    ASSERT_EQ(1u, scan.fileCase.volumeCount()) << mbrAt;
    EXPECT_EQ(mbrAt, scan.fileCase.volume(0)->start() / 512);
    expectReadBack(scan, "After the format.txt", data);
  }
}
