// Boot sectors: real ones from mkfs.vfat decode to the geometry sleuthkit
// sees, each hostile field is refused, and sums that would wrap in 32 bits
// are caught; the FAT type follows the cluster count.

#include "fat/BootSector.h"

#include <gtest/gtest.h>

#include "FatFixtures.h"
#include "shell/Endian.h"

using namespace fattest;

namespace {

std::vector<uint8_t> bootSectorOf(const FatImage& image) {
  std::vector<uint8_t> all = readFile(image.path());
  if (all.size() < image.offset() + 512) return {};
  return std::vector<uint8_t>(all.begin() + image.offset(), all.begin() + image.offset() + 512);
}

void put16(std::vector<uint8_t>& s, size_t at, uint16_t v) {
  s[at] = uint8_t(v);
  s[at + 1] = uint8_t(v >> 8);
}
void put32(std::vector<uint8_t>& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = uint8_t(v >> (8 * i));
}

// A FAT16 boot sector: 4 sectors a cluster, 4 reserved, 2 FATs of 32
// sectors, 512 root entries, 40000 sectors.
std::vector<uint8_t> fat16Sector() {
  std::vector<uint8_t> s(512, 0);
  put16(s, 11, 512);
  s[13] = 4;
  put16(s, 14, 4);
  s[16] = 2;
  put16(s, 17, 512);
  put16(s, 19, 40000);
  s[21] = 0xF8;
  put16(s, 22, 32);
  s[510] = 0x55;
  s[511] = 0xAA;
  return s;
}

}  // namespace

TEST(FatTypeOf, FollowsTheClusterCountAtEachBoundary) {
  EXPECT_EQ(kFat12, fatTypeOf(0));
  EXPECT_EQ(kFat12, fatTypeOf(4084));
  EXPECT_EQ(kFat16, fatTypeOf(4085));
  EXPECT_EQ(kFat16, fatTypeOf(65524));
  EXPECT_EQ(kFat32, fatTypeOf(65525));
  EXPECT_EQ(kFat32, fatTypeOf(0x0FFFFFF4));
  EXPECT_EQ(kFatInvalid, fatTypeOf(0x0FFFFFF5));
}

TEST(ParseBootSector, DecodesAHandMadeFat16Sector) {
  FatParameters p;
  p.lba = 77;
  ASSERT_TRUE(parseBootSector(fat16Sector().data(), 512, p));
  EXPECT_EQ(77u, p.lba);  // left to the caller
  EXPECT_EQ(4u, p.fatLba[0]);
  EXPECT_EQ(36u, p.fatLba[1]);
  EXPECT_EQ(0u, p.rootDirectoryIsCluster);
  EXPECT_EQ(68u, p.rootDirectoryAddress);
  EXPECT_EQ(68u + 32, p.dataClusterLba);  // 512 entries of 32 bytes
  EXPECT_EQ((40000u - 100) / 4, p.dataClusters);
  EXPECT_EQ(4u, p.sectorsPerCluster);
}

TEST(ParseBootSector, MatchesTheGeometryOfRealVolumes) {
  TempDir dir;
  struct Case {
    int bits;
    uint64_t mb;
    int spc;
    int type;
  } cases[] = {{12, 4, 4, kFat12}, {16, 32, 4, kFat16}, {32, 40, 1, kFat32}};
  for (const Case& c : cases) {
    FatImage image(dir, "v" + std::to_string(c.bits) + ".img", c.mb, c.bits, c.spc);
    ASSERT_TRUE(image.ok()) << c.bits;
    std::vector<uint8_t> sector = bootSectorOf(image);
    FatParameters p;
    ASSERT_TRUE(parseBootSector(sector.data(), 512, p)) << c.bits;
    EXPECT_EQ(c.type, fatTypeOf(p.dataClusters)) << c.bits;
    EXPECT_EQ(uint32_t(c.spc), p.sectorsPerCluster);
    EXPECT_EQ(le16(&sector[14]), p.fatLba[0]);
    uint32_t perFat = le16(&sector[22]) ? le16(&sector[22]) : le32(&sector[36]);
    EXPECT_EQ(p.fatLba[0] + perFat, p.fatLba[1]);
    EXPECT_EQ(c.bits == 32 ? 1u : 0u, p.rootDirectoryIsCluster);
    if (c.bits == 32) EXPECT_EQ(2u, p.rootDirectoryAddress);
    // The data area ends inside the volume and holds every cluster.
    uint64_t total = le16(&sector[19]) ? le16(&sector[19]) : le32(&sector[32]);
    EXPECT_LE(uint64_t(p.dataClusterLba) + uint64_t(p.dataClusters) * p.sectorsPerCluster, total);
    EXPECT_GT(uint64_t(p.dataClusterLba) + uint64_t(p.dataClusters + 1) * p.sectorsPerCluster, total);
  }
}

