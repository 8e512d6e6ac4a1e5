// The scan run over a whole medium: buffers and their rounding, progress
// and stop, read faults salvaged sector by sector, media shorter than a
// sector, and the pattern file from the program folder.  Real photos among
// noise are the command line's end-to-end test.

#include "engine/ScanRun.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "EngineFixtures.h"
#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "media/ReaderReader.h"
#include "shell/Config.h"
#include "shell/InterfaceCallback.h"
#include "tests/support/MemoryReader.h"

using namespace mzktest;

namespace {

const std::string kJpeg("\xFF\xD8\xFF\xD9", 4);

struct Progress : InterfaceCallback {
  void setValue(int op, int channel, uint64_t value) override { positions += " " + std::to_string(value); }
  void check() override {
    if (++checks == stopAtCheck) throw InterruptedException();
  }
  std::string positions;
  int checks = 0;
  int stopAtCheck = -1;
};

struct Faults {
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  uint64_t vanishAfter = UINT64_MAX;
};

// The keys found and the unreadable ranges ("offset+length") of a run.
struct Outcome {
  std::string keys, unreadable, positions;
  ScanReport report;
};

class ScanRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("Scanner.cfg",
              "Type: jpeg\nPattern: \\xFF\\xD8\\xFF\nScan File Module: jpeg\nAnalyze File Module: jpeg\n"
              "Type: blob\nPattern: BLOB\n");
    dir.write("FsScanner.cfg", "# none\n");
    config.set("Program Path", dir.path());
  }
  // Scans `medium` (read through `faults`) with buffers of `buffer` bytes.
  Outcome run(const std::string& medium, const std::string& buffer, const Faults& faults = Faults(),
              int stopAtCheck = -1) {
    MemoryReader memory(medium.data(), medium.size());
    FileCase fileCase(config, allFileSystems());
    auto* reader = new FaultReader(&memory);
    for (const auto& r : faults.ranges) reader->failRange(r.first, r.second);
    reader->vanishAfter(faults.vanishAfter);
    fileCase.setReader(reader);
    config.set("Scan Buffer Size", buffer);
    Progress progress;
    progress.stopAtCheck = stopAtCheck;
    Outcome out;
    out.report = runScan(fileCase, config, &progress);
    for (const std::string& key : fileCase.order()) out.keys += (out.keys.empty() ? "" : " ") + key;
    for (const auto& r : out.report.unreadable)
      out.unreadable += (out.unreadable.empty() ? "" : " ") + std::to_string(r.first) + "+" + std::to_string(r.second);
    out.positions = progress.positions;
    return out;
  }
  // `sectors` sectors of zeros with `bytes` put at the given sectors.
  static std::string medium(uint64_t sectors, std::vector<std::pair<uint64_t, std::string>> puts) {
    std::string m(sectors * 512, '\0');
    for (const auto& p : puts) m.replace(p.first * 512, p.second.size(), p.second);
    return m;
  }

  TempDir dir;
  ConfigRecord config;
};

}  // namespace

TEST_F(ScanRunTest, FindsFilesInMediumOrderAndClosesThePendingFile) {
  Outcome out = run(medium(40, {{3, kJpeg}, {10, "BLOB"}, {20, kJpeg}}), "1024000");
  EXPECT_EQ("1536jpeg4 5120blob5120 10240jpeg4", out.keys);
  EXPECT_TRUE(out.report.complete);
  EXPECT_EQ(40u * 512, out.report.total);
  EXPECT_EQ(40u * 512, out.report.position);
  EXPECT_EQ(" 0", out.positions) << "one buffer";
}

TEST_F(ScanRunTest, BuffersAreWholeSectorsAndTheLastPartialSectorIsNotScanned) {
  const std::pair<const char*, const char*> cases[] = {
      {"1000", " 0 512 1024 1536 2048"}, {"100", " 0 512 1024 1536 2048"}, {"-5", " 0 512 1024 1536 2048"},
      {"1536", " 0 1536"},               {"2000", " 0 1536"},              {"junk", " 0"}};
  std::string m = medium(5, {{0, kJpeg}}) + kJpeg + std::string(96, '\0');
  for (const auto& c : cases) {
    Outcome out = run(m, c.first);
    EXPECT_EQ(c.second, out.positions) << c.first;
    EXPECT_EQ("0jpeg4", out.keys) << c.first;
    EXPECT_EQ(5u * 512, out.report.position) << c.first;
    EXPECT_TRUE(out.report.complete) << c.first;
  }
  Outcome tiny = run(kJpeg, "512");
  EXPECT_TRUE(tiny.report.complete);
  EXPECT_EQ(0u, tiny.report.total);
  EXPECT_EQ("", tiny.positions + tiny.keys);
}

