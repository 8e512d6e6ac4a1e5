// Whole images made with mkfs.vfat and mtools, scanned the way the program
// scans a card, and every found file read back through the file case.

#include <gtest/gtest.h>

#include <algorithm>

#include "fat/BootSector.h"
#include "fat/FatGeometry.h"
#include "shell/Endian.h"
#include "tests/support/FatImage.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/ScannedCase.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

void expectReadBack(ScannedCase& scan, const std::string& name, const std::string& bytes) {
  const FileModule::File* f = scan.byName(name);
  ASSERT_NE(nullptr, f) << name;
  EXPECT_EQ(bytes.size(), f->size) << name;
  std::string back;
  ASSERT_TRUE(scan.readBack(*f, back)) << name;
  EXPECT_TRUE(back == bytes) << name << ": bytes differ";
}

// "type fs<index>" and the marks of the file named `name`, or "missing".
std::string describe(ScannedCase& scan, const std::string& name) {
  const FileModule::File* f = scan.byName(name);
  if (!f) return "missing";
  std::string text = f->attributes.getString("t") + " fs" + std::to_string(f->attributes.getInt32("fs", -1));
  for (const char* mark : {"fragmented", "deleted", "raw", "crosslinked"})
    if (f->attributes.getBool(mark, false)) text += std::string(" ") + mark;
  return text;
}

bool listed(ScannedCase& scan, const std::string& name) {
  std::vector<std::string> names = scan.names();
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The first cluster of the file whose first bytes are `start`, by the
// geometry of the image's boot sector.
uint64_t clusterHolding(const std::string& image, const std::string& start) {
  FatParameters p;
  if (!parseBootSector(reinterpret_cast<const uint8_t*>(image.data()), 512, p)) return 0;
  size_t at = image.find(start);
  return at == std::string::npos ? 0 : uint64_t(clusterOfOffset(p, at));
}

}  // namespace

class FatScanByType : public ::testing::TestWithParam<int> {};

// Live and deleted files, long and short names, in the root and in a
// subdirectory, on each FAT type.
TEST_P(FatScanByType, LiveAndDeletedFilesComeBackWithTheirNames) {
  int bits = GetParam();
  TempDir dir;
  FatImage image(dir.file("card.img"), bits == 12 ? 4 : bits == 16 ? 32 : 40, bits, bits == 32 ? 1 : 4);
  ASSERT_TRUE(image.ok());
  ASSERT_TRUE(sh("convert -size 64x48 gradient:red-blue " + quote(dir.file("p.jpg")))) << "ImageMagick is needed";
  std::string photo = readFile(dir.file("p.jpg"));
  const std::pair<const char*, std::string> files[] = {
      {"::/DCIM/Summer holiday photo.jpg", photo},       {"::/Reading notes.txt", randomBytes(5000, 1)},
      {"::/KEPT.TXT", randomBytes(9000, 2)},             {"::/Deleted with long name.txt", randomBytes(3000, 3)},
      {"::/BARE.TXT", randomBytes(700, 4)},              {"::/no-extension", randomBytes(100, 5)},
      {"::/unknown.qqq", randomBytes(100, 6)}};
  ASSERT_TRUE(image.mkdir("::/DCIM"));
  for (const auto& file : files) ASSERT_TRUE(image.put(file.first, file.second)) << file.first;
  ASSERT_TRUE(image.del("::/Deleted with long name.txt"));
  ASSERT_TRUE(image.del("::/BARE.TXT"));

  ScannedCase scan(image.path());
  ASSERT_EQ(1u, scan.fileCase().volumeCount());
  expectReadBack(scan, "Summer holiday photo.jpg", photo);
  expectReadBack(scan, "Reading notes.txt", files[1].second);
  expectReadBack(scan, "KEPT.TXT", files[2].second);
  expectReadBack(scan, "Deleted with long name.txt", files[3].second);
  expectReadBack(scan, "#ARE.TXT", files[4].second);
  // Every file an intact directory names comes back, whatever its name.
  EXPECT_EQ("file fs0", describe(scan, "no-extension"));
  EXPECT_EQ("qqq fs0", describe(scan, "unknown.qqq"));
  EXPECT_EQ("jpeg fs0", describe(scan, "Summer holiday photo.jpg"));
  EXPECT_EQ("txt fs0", describe(scan, "KEPT.TXT"));
  EXPECT_EQ("txt fs0 deleted", describe(scan, "#ARE.TXT"));
}

