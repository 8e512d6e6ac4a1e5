// Chain reading: allocation chains, free runs of deleted files, their cuts
// and failures, loops, and reads along and past the cluster list.

#include "fat/ReaderFatFile.h"

#include <gtest/gtest.h>

#include "MemoryVolume.h"
#include "shell/DebugLog.h"

using namespace fattest;

namespace {

struct Fixture {
  explicit Fixture(int bits = 16, uint32_t clusters = 5000, uint32_t spc = 1) : vol(bits, clusters, spc) {}
  ReaderFatFile& reader() {
    if (!file) {
      file.reset(new ReaderFatFile(&vol.medium));
      EXPECT_TRUE(file->init(vol.p, vol.firstCopyMap()));
    }
    return *file;
  }
  MemoryVolume vol;
  std::unique_ptr<ReaderFatFile> file;
};

}  // namespace

TEST(ReaderFatFileOpen, EmptyAndOneByteFiles) {
  Fixture f;
  f.vol.chain({9});
  ReaderFatFile& r = f.reader();
  ASSERT_TRUE(r.open(9, 0));
  EXPECT_EQ(0u, r.size());
  EXPECT_TRUE(r.clusters().empty());
  EXPECT_FALSE(r.isFragmented());
  ASSERT_TRUE(r.open(9, 1));
  EXPECT_EQ(512u, r.size());
  EXPECT_EQ(std::vector<uint64_t>{9}, r.clusters());
}

TEST(ReaderFatFileOpen, FollowsChainsAndTellsFragmentedOnes) {
  Fixture f(16, 5000, 2);
  f.vol.chain({5, 6, 9});
  f.vol.chain({20, 21, 22});
  ReaderFatFile& r = f.reader();
  ASSERT_TRUE(r.open(5, 3 * 1024));
  EXPECT_EQ((std::vector<uint64_t>{5, 6, 9}), r.clusters());
  EXPECT_EQ(3u * 1024, r.size());
  EXPECT_TRUE(r.isFragmented());
  ASSERT_TRUE(r.open(20, 2500));
  EXPECT_EQ((std::vector<uint64_t>{20, 21, 22}), r.clusters());
  EXPECT_FALSE(r.isFragmented());
}

TEST(ReaderFatFileOpen, StopsAtTheClustersTheSizeNeeds) {
  Fixture f;
  f.vol.chain({5, 6, 7, 8, 9});
  ReaderFatFile& r = f.reader();
  ASSERT_TRUE(r.open(5, 1025));
  EXPECT_EQ((std::vector<uint64_t>{5, 6, 7}), r.clusters());
  // A chain ending early leaves a short reader; open still succeeds.
  ASSERT_TRUE(r.open(8, 10 * 512));
  EXPECT_EQ(1024u, r.size());
}

TEST(ReaderFatFileOpen, DeletedFilesReadTheFreeRunAfterTheirFirstCluster) {
  Fixture f;
  f.vol.chain({23, 24});  // in use after the free run 20-22
  ReaderFatFile& r = f.reader();
  ASSERT_TRUE(r.open(20, 10 * 512));
  EXPECT_EQ((std::vector<uint64_t>{20, 21, 22}), r.clusters());
  ASSERT_TRUE(r.open(20, 2 * 512));
  EXPECT_EQ((std::vector<uint64_t>{20, 21}), r.clusters());
  // A free run ends at the volume's last cluster.
  ASSERT_TRUE(r.open(4999, 10 * 512));
  EXPECT_EQ((std::vector<uint64_t>{4999, 5000, 5001}), r.clusters());
}

TEST(ReaderFatFileOpen, AChainRunningIntoAFreeClusterIsCut) {
  Fixture f;
  f.vol.set(5, 6);  // 6 is free
  DebugLogCapture log;
  ReaderFatFile& r = f.reader();
  ASSERT_TRUE(r.open(5, 5 * 512));
  EXPECT_EQ(std::vector<uint64_t>{5}, r.clusters());
  EXPECT_NE(std::string::npos, log.text().find("ReaderFatFile(152): 6 free 1"));
}

TEST(ReaderFatFileOpen, BadReservedAndStrayEntriesFail) {
  Fixture f(32, 66000);
  f.vol.set(5, 6);
  f.vol.set(6, 0x0FFFFFF7);
  f.vol.set(7, 0x0FFFFFF2);
  f.vol.set(8, 1);
  f.vol.set(9, 70000);  // past the last cluster
  ReaderFatFile& r = f.reader();
  DebugLogCapture log;
  EXPECT_FALSE(r.open(5, 3 * 512));
  EXPECT_EQ(0u, r.size());
  EXPECT_NE(std::string::npos, log.text().find("ReaderFatFile(161): 6 bad"));
  EXPECT_NE(std::string::npos, log.text().find("ReaderFatFile(40): 5 1536"));
  EXPECT_FALSE(r.open(7, 512));
  EXPECT_FALSE(r.open(8, 512));
  EXPECT_FALSE(r.open(9, 2 * 512));
  EXPECT_FALSE(r.open(1, 512));
  EXPECT_FALSE(r.open(66002, 512));
  EXPECT_TRUE(r.open(9, 512)) << "the stray pointer is never followed for one cluster";
}