TEST_F(ScanRunTest, StopEndsTheRunInOrderAndClosesThePendingFileThere) {
  Outcome out = run(medium(8, {{1, "BLOB"}, {6, kJpeg}}), "2048", Faults(), 2);
  EXPECT_FALSE(out.report.complete);
  EXPECT_EQ(2048u, out.report.position);
  EXPECT_EQ("512blob1536", out.keys);
}

TEST_F(ScanRunTest, UnreadableSectorsAreCountedAndTheRestIsScanned) {
  // Sectors 4, 5 and 7 of the first buffer fail; the others are still
  // tested one by one.
  Outcome out = run(medium(16, {{2, kJpeg}, {13, kJpeg}}), "4096", {{{4 * 512, 1024}, {7 * 512 + 100, 1}}});
  EXPECT_TRUE(out.report.complete);
  EXPECT_EQ("1024jpeg4 6656jpeg4", out.keys);
  EXPECT_EQ("2048+1024 3584+512", out.unreadable);
  EXPECT_EQ(1536u, out.report.unreadableBytes);
  // A pending file stays open across an unreadable gap.
  out = run(medium(12, {{0, "BLOB"}}), "2048", {{{4 * 512, 4 * 512}}});
  EXPECT_EQ("0blob6144", out.keys);
  EXPECT_EQ("2048+2048", out.unreadable);
  // A medium that vanishes is unreadable to its end.
  out = run(medium(20, {}), "5120", {{}, 1});
  EXPECT_TRUE(out.report.complete);
  EXPECT_EQ("5120+5120", out.unreadable);
}

TEST_F(ScanRunTest, PatternFileAndMediumAreNeededBeforeAnyRead) {
  FileCase fileCase(config, allFileSystems());
  EXPECT_THROW(runScan(fileCase, config, nullptr), std::runtime_error);
  MemoryReader* medium = new MemoryReader(uint64_t(4096));
  fileCase.setReader(medium);
  ConfigRecord elsewhere;
  elsewhere.set("Program Path", dir.file("nowhere"));
  try {
    runScan(fileCase, elsewhere, nullptr);
    FAIL() << "expected a throw";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("PatternsFile(17)", e.what());
  }
  EXPECT_EQ(0u, medium->reads);
}

TEST_F(ScanRunTest, WhatAModuleReadsAheadIsNotReadAgainAndAFollowerKeepsWhatItReaches) {
  // A JPEG over ten buffers: its walk reads ahead of the scan, through the
  // blocks the scan then tests.  The follower is told each position; what
  // it reaches back for is still held, what it does not is given up.
  const std::string jpeg = std::string("\xFF\xD8\xFF\xDA\x00\x02", 6) + std::string(20000, '\x11') + "\xFF\xD9";
  const std::string bytes = medium(64, {{2, jpeg}});
  struct Follower : ScanFollower {
    const MemoryReader* memory = nullptr;
    uint64_t reachBack = 0, readByTheWalk = 0;
    std::string positions;
    uint64_t reach() const override { return reachBack; }
    void passed(uint64_t position) override {
      positions += " " + std::to_string(position);
      if (!readByTheWalk && position == memory->Reader::size()) readByTheWalk = memory->bytesRead;
    }
  };
  for (uint64_t reachBack : {uint64_t(0), uint64_t(1) << 20}) {
    MemoryReader memory(bytes.data(), bytes.size());
    FileCase fileCase(config, allFileSystems());
    fileCase.setReader(new ReaderReader(&memory));
    config.set("Scan Buffer Size", "2048");
    Follower follower;
    follower.memory = &memory;
    follower.reachBack = reachBack;
    runScan(fileCase, config, nullptr, &follower);
    EXPECT_EQ("1024jpeg20008", fileCase.order().front());
    EXPECT_EQ(bytes.size(), follower.readByTheWalk) << "each byte once";
    EXPECT_EQ(0u, follower.positions.find(" 2048 4096 ")) << follower.positions;
    EXPECT_EQ(" 32768 32768", follower.positions.substr(follower.positions.size() - 12)) << "and once more at the end";
    // After the walk the carved JPEG is judged where it lies, which reads
    // some of its blocks again when they were given up.
    const uint64_t before = memory.bytesRead;
    std::string file(jpeg.size(), '\0');
    ASSERT_TRUE(fileCase.readerFor(*fileCase.findFile("1024jpeg20008"))->read(0, &file[0], file.size()));
    EXPECT_EQ(jpeg, file);
    if (reachBack) {
      EXPECT_EQ(bytes.size(), memory.bytesRead) << "all of it held";
    } else {
      EXPECT_GT(memory.bytesRead - before, 0u) << "given up, so read again";
      EXPECT_LE(memory.bytesRead - before, 11u * 2048);
    }
  }
}
