// The scan run over a whole medium: buffers and their rounding, progress
// and stop, read faults salvaged sector by sector, media shorter than a
// sector, and the pattern file from the program folder.

#include "engine/ScanRun.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "EngineFixtures.h"
#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/InterfaceCallback.h"
#include "tests/support/MemoryReader.h"

namespace {

const char* kPatterns =
    "Type: jpeg\nPattern: \\xFF\\xD8\\xFF\nScan File Module: jpeg\nAnalyze File Module: jpeg\n"
    "Max Size: 50000000\n"
    "Type: blob\nPattern: BLOB\n";

struct Progress : InterfaceCallback {
  void setValue(int op, int channel, uint64_t value) override { positions.push_back(value); }
  void check() override {
    if (++checks == stopAtCheck) throw InterruptedException();
  }
  std::vector<uint64_t> positions;
  int checks = 0;
  int stopAtCheck = -1;
};

class ScanRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("Scanner.cfg", kPatterns);
    dir.write("FsScanner.cfg", "# none\n");
    config.set("Program Path", dir.path());
    fileCase.reset(new FileCase(config, allFileSystems()));
  }
  MemoryReader& medium(uint64_t size) {
    inner.reset(new MemoryReader(size));
    return *inner;
  }
  void putJpeg(uint64_t sector) { inner->put(sector * 512, std::string("\xFF\xD8\xFF\xD9", 4)); }
  std::vector<std::string> keys() const { return fileCase->order(); }

  TempDir dir;
  ConfigRecord config;
  std::unique_ptr<FileCase> fileCase;
  std::unique_ptr<MemoryReader> inner;  // kept when a FaultReader wraps it
};

TEST_F(ScanRunTest, FindsFilesInMediumOrderAndClosesThePendingFile) {
  medium(40 * 512);
  putJpeg(3);
  inner->put(10 * 512, "BLOB");
  putJpeg(20);
  fileCase->setReader(new MemoryReader(inner->bytes()));
  Progress progress;
  ScanReport report = runScan(*fileCase, config, &progress);
  EXPECT_TRUE(report.complete);
  EXPECT_EQ(report.total, 40u * 512);
  EXPECT_EQ(report.position, 40u * 512);
  EXPECT_EQ(report.unreadableBytes, 0u);
  EXPECT_EQ(keys(), (std::vector<std::string>{"1536jpeg4", "5120blob5120", "10240jpeg4"}));
  EXPECT_EQ(progress.positions, std::vector<uint64_t>{0});  // one default-size buffer
}

TEST_F(ScanRunTest, BufferSizeIsRoundedDownToWholeSectorsAndAtLeastOne) {
  struct Case {
    const char* value;
    std::vector<uint64_t> positions;
  };
  for (const Case& c : std::vector<Case>{{"1000", {0, 512, 1024, 1536, 2048}},
                                         {"100", {0, 512, 1024, 1536, 2048}},
                                         {"-5", {0, 512, 1024, 1536, 2048}},
                                         {"1536", {0, 1536}},
                                         {"2000", {0, 1536}},
                                         {"junk", {0}}}) {
    config.set("Scan Buffer Size", std::string(c.value));
    fileCase->setReader(new MemoryReader(uint64_t(5 * 512 + 100)));
    Progress progress;
    ScanReport report = runScan(*fileCase, config, &progress);
    EXPECT_EQ(progress.positions, c.positions) << c.value;
    EXPECT_TRUE(report.complete);
    EXPECT_EQ(report.position, 5u * 512) << c.value;
    config.erase("Scan Buffer Size");
  }
}

TEST_F(ScanRunTest, LastPartialSectorIsNeverScanned) {
  medium(1000);
  putJpeg(0);
  inner->put(512, std::string("\xFF\xD8\xFF\xD9", 4));  // in the partial sector
  fileCase->setReader(new MemoryReader(inner->bytes()));
  ScanReport report = runScan(*fileCase, config, nullptr);
  EXPECT_EQ(report.total, 512u);
  EXPECT_EQ(keys(), std::vector<std::string>{"0jpeg4"});
}

TEST_F(ScanRunTest, MediumShorterThanASectorScansNothingAndCompletes) {
  std::string tiny("\xFF\xD8\xFF\xD9", 4);
  fileCase->setReader(new MemoryReader(tiny.data(), tiny.size()));
  Progress progress;
  ScanReport report = runScan(*fileCase, config, &progress);
  EXPECT_TRUE(report.complete);
  EXPECT_EQ(report.total, 0u);
  EXPECT_TRUE(progress.positions.empty());
  EXPECT_TRUE(fileCase->files().empty());
}

TEST_F(ScanRunTest, StopEndsTheRunInOrderAndClosesThePendingFileThere) {
  medium(8 * 512);
  inner->put(512, "BLOB");
  putJpeg(6);
  fileCase->setReader(new MemoryReader(inner->bytes()));
  config.set("Scan Buffer Size", std::string("2048"));
  Progress progress;
  progress.stopAtCheck = 2;  // at the pump before the second buffer
  ScanReport report = runScan(*fileCase, config, &progress);
  EXPECT_FALSE(report.complete);
  EXPECT_EQ(report.position, 2048u);
  EXPECT_EQ(keys(), std::vector<std::string>{"512blob1536"});
}