TEST(ReaderFatFileOpen, LoopsAndHugeSizesCannotHang) {
  Fixture f;
  f.vol.set(5, 6);
  f.vol.set(6, 7);
  f.vol.set(7, 5);  // back to the start
  f.vol.set(100, 100);  // points at itself
  ReaderFatFile& r = f.reader();
  uint64_t before = f.vol.medium.reads;
  ASSERT_TRUE(r.open(5, UINT64_MAX));
  EXPECT_EQ((std::vector<uint64_t>{5, 6, 7}), r.clusters());
  ASSERT_TRUE(r.open(100, UINT64_MAX));
  EXPECT_EQ(std::vector<uint64_t>{100}, r.clusters());
  // Bounded by the volume's cluster count, with at most one FAT read each.
  EXPECT_LE(f.vol.medium.reads - before, 2u * 5000);
}

TEST(ReaderFatFileOpen, NeedsInit) {
  MemoryVolume vol(16, 5000);
  ReaderFatFile r(&vol.medium);
  EXPECT_FALSE(r.open(5, 512));
  uint8_t b;
  EXPECT_FALSE(r.read(0, &b, 1));
  FatParameters p = vol.p;
  p.sectorsPerCluster = 0;
  EXPECT_FALSE(r.init(p, vol.firstCopyMap()));
}

TEST(ReaderFatFileRead, AlongTheListAcrossClusterEdges) {
  Fixture f;
  f.vol.chain({5, 6, 9});
  for (uint64_t c : {5, 6, 7, 8, 9, 10}) f.vol.stamp(c);
  ReaderFatFile& r = f.reader();
  ASSERT_TRUE(r.open(5, 1500));
  std::vector<uint8_t> buf(1000);
  ASSERT_TRUE(r.read(300, buf.data(), buf.size()));
  EXPECT_EQ(5, buf[0]);
  EXPECT_EQ(5, buf[211]);
  EXPECT_EQ(6, buf[212]);
  EXPECT_EQ(6, buf[723]);
  EXPECT_EQ(9, buf[724]);
  ASSERT_TRUE(r.read(1536, buf.data(), 0));
}

TEST(ReaderFatFileRead, PastTheListGoesOnAfterTheLastListedCluster) {
  Fixture f;
  f.vol.chain({5, 6, 9});
  for (uint64_t c = 2; c < 20; ++c) f.vol.stamp(c);
  ReaderFatFile& r = f.reader();
  ASSERT_TRUE(r.open(5, 1536));
  DebugLogCapture log;
  uint8_t b[2] = {};
  // Spanning the end of the list: 9, then 10.
  ASSERT_TRUE(r.read(3 * 512 - 1, b, 2));
  EXPECT_EQ(9, b[0]);
  EXPECT_EQ(10, b[1]);
  // Starting past the list: index 5 is two clusters beyond 10.
  ASSERT_TRUE(r.read(5 * 512, b, 1));
  EXPECT_EQ(12, b[0]);
  EXPECT_NE(std::string::npos, log.text().find("ReaderFatFile(76): 9 3 3"));
  // An empty list starts at cluster 2.
  ASSERT_TRUE(r.open(5, 0));
  ASSERT_TRUE(r.read(512, b, 1));
  EXPECT_EQ(3, b[0]);
}

TEST(ReaderFatFileRead, NeverBeyondTheVolumeOrThroughAFault) {
  Fixture f;
  f.vol.chain({5000, 5001});
  ReaderFatFile& r = f.reader();
  ASSERT_TRUE(r.open(5000, 1024));
  uint8_t b[512];
  EXPECT_TRUE(r.read(512, b, 512));
  EXPECT_FALSE(r.read(1024, b, 1)) << "cluster 5002 does not exist";
  EXPECT_FALSE(r.read(UINT64_MAX - 10, b, 5));

  Fixture g;
  g.vol.chain({5, 6});
  FaultReader faulty(&g.vol.medium);
  faulty.failRange(g.vol.clusterOffset(6) + 10, 1);
  ReaderFatFile fr(&faulty);
  ASSERT_TRUE(fr.init(g.vol.p, g.vol.firstCopyMap()));
  ASSERT_TRUE(fr.open(5, 1024));
  DebugLogCapture log;
  EXPECT_TRUE(fr.read(0, b, 512));
  EXPECT_FALSE(fr.read(500, b, 50));
  EXPECT_NE(std::string::npos, log.text().find("ReaderFatFile(84): 6 0 38"));
}
