// Chain reading: allocation chains, the free runs of deleted files, their
// cuts and failures, loops, and reads along and past the cluster list.

#include "fat/ReaderFatFile.h"

#include <gtest/gtest.h>

#include "FatFixtures.h"

using namespace fattest;

namespace {

// How open() built the list: "chain 5 6 9 fragmented", "free 40 41", "fail".
std::string opened(ReaderFatFile& r, uint64_t first, uint64_t size) {
  if (!r.open(first, size)) return r.size() == 0 && r.clusters().empty() ? "fail" : "fail, yet a list";
  std::string text = r.chainState() == ReaderFatFile::kChainFree ? "free" : r.chainState() == ReaderFatFile::kChainAllocated ? "chain" : "none";
  for (uint64_t c : r.clusters()) text += " " + std::to_string(c);
  if (r.size() != r.clusters().size() * r.clusterBytes()) text += " (size " + std::to_string(r.size()) + ")";
  return r.isFragmented() ? text + " fragmented" : text;
}

}  // namespace

TEST(ReaderFatFileOpen, ChainsFreeRunsLoopsAndBrokenEntries) {
  MemoryVolume vol(16, 5000);
  vol.chain({5, 6, 9});
  vol.chain({10, 12});
  vol.chain({30, 31, 32});
  vol.chain({43, 44});  // in use after the free run 40-42
  vol.set(50, 51);      // into a free cluster
  vol.chain({60, 61, 62});
  vol.set(62, 60);  // back to the start
  vol.set(70, 70);  // to itself
  vol.set(80, 81);
  vol.set(81, 0xFFF7);  // bad
  vol.set(90, 0xFFF2);  // reserved
  vol.set(95, 1);
  vol.set(97, 6000);  // past the last cluster
  ReaderFatFile r(&vol.medium);
  ASSERT_TRUE(r.init(vol.p, vol.firstCopyMap()));
  const struct {
    uint64_t first, size;
    const char* list;
  } cases[] = {
      {5, 0, "none"},
      {5, 1, "chain 5"},
      {5, 1536, "chain 5 6 9 fragmented"},
      {10, 1024, "chain 10 12 fragmented"},
      {30, 513, "chain 30 31"},             // no more clusters than the size needs
      {30, 5120, "chain 30 31 32"},         // a chain that ends early: a short list
      {40, 5120, "free 40 41 42"},          // a free run ends at a cluster in use
      {40, 1024, "free 40 41"},
      {4999, 5120, "free 4999 5000 5001"},  // and at the last cluster
      {50, 2560, "chain 50"},               // a chain that runs into a free cluster is cut
      {60, UINT64_MAX, "chain 60 61 62"},   // a loop is cut before its first repeat
      {70, UINT64_MAX, "chain 70"},
      {80, 1536, "fail"},
      {90, 512, "fail"},
      {95, 512, "fail"},
      {97, 1024, "fail"},
      {97, 512, "chain 97"},  // the stray pointer is never followed for one cluster
      {1, 512, "fail"},
      {5002, 512, "fail"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.list, opened(r, c.first, c.size)) << c.first << " " << c.size;
  // Bounded by the volume's cluster count, with at most one FAT read each.
  uint64_t before = vol.medium.reads;
  opened(r, 60, UINT64_MAX);
  EXPECT_LE(vol.medium.reads - before, 2u * 5000);
}

TEST(ReaderFatFileOpen, NeedsAVolume) {
  MemoryVolume vol(16, 5000);
  ReaderFatFile r(&vol.medium);
  uint8_t b;
  EXPECT_FALSE(r.open(5, 512));
  EXPECT_FALSE(r.read(0, &b, 1));
  FatParameters p = vol.p;
  p.sectorsPerCluster = 0;
  EXPECT_FALSE(r.init(p, vol.firstCopyMap()));
}

TEST(ReaderFatFileRead, AlongTheListThenOnAfterItsLastCluster) {
  MemoryVolume vol(16, 5000);
  vol.chain({5, 6, 9});
  vol.chain({4999, 5000, 5001});
  for (uint64_t c = 2; c < 20; ++c) vol.stamp(c);
  ReaderFatFile r(&vol.medium);
  ASSERT_TRUE(r.init(vol.p, vol.firstCopyMap()));
  ASSERT_TRUE(r.open(5, 1500));
  // (offset, length) -> the cluster stamps of the first and last byte.
  const struct {
    uint64_t offset, length;
    int first, last;
  } cases[] = {{300, 1000, 5, 9}, {511, 2, 5, 6}, {1535, 2, 9, 10}, {2560, 1, 12, 12}, {1536, 0, -1, -1}};
  for (const auto& c : cases) {
    std::string b(c.length, '\0');
    ASSERT_TRUE(r.read(c.offset, &b[0], c.length)) << c.offset;
    if (c.length == 0) continue;
    EXPECT_EQ(c.first, b.front()) << c.offset;
    EXPECT_EQ(c.last, b.back()) << c.offset;
  }
  // An empty list goes on from cluster 2.
  ASSERT_TRUE(r.open(5, 0));
  char b[512];
  ASSERT_TRUE(r.read(512, b, 1));
  EXPECT_EQ(3, b[0]);
  // Never beyond the volume.
  ASSERT_TRUE(r.open(5000, 1024));
  EXPECT_TRUE(r.read(512, b, 512));
  EXPECT_FALSE(r.read(1024, b, 1));
  EXPECT_FALSE(r.read(UINT64_MAX - 10, b, 5));
}

TEST(ReaderFatFileRead, AnUnreadableSectorFailsTheRead) {
  MemoryVolume vol(16, 5000);
  vol.chain({5, 6});
  FaultReader faulty(&vol.medium);
  faulty.failRange(vol.clusterOffset(6) + 10, 1);
  ReaderFatFile r(&faulty);
  ASSERT_TRUE(r.init(vol.p, vol.firstCopyMap()));
  ASSERT_TRUE(r.open(5, 1024));
  char b[512];
  EXPECT_TRUE(r.read(0, b, 512));
  EXPECT_FALSE(r.read(500, b, 50));
}