TEST_F(ScanRunTest, FailedBufferIsSalvagedSectorBySector) {
  medium(16 * 512);
  putJpeg(2);   // same buffer as the bad sectors
  putJpeg(13);  // a later buffer
  FaultReader* faulty = new FaultReader(inner.get());
  faulty->failRange(4 * 512, 512);
  faulty->failRange(5 * 512, 512);
  faulty->failRange(7 * 512 + 100, 1);
  fileCase->setReader(faulty);
  config.set("Scan Buffer Size", std::string("4096"));  // sectors 0-7 in the first buffer
  DebugLogCapture log;
  ScanReport report = runScan(*fileCase, config, nullptr);
  EXPECT_TRUE(report.complete);
  EXPECT_NE(log.text().find("Browser(703): 0 4096"), std::string::npos);
  EXPECT_EQ(keys(), (std::vector<std::string>{"1024jpeg4", "6656jpeg4"}));
  EXPECT_EQ(report.unreadableBytes, 3u * 512);
  ASSERT_EQ(report.unreadable.size(), 2u);
  EXPECT_EQ(report.unreadable[0], std::make_pair(uint64_t(4 * 512), uint64_t(1024)));
  EXPECT_EQ(report.unreadable[1], std::make_pair(uint64_t(7 * 512), uint64_t(512)));
}

TEST_F(ScanRunTest, PendingFileStaysOpenAcrossAnUnreadableGap) {
  medium(12 * 512);
  inner->put(0, "BLOB");
  FaultReader* faulty = new FaultReader(inner.get());
  faulty->failRange(4 * 512, 4 * 512);
  fileCase->setReader(faulty);
  config.set("Scan Buffer Size", std::string("2048"));
  ScanReport report = runScan(*fileCase, config, nullptr);
  EXPECT_EQ(keys(), std::vector<std::string>{"0blob6144"});
  EXPECT_EQ(report.unreadable.size(), 1u);
  EXPECT_EQ(report.unreadableBytes, 2048u);
}

TEST_F(ScanRunTest, VanishedMediumIsCountedAsUnreadableToTheEnd) {
  medium(20 * 512);
  FaultReader* faulty = new FaultReader(inner.get());
  faulty->vanishAfter(1);
  fileCase->setReader(faulty);
  config.set("Scan Buffer Size", std::string("5120"));
  ScanReport report = runScan(*fileCase, config, nullptr);
  EXPECT_TRUE(report.complete);
  EXPECT_EQ(report.unreadableBytes, 10u * 512);
  ASSERT_EQ(report.unreadable.size(), 1u);
  EXPECT_EQ(report.unreadable[0].first, 5120u);
}

TEST_F(ScanRunTest, MissingPatternFileThrowsBeforeAnyRead) {
  TempDir other;
  other.write("FsScanner.cfg", "");
  ConfigRecord otherConfig;
  otherConfig.set("Program Path", other.path());
  FileCase c(otherConfig, allFileSystems());
  MemoryReader* m = new MemoryReader(uint64_t(4096));
  c.setReader(m);
  try {
    runScan(c, otherConfig, nullptr);
    FAIL() << "expected a throw";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "PatternsFile(17)");
  }
  EXPECT_EQ(m->reads, 0u);
}

TEST_F(ScanRunTest, NoMediumThrows) {
  EXPECT_THROW(runScan(*fileCase, config, nullptr), std::runtime_error);
}

TEST_F(ScanRunTest, RealJpegsAtSectorOffsetsAmongRandomSectors) {
  if (!run("command -v convert")) GTEST_SKIP() << "ImageMagick is not installed";
  std::vector<uint8_t> a = makeJpeg(dir, "rose:", "a.jpg");
  std::vector<uint8_t> b = makeJpeg(dir, "-size 200x150 plasma:fractal", "b.jpg");
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  medium(2000 * 512);
  uint32_t seed = 12345;
  for (auto& byte : inner->bytes()) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(seed >> 16);
  }
  inner->put(100 * 512, a.data(), a.size());
  inner->put(1500 * 512, b.data(), b.size());
  fileCase->setReader(new MemoryReader(inner->bytes()));
  config.set("Scan Buffer Size", std::string("65536"));
  ScanReport report = runScan(*fileCase, config, nullptr);
  EXPECT_TRUE(report.complete);
  const FileModule::File* fa = fileCase->findFile("51200jpeg" + std::to_string(a.size()));
  const FileModule::File* fb = fileCase->findFile("768000jpeg" + std::to_string(b.size()));
  ASSERT_NE(fa, nullptr);
  ASSERT_NE(fb, nullptr);
  Reader* r = fileCase->readerFor(*fb);
  ASSERT_NE(r, nullptr);
  std::vector<uint8_t> back(r->size());
  ASSERT_TRUE(r->read(0, back.data(), back.size()));
  EXPECT_EQ(back, b);
}

}  // namespace
