// Boot sectors: the decoded geometry, each hostile field refused with its
// reason, sums that would wrap in 32 bits caught, the FAT type by the
// cluster count, and real boot sectors from mkfs.vfat.

#include "fat/BootSector.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

typedef std::function<void(std::string&)> Edit;

// FAT16: 4 sectors a cluster, 4 reserved, 2 FATs of 32 sectors, 512 root
// entries, 40000 sectors.
std::string fat16Sector() {
  std::string s(512, '\0');
  setLe16(s, 11, 512);
  s[13] = 4;
  setLe16(s, 14, 4);
  s[16] = 2;
  setLe16(s, 17, 512);
  setLe16(s, 19, 40000);
  s[21] = char(0xF8);
  setLe16(s, 22, 32);
  s[510] = 0x55;
  s[511] = char(0xAA);
  return s;
}

// The same volume laid out as FAT32: one sector a cluster, 100000 sectors,
// FATs of 200 sectors in the 32-bit fields, the root at cluster 5.
void fat32(std::string& s) {
  s[13] = 1;
  setLe16(s, 17, 0);
  setLe16(s, 19, 0);
  setLe32(s, 32, 100000);
  setLe16(s, 22, 0);
  setLe32(s, 36, 200);
  setLe32(s, 44, 5);
}

std::string geometry(const FatParameters& p) {
  return "FATs " + std::to_string(p.fatLba[0]) + " " + std::to_string(p.fatLba[1]) + " root " +
         (p.rootDirectoryIsCluster ? "cluster " : "") + std::to_string(p.rootDirectoryAddress) + " data " +
         std::to_string(p.dataClusterLba) + " clusters " + std::to_string(p.dataClusters) + "x" +
         std::to_string(p.sectorsPerCluster);
}

}  // namespace

TEST(FatTypeOf, FollowsTheClusterCountAtEachBoundary) {
  const std::pair<uint32_t, int> cases[] = {{0, kFat12},      {4084, kFat12},       {4085, kFat16},
                                            {65524, kFat16},  {65525, kFat32},      {0x0FFFFFF4, kFat32},
                                            {0x0FFFFFF5, kFatInvalid}};
  for (const auto& c : cases) EXPECT_EQ(c.second, fatTypeOf(c.first)) << c.first;
}

TEST(ParseBootSector, GeometryOrTheReasonOfTheRefusal) {
  struct Case {
    const char* what;
    Edit edit;
    BootSectorFault fault;
    const char* geometry;
  } cases[] = {
      {"FAT16", [](std::string&) {}, BootSectorFault::kNone, "FATs 4 36 root 68 data 100 clusters 9975x4"},
      {"32-bit fields",
       [](std::string& s) {
         setLe16(s, 19, 0);
         setLe32(s, 32, 80000);
         setLe16(s, 22, 0);
         setLe32(s, 36, 64);
       },
       BootSectorFault::kNone, "FATs 4 68 root 132 data 164 clusters 19959x4"},
      {"FAT32", fat32, BootSectorFault::kNone, "FATs 4 204 root cluster 5 data 404 clusters 99596x1"},
      {"short", [](std::string& s) { s.resize(511); }, BootSectorFault::kTooShort, ""},
      {"1024-byte sectors", [](std::string& s) { setLe16(s, 11, 1024); }, BootSectorFault::kBytesPerSector, ""},
      {"no signature", [](std::string& s) { s[511] = 0; }, BootSectorFault::kSignature, ""},
      {"one FAT", [](std::string& s) { s[16] = 1; }, BootSectorFault::kFatCount, ""},
      {"floppy", [](std::string& s) { s[21] = char(0xF0); }, BootSectorFault::kMediaDescriptor, ""},
      {"no sectors per cluster", [](std::string& s) { s[13] = 0; }, BootSectorFault::kSectorsPerCluster, ""},
      {"no reserved sectors", [](std::string& s) { setLe16(s, 14, 0); }, BootSectorFault::kReservedSectors, ""},
      {"no FAT sectors", [](std::string& s) { setLe16(s, 22, 0); }, BootSectorFault::kFatSectors, ""},
      {"data past the end", [](std::string& s) { setLe16(s, 19, 100); }, BootSectorFault::kDataBeyondVolume, ""},
      // 2 x 0x80000010 FAT sectors wraps to 0x20 in 32 bits: a small volume.
      {"wrapping FATs",
       [](std::string& s) {
         setLe32(s, 32, 0x100000);
         setLe16(s, 19, 0);
         setLe16(s, 22, 0);
         setLe32(s, 36, 0x80000010);
       },
       BootSectorFault::kDataBeyondVolume, ""},
      {"root cluster 1", [](std::string& s) { fat32(s); setLe32(s, 44, 1); }, BootSectorFault::kRootCluster, ""},
      {"root past the end", [](std::string& s) { fat32(s); setLe32(s, 44, 100000); }, BootSectorFault::kRootBeyondVolume,
       ""},
      // 64 x (0x04000001 - 1) is 2^32.
      {"wrapping root", [](std::string& s) {
         fat32(s);
         s[13] = 64;
         setLe32(s, 44, 0x04000001);
       },
       BootSectorFault::kRootBeyondVolume, ""},
  };
  for (const Case& c : cases) {
    std::string s = fat16Sector();
    c.edit(s);
    FatParameters p;
    p.lba = 77;
    p.fatLba[0] = 999;
    BootSectorFault fault = BootSectorFault::kNone;
    bool ok = parseBootSector(reinterpret_cast<const uint8_t*>(s.data()), s.size(), p, nullptr, &fault);
    EXPECT_EQ(ok, fault == BootSectorFault::kNone) << c.what;
    EXPECT_EQ(c.fault, fault) << c.what;
    EXPECT_EQ(77u, p.lba) << c.what << ": the caller's";
    EXPECT_EQ(c.geometry, ok ? geometry(p) : "") << c.what;
    EXPECT_EQ(ok ? p.fatLba[0] : 999u, p.fatLba[0]) << c.what << ": the output is left alone on failure";
  }
}

TEST(ParseBootSector, RealVolumesHoldEveryClusterAndNoMore) {
  TempDir dir;
  struct Case {
    int bits, megabytes, sectorsPerCluster;
  } cases[] = {{12, 4, 4}, {16, 32, 4}, {32, 40, 1}};
  for (const Case& c : cases) {
    FatImage image(dir.file("v.img"), c.megabytes, c.bits, c.sectorsPerCluster);
    ASSERT_TRUE(image.ok()) << c.bits;
    std::string s = readFile(image.path()).substr(0, 512);
    FatParameters p;
    BootSectorFields f;
    ASSERT_TRUE(parseBootSector(reinterpret_cast<const uint8_t*>(s.data()), 512, p, &f)) << c.bits;
    EXPECT_EQ(c.bits == 12 ? kFat12 : c.bits == 16 ? kFat16 : kFat32, fatTypeOf(p.dataClusters));
    EXPECT_EQ(f.reservedSectors + f.fatSectors, p.fatLba[1]);
    EXPECT_EQ(c.bits == 32, p.rootDirectoryIsCluster == 1);
    uint64_t end = p.dataClusterLba + uint64_t(p.dataClusters) * p.sectorsPerCluster;
    EXPECT_LE(end, f.totalSectors);
    EXPECT_GT(end + p.sectorsPerCluster, f.totalSectors);
  }
}