TEST(ParseBootSector, RefusesEachHostileField) {
  struct Flaw {
    const char* what;
    void (*apply)(std::vector<uint8_t>&);
  } flaws[] = {
      {"1024-byte sectors", [](std::vector<uint8_t>& s) { put16(s, 11, 1024); }},
      {"no signature", [](std::vector<uint8_t>& s) { s[511] = 0; }},
      {"one FAT", [](std::vector<uint8_t>& s) { s[16] = 1; }},
      {"floppy media byte", [](std::vector<uint8_t>& s) { s[21] = 0xF0; }},
      {"no sectors per cluster", [](std::vector<uint8_t>& s) { s[13] = 0; }},
      {"no reserved sectors", [](std::vector<uint8_t>& s) { put16(s, 14, 0); }},
      {"no sectors per FAT", [](std::vector<uint8_t>& s) { put16(s, 22, 0); }},
      {"data start beyond the volume", [](std::vector<uint8_t>& s) { put16(s, 19, 100); }},
  };
  for (const Flaw& flaw : flaws) {
    std::vector<uint8_t> s = fat16Sector();
    flaw.apply(s);
    FatParameters p;
    p.fatLba[0] = 999;
    EXPECT_FALSE(parseBootSector(s.data(), 512, p)) << flaw.what;
    EXPECT_EQ(999u, p.fatLba[0]) << flaw.what << ": output changed on failure";
  }
}

TEST(ParseBootSector, FallsBackToThe32BitFields) {
  std::vector<uint8_t> s = fat16Sector();
  put16(s, 19, 0);
  put32(s, 32, 80000);
  put16(s, 22, 0);
  put32(s, 36, 64);
  FatParameters p;
  ASSERT_TRUE(parseBootSector(s.data(), 512, p));
  EXPECT_EQ(68u, p.fatLba[1]);
  EXPECT_EQ(4u + 128 + 32, p.dataClusterLba);
  EXPECT_EQ((80000u - 164) / 4, p.dataClusters);
}

TEST(ParseBootSector, CatchesGeometryThatWouldWrapIn32Bits) {
  // A flipped high bit in sectors per FAT: 2 x 0x80000010 wraps to 0x20 in
  // 32 bits and would look like a small volume.
  std::vector<uint8_t> s = fat16Sector();
  put16(s, 19, 0);
  put32(s, 32, 0x00100000);
  put16(s, 22, 0);
  put32(s, 36, 0x80000010u);
  FatParameters p;
  EXPECT_FALSE(parseBootSector(s.data(), 512, p));

  // FAT32 root cluster near 2^32: sectors per cluster x (cluster - 1) wraps.
  std::vector<uint8_t> t = fat16Sector();
  put16(t, 17, 0);
  put16(t, 19, 0);
  put32(t, 32, 0x00100000);
  put16(t, 22, 0);
  put32(t, 36, 1000);
  t[13] = 64;
  put32(t, 44, 0x04000001u);  // 64 x 0x04000000 = 2^32
  EXPECT_FALSE(parseBootSector(t.data(), 512, p));
}

TEST(ParseBootSector, Fat32RootClusterMustLieInTheVolume) {
  std::vector<uint8_t> s = fat16Sector();
  put16(s, 17, 0);
  put16(s, 19, 0);
  put32(s, 32, 100000);
  put16(s, 22, 0);
  put32(s, 36, 200);
  s[13] = 1;
  put32(s, 44, 1);
  FatParameters p;
  EXPECT_FALSE(parseBootSector(s.data(), 512, p)) << "cluster 1";
  put32(s, 44, 100000);
  EXPECT_FALSE(parseBootSector(s.data(), 512, p)) << "past the end";
  put32(s, 44, 5);
  ASSERT_TRUE(parseBootSector(s.data(), 512, p));
  EXPECT_EQ(1u, p.rootDirectoryIsCluster);
  EXPECT_EQ(5u, p.rootDirectoryAddress);
  EXPECT_EQ(404u, p.dataClusterLba);
}
