// The volume a card held before its last format: the geometry two
// unclaimed directory clusters agree on, and the files of its directories,
// each reported only when its format confirms the one run it is read as.

#include <gtest/gtest.h>

#include "FatFixtures.h"
#include "engine/FileModuleRegistry.h"
#include "fat/FsFatFormer.h"
#include "tests/support/ClusterImage.h"
#include "tests/support/TempDir.h"

using namespace fattest;

TEST(FormerVolume, TwoDirectoriesFixTheGeometryOnlyWhenTheyAgreeOnAPlausibleOne) {
  struct Case {
    const char* name;
    std::vector<UnclaimedDirectory> met;
    bool found;
    uint64_t dataStart, clusterBytes;
  } cases[] = {
      {"32 KiB apart, next clusters", {{0x20000, 5}, {0x28000, 6}}, true, 0x20000 - 3 * 0x8000, 0x8000},
      {"newest first on the medium", {{0x28000, 6}, {0x20000, 5}}, true, 0x20000 - 3 * 0x8000, 0x8000},
      {"the newest pairs with an agreeing earlier one", {{0x9000, 40}, {0x20000, 5}, {0x48000, 10}}, true,
       0x20000 - 3 * 0x8000, 0x8000},
      {"numbers against the order on the medium", {{0x20000, 6}, {0x28000, 5}}, false, 0, 0},
      {"not a power of two", {{0x20000, 5}, {0x26000, 6}}, false, 0, 0},
      {"clusters above 64 KiB", {{0x20000, 5}, {0x40000, 6}}, false, 0, 0},
      {"the same cluster twice", {{0x20000, 5}, {0x28000, 5}}, false, 0, 0},
      {"a data start before the medium", {{0x1000, 9}, {0x2000, 10}}, false, 0, 0},
      {"one directory alone", {{0x20000, 5}}, false, 0, 0},
  };
  for (const Case& c : cases) {
    uint64_t dataStart = 0, clusterBytes = 0;
    EXPECT_EQ(c.found, formerFatGeometry(c.met, dataStart, clusterBytes)) << c.name;
    if (!c.found) continue;
    EXPECT_EQ(c.dataStart, dataStart) << c.name;
    EXPECT_EQ(c.clusterBytes, clusterBytes) << c.name;
  }
}

TEST(FormerVolume, ReportsTheFilesItsFormatConfirmsAndClaimsItsOwnDirectories) {
  mzktest::TempDir dir;
  const std::string photo = mzktest::photo(dir.path(), "-seed 3 -size 160x120 plasma:fractal", "p.jpg");
  ASSERT_FALSE(photo.empty());
  const uint64_t cluster = 4096, dataStart = 8192;
  auto at = [&](uint64_t c) { return dataStart + (c - 2) * cluster; };
  std::string medium(at(40), '\0');
  std::string directory = shortEntry(".          ", 0x10, 5, 0) + shortEntry("..         ", 0x10, 0, 0) +
                          shortEntry("IMG_0001JPG", 0x20, 7, uint32_t(photo.size())) +
                          shortEntry("LONGER  JPG", 0x20, 7, uint32_t(photo.size() + 1)) +
                          shortEntry("OUTSIDE JPG", 0x20, 40, uint32_t(photo.size()));
  medium.replace(at(5), directory.size(), directory);
  medium.replace(at(7), photo.size(), photo);
  MemoryReader reader(medium.data(), medium.size());
  FileModuleRegistry registry;
  Pattern jpg;
  jpg.setType("jpg");
  const uint8_t soi[] = {0xFF, 0xD8, 0xFF};
  jpg.setPattern(0, soi, 3);
  jpg.setAnalyzeModule(registry.findModule("jpeg"));
  PatternMap patterns{{"jpg", jpg}};
  struct : Scanner::Callback {
    std::vector<FileModule::File> files;
    void found(const FileModule::File& f) override { files.push_back(f); }
  } found;
  FsFatFormer volume(volumeContext(&reader, &patterns, &found, 3), dataStart, cluster, {{at(5), 5}});
  ASSERT_TRUE(volume.init());
  volume.scanRoot();
  // The entry that claims a byte more than the photo holds is not confirmed;
  // the one whose run leaves the medium is not read.
  ASSERT_EQ(1u, found.files.size());
  const FileModule::File& file = found.files[0];
  EXPECT_EQ(at(7), file.offset);
  EXPECT_EQ(photo.size(), file.size);
  EXPECT_EQ("IMG_0001.JPG", file.attributes.getString("fn"));
  EXPECT_EQ(3, file.attributes.getInt32("fs", -1));
  Reader* back = volume.readerFor(file.offset, file.size);
  ASSERT_NE(nullptr, back);
  std::string bytes(photo.size(), '\0');
  ASSERT_TRUE(back->read(0, &bytes[0], bytes.size()));
  EXPECT_TRUE(bytes == photo);
  // Its own directory clusters are claimed, once; others are not.
  EXPECT_TRUE(volume.scanDirectoryAt(at(5), 5));
  EXPECT_EQ(1u, found.files.size());
  EXPECT_FALSE(volume.scanDirectoryAt(at(5) + 512, 5));
  EXPECT_FALSE(volume.scanDirectoryAt(at(6), Volume::kUnknownCluster));
}