INSTANTIATE_TEST_SUITE_P(Fat, FatScanByType, ::testing::Values(12, 16, 32));

// Behind an MBR as on SD cards; a FAT32 card whose boot sector is lost
// opens from the backup copy, and an intact one opens once.
TEST(FatScan, VolumesBehindAnMbrAndFromTheBackupBootSector) {
  TempDir dir;
  const struct {
    int bits;
    uint64_t mbrAt;
    bool loseBootSector;
  } cases[] = {{16, 8192, false}, {32, 8192, false}, {32, 8192, true}, {32, 0, true}};
  for (const auto& c : cases) {
    std::string where = std::to_string(c.bits) + "-" + std::to_string(c.mbrAt) + (c.loseBootSector ? "-lost" : "");
    FatImage image(dir.file(where + ".img"), 48, c.bits, c.bits == 32 ? 1 : 4, c.mbrAt);
    ASSERT_TRUE(image.ok()) << where;
    std::string data = randomBytes(20000, c.bits);
    ASSERT_TRUE(image.put("::/Card file.txt", data));
    if (c.loseBootSector) {
      std::string all = readFile(image.path());
      all.replace(image.offset(), 512, std::string(512, '\0'));
      writeFile(image.path(), all);
    }
    ScannedCase scan(image.path());
    ASSERT_EQ(1u, scan.fileCase().volumeCount()) << where;
    EXPECT_EQ(c.mbrAt * 512, scan.fileCase().volume(0)->start()) << where;
    expectReadBack(scan, "Card file.txt", data);
    // The offset is where the first cluster lies on the medium.
    const FileModule::File* f = scan.byName("Card file.txt");
    ASSERT_NE(nullptr, f) << where;
    EXPECT_EQ(readFile(image.path()).find(data.substr(0, 64), image.offset()), f->offset) << where;
  }
}

// FAT16 allocation takes the first free clusters: a file written after
// every other one of thirty was deleted is spread over the holes, and a
// deleted file's clusters go to the next one written.
TEST(FatScan, FragmentedFilesAndReusedClusters) {
  TempDir dir;
  FatImage image(dir.file("frag.img"), 16, 16, 4);  // 2 KiB clusters
  ASSERT_TRUE(image.ok());
  std::string files;
  for (int i = 0; i < 30; ++i) {
    writeFile(dir.file("F" + std::to_string(i) + ".BIN"), randomBytes(6144, i));
    files += " " + quote(dir.file("F" + std::to_string(i) + ".BIN"));
  }
  ASSERT_TRUE(image.mtools("mcopy", files + " ::/"));
  std::string gone;
  for (int i = 0; i < 30; i += 2) gone += " ::/F" + std::to_string(i) + ".BIN";
  ASSERT_TRUE(image.mtools("mdel", gone));
  std::string big = randomBytes(6144 * 20, 999);
  ASSERT_TRUE(image.put("::/Fragmented movie.txt", big));
  ASSERT_TRUE(image.put("::/OLD.TXT", randomBytes(3000, 1)));
  ASSERT_TRUE(image.del("::/OLD.TXT"));
  std::string newer = randomBytes(5000, 3);  // long enough to pass for OLD.TXT's chain
  ASSERT_TRUE(image.put("::/A much longer new name.txt", newer));

  ScannedCase scan(image.path());
  expectReadBack(scan, "Fragmented movie.txt", big);
  EXPECT_EQ("txt fs0 fragmented", describe(scan, "Fragmented movie.txt"));
  expectReadBack(scan, "A much longer new name.txt", newer);
  EXPECT_FALSE(listed(scan, "#LD.TXT")) << "its clusters hold another file now";
}

// A card whose directory comes first and whose photos lie beyond what the
// block cache holds: each photo is looked at when the walk reaches it, so
// the medium is read once, not once for the directory's files and again
// for the walk.
TEST(FatScan, NamedFilesAreReadWithTheWalkNotAheadOfIt) {
  TempDir dir;
  FatImage image(dir.file("card.img"), 96, 32, 1);
  ASSERT_TRUE(image.ok());
  std::string files;
  for (int i = 0; i < 70; ++i) {
    std::string name = dir.file("IMG_" + std::to_string(1000 + i) + ".JPG");
    writeFile(name, "\xFF\xD8\xFF\xE0" + randomBytes(1200000, i));
    files += " " + quote(name);
  }
  ASSERT_TRUE(image.mtools("mcopy", files + " ::/"));
  const std::string bytes = readFile(image.path());
  auto* medium = new MemoryReader(bytes.data(), bytes.size());
  ScannedCase scan(medium);  // the case owns the medium
  for (int i = 0; i < 70; ++i) EXPECT_EQ("jpeg fs0", describe(scan, "IMG_" + std::to_string(1000 + i) + ".JPG")) << i;
  EXPECT_LT(medium->bytesRead, medium->Reader::size() * 21 / 20) << "read " << (medium->bytesRead >> 20) << " MiB";
}

TEST(FatScan, AVolumeWithItsFirstFatZeroedIsReadThroughTheSecond) {
  TempDir dir;
  FatImage image(dir.file("fat2.img"), 16, 16, 1);
  ASSERT_TRUE(image.ok());
  std::string a = randomBytes(40000, 1), b = randomBytes(700, 2);
  ASSERT_TRUE(image.put("::/first.txt", a));
  ASSERT_TRUE(image.put("::/second.txt", b));
  std::string all = readFile(image.path());
  BootSectorFields f;
  ASSERT_TRUE(decodeBootSector(reinterpret_cast<const uint8_t*>(all.data()), 512, f));
  all.replace(f.reservedSectors * 512, f.fatSectors * 512, std::string(f.fatSectors * 512, '\0'));
  writeFile(image.path(), all);
  ScannedCase scan(image.path());
  expectReadBack(scan, "first.txt", a);
  expectReadBack(scan, "second.txt", b);
}

// Six levels of subdirectories, the deepest file deleted, and a FAT32 root
// of sixty long names that spans several clusters.
TEST(FatScan, DeepSubdirectoriesAndARootOfSeveralClusters) {
  TempDir dir;
  FatImage image(dir.file("deep.img"), 40, 32, 1);
  ASSERT_TRUE(image.ok());
  std::string path = "::", files;
  for (int level = 0; level < 6; ++level) {
    path += "/Level " + std::to_string(level);
    ASSERT_TRUE(image.mkdir(path));
    ASSERT_TRUE(image.put(path + "/file at level " + std::to_string(level) + ".txt", randomBytes(1000 + level * 777, level)));
  }
  ASSERT_TRUE(image.del(path + "/file at level 5.txt"));
  for (int i = 0; i < 60; ++i) {
    std::string local = dir.file("root file number " + std::to_string(i) + ".txt");
    writeFile(local, randomBytes(600 + i, 100 + i));
    files += " " + quote(local);
  }
  ASSERT_TRUE(image.mtools("mcopy", files + " ::/"));
  ScannedCase scan(image.path());
  for (int level = 0; level < 6; ++level)
    expectReadBack(scan, "file at level " + std::to_string(level) + ".txt", randomBytes(1000 + level * 777, level));
  for (int i = 0; i < 60; ++i)
    expectReadBack(scan, "root file number " + std::to_string(i) + ".txt", randomBytes(600 + i, 100 + i));
}

TEST(FatScan, CameraRawFilesNamedJpgAreTakenByTheirSize) {
  TempDir dir;
  FatImage image(dir.file("raw.img"), 32, 16, 8);
  ASSERT_TRUE(image.ok());
  ASSERT_TRUE(image.put("::/RAW.JPG", randomBytes(2465792, 1)));  // no JPEG signature at all
  ASSERT_TRUE(image.put("::/NOTRAW.JPG", randomBytes(2465793, 2)));
  ScannedCase scan(image.path());
  EXPECT_EQ("jpg fs0 raw", describe(scan, "RAW.JPG"));
  EXPECT_EQ("missing", describe(scan, "NOTRAW.JPG")) << "an ordinary JPEG must pass the first-sector test";
}

TEST(FatScan, HostileTablesAndDirectoriesNeitherHangNorCrash) {
  TempDir dir;
  FatImage image(dir.file("hostile.img"), 40, 32, 1);
  ASSERT_TRUE(image.ok());
  const std::string loop = randomBytes(5000, 1), cross = randomBytes(5000, 2), fine = randomBytes(5000, 3);
  ASSERT_TRUE(image.put("::/loop.txt", loop));
  ASSERT_TRUE(image.put("::/cross.txt", cross));
  ASSERT_TRUE(image.put("::/fine.txt", fine));
  ASSERT_TRUE(image.mkdir("::/garbage"));
  std::string all = readFile(image.path());
  FatParameters p;
  ASSERT_TRUE(parseBootSector(reinterpret_cast<const uint8_t*>(all.data()), 512, p));
  auto setFat = [&](uint64_t cluster, uint32_t value) {
    for (int copy = 0; copy < 2; ++copy) setLe32(all, p.fatLba[copy] * 512ull + cluster * 4, value);
  };
  auto fatOf = [&](uint64_t cluster) {
    return le32(reinterpret_cast<const uint8_t*>(&all[p.fatLba[0] * 512ull + cluster * 4])) & 0x0FFFFFFF;
  };
  // loop.txt's fifth cluster points back to its first; cross.txt runs into
  // fine.txt after its second cluster.
  uint64_t first = clusterHolding(all, loop.substr(0, 64)), fifth = first;
  for (int i = 0; i < 4; ++i) fifth = fatOf(fifth);
  setFat(fifth, uint32_t(first));
  setFat(clusterHolding(all, cross.substr(0, 64)) + 1, uint32_t(clusterHolding(all, fine.substr(0, 64))));
  // The garbage directory: its cluster and a chain of 32 MB after it full of
  // noise that has no end marks.
  uint64_t garbage = clusterHolding(all, std::string(".          \x10", 12));
  ASSERT_GT(garbage, 2u);
  std::string noise = randomBytes(32 << 20, 77);
  for (size_t i = 0; i < noise.size(); i += 32) noise[i] |= 0x41;
  uint64_t run = std::min<uint64_t>(noise.size() / 512, p.dataClusters + 1 - garbage);
  all.replace(uint64_t(offsetOfCluster(p, garbage)) + 64, run * 512 - 64, noise.substr(0, run * 512 - 64));
  for (uint64_t k = 0; k < run; ++k) setFat(garbage + k, k + 1 < run ? uint32_t(garbage + k + 1) : 0x0FFFFFFF);
  writeFile(image.path(), all);

  ScannedCase scan(image.path());
  ASSERT_EQ(1u, scan.fileCase().volumeCount());
  expectReadBack(scan, "fine.txt", fine);
  EXPECT_EQ("missing", describe(scan, "loop.txt")) << "cut at its repeat, it holds too little";
  // Reported as the table says, and marked with the file it runs into.
  EXPECT_EQ("txt fs0 fragmented crosslinked", describe(scan, "cross.txt"));
  EXPECT_EQ("txt fs0 crosslinked", describe(scan, "fine.txt"));
}
