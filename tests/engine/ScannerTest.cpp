// The signature scanner: first match in table order, pending files,
// "Max Size" windows, MP3/MPEG silencing and the byte dispatch.

#include "engine/Scanner.h"

#include <gtest/gtest.h>

#include "EngineFixtures.h"
#include "engine/FileModuleRegistry.h"
#include "engine/modules/FileModuleJpeg.h"
#include "shell/DebugLog.h"
#include "tests/support/MemoryReader.h"

namespace {

struct Collector : Scanner::Callback {
  void found(const FileModule::File& file) override { files.push_back(file); }
  std::vector<FileModule::File> files;
};

Pattern makePattern(const std::string& type, const std::string& bytes, uint32_t offset,
                    FileModule* analyze, uint64_t maxSize = Pattern::kDefaultMaxSize) {
  Pattern p;
  p.setType(type);
  if (!bytes.empty()) p.setPattern(offset, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  p.setAnalyzeModule(analyze);
  p.setMaxSize(maxSize);
  return p;
}

class ScannerTest : public ::testing::Test {
 protected:
  ScannerTest() : medium(uint64_t(100) * 512), scanner(&medium, &registry) {}

  void put(uint64_t sector, const std::string& bytes, uint32_t offset = 0) {
    medium.put(sector * 512 + offset, bytes);
  }
  // Tests every sector, as the scan run does, and closes the pending file.
  void scanAll() {
    for (uint64_t pos = 0; pos + 512 <= medium.Reader::size(); pos += 512)
      scanner.check(pos, medium.bytes().data() + pos, 512);
    scanner.finish(medium.Reader::size());
  }

  FileModuleRegistry registry;
  MemoryReader medium;
  Scanner scanner;
  Collector found;
};

TEST_F(ScannerTest, FirstPatternThatYieldsAFileClaimsTheSector) {
  ScriptedModule first, second;
  first.type = "first";
  second.type = "second";
  PatternTable t = {makePattern("a", "HIT", 0, &first), makePattern("b", "HIT", 0, &second)};
  scanner.init(t, &found);
  put(3, "HIT");
  scanAll();
  ASSERT_EQ(found.files.size(), 1u);
  EXPECT_EQ(found.files[0].attributes.getString("t"), "first");
  EXPECT_EQ(found.files[0].offset, 3u * 512);
  EXPECT_EQ(second.analyses, 0);
}

TEST_F(ScannerTest, AFailedAnalysisPassesTheSectorToTheNextPattern) {
  ScriptedModule first, second;
  first.analyzeResult = false;
  second.type = "second";
  PatternTable t = {makePattern("a", "HIT", 0, &first), makePattern("b", "HIT", 0, &second)};
  scanner.init(t, &found);
  put(3, "HIT");
  scanAll();
  ASSERT_EQ(found.files.size(), 1u);
  EXPECT_EQ(found.files[0].attributes.getString("t"), "second");
  EXPECT_EQ(first.analyses, 1);
}

TEST_F(ScannerTest, TableOrderWinsOverSignatureOffset) {
  // The later-listed pattern has its bytes earlier in the sector; the
  // earlier-listed one still claims the sector.
  ScriptedModule deep, shallow;
  deep.type = "deep";
  shallow.type = "shallow";
  PatternTable t = {makePattern("d", "DEEP", 200, &deep), makePattern("s", "SH", 0, &shallow)};
  scanner.init(t, &found);
  put(1, "SH");
  put(1, "DEEP", 200);
  put(2, "SH");
  scanAll();
  ASSERT_EQ(found.files.size(), 2u);
  EXPECT_EQ(found.files[0].attributes.getString("t"), "deep");
  EXPECT_EQ(found.files[1].attributes.getString("t"), "shallow");
  EXPECT_EQ(found.files[1].offset, 2u * 512);
}

TEST_F(ScannerTest, ManyPatternsAcrossDispatchWordsKeepTheirOrder) {
  std::vector<std::unique_ptr<ScriptedModule>> modules;
  PatternTable t;
  for (int i = 0; i < 130; ++i) {
    modules.emplace_back(new ScriptedModule);
    modules.back()->type = "m" + std::to_string(i);
    std::string sig = "P" + std::to_string(i) + ";";
    t.push_back(makePattern("p", sig, static_cast<uint32_t>(i % 3), modules.back().get()));
  }
  // The last one has no bytes: a candidate for every sector, but it comes last.
  t.push_back(makePattern("all", "", 0, modules[0].get()));
  scanner.init(t, &found);
  put(5, "P128;", 128 % 3);
  put(6, "P70;", 70 % 3);
  put(7, "P1;", 1);
  for (uint64_t pos = 5 * 512; pos < 8 * 512; pos += 512)
    scanner.check(pos, medium.bytes().data() + pos, 512);
  ASSERT_EQ(found.files.size(), 3u);
  EXPECT_EQ(found.files[0].attributes.getString("t"), "m128");
  EXPECT_EQ(found.files[1].attributes.getString("t"), "m70");
  EXPECT_EQ(found.files[2].attributes.getString("t"), "m1");
}

TEST_F(ScannerTest, PatternWithoutBytesIsTriedOnEverySector) {
  ScriptedModule module;
  module.analyzeResult = false;
  PatternTable t = {makePattern("any", "", 0, &module)};
  scanner.init(t, &found);
  scanAll();
  EXPECT_EQ(module.analyses, 100);
  EXPECT_TRUE(found.files.empty());
}

TEST_F(ScannerTest, PendingFileRunsToTheNextFileFound) {
  PatternTable t = {makePattern("jpeg", "\xFF\xD8\xFF", 0, registry.findModule("jpeg")),
                    makePattern("mpg", "PENDING", 0, nullptr)};
  scanner.init(t, &found);
  put(10, "PENDING");
  put(50, "\xFF\xD8\xFF\xD9");
  scanAll();
  ASSERT_EQ(found.files.size(), 2u);
  EXPECT_EQ(found.files[0].attributes.getString("t"), "mpg");
  EXPECT_EQ(found.files[0].offset, 10u * 512);
  EXPECT_EQ(found.files[0].size, 40u * 512);
  EXPECT_EQ(found.files[1].attributes.getString("t"), "jpeg");
  EXPECT_EQ(found.files[1].offset, 50u * 512);
  EXPECT_EQ(found.files[1].size, 4u);
}

TEST_F(ScannerTest, PendingFileIsCappedByItsMaxSize) {
  PatternTable t = {makePattern("jpeg", "\xFF\xD8\xFF", 0, registry.findModule("jpeg")),
                    makePattern("mpg", "PENDING", 0, nullptr, 3000)};
  scanner.init(t, &found);
  put(10, "PENDING");
  put(50, "\xFF\xD8\xFF\xD9");
  scanAll();
  ASSERT_EQ(found.files.size(), 2u);
  EXPECT_EQ(found.files[0].size, 3000u);
}

TEST_F(ScannerTest, PendingFileWithoutLaterHitEndsWhereTheScanStops) {
  PatternTable t = {makePattern("img", "PENDING", 0, nullptr)};
  scanner.init(t, &found);
  put(90, "PENDING");
  scanAll();
  ASSERT_EQ(found.files.size(), 1u);
  EXPECT_EQ(found.files[0].offset, 90u * 512);
  EXPECT_EQ(found.files[0].size, 10u * 512);
}

TEST_F(ScannerTest, ASecondModulelessHitClosesTheFirst) {
  PatternTable t = {makePattern("a", "AAAA", 0, nullptr), makePattern("b", "BBBB", 0, nullptr)};
  scanner.init(t, &found);
  put(4, "AAAA");
  put(7, "BBBB");
  scanAll();
  ASSERT_EQ(found.files.size(), 2u);
  EXPECT_EQ(found.files[0].attributes.getString("t"), "a");
  EXPECT_EQ(found.files[0].size, 3u * 512);
  EXPECT_EQ(found.files[1].attributes.getString("t"), "b");
  EXPECT_EQ(found.files[1].size, 93u * 512);
}

TEST_F(ScannerTest, FailedAnalysisDoesNotCloseThePendingFile) {
  ScriptedModule failing;
  failing.analyzeResult = false;
  PatternTable t = {makePattern("x", "XX", 0, &failing), makePattern("img", "PENDING", 0, nullptr)};
  scanner.init(t, &found);
  put(2, "PENDING");
  put(6, "XX");
  scanAll();
  ASSERT_EQ(found.files.size(), 1u);
  EXPECT_EQ(found.files[0].size, 98u * 512);
}

TEST_F(ScannerTest, AnalyzeSeesAWindowOfMaxSizeCutAtTheMediumEnd) {
  ScriptedModule module;
  PatternTable t = {makePattern("m", "WIN", 0, &module, 2048)};
  scanner.init(t, &found);
  put(10, "WIN");
  put(99, "WIN");
  scanAll();
  EXPECT_EQ(module.analyses, 2);
  EXPECT_EQ(module.lastReaderSize, 512u);  // only one sector left after 99
  ASSERT_EQ(found.files.size(), 2u);
  EXPECT_EQ(found.files[0].size, 1024u);
  EXPECT_EQ(found.files[1].size, 512u);
}

TEST_F(ScannerTest, RefusedWindowIsLoggedAndThePatternPassedOver) {
  DebugLogCapture log;
  ScriptedModule module;
  PatternTable t = {makePattern("m", "WIN", 0, &module, 777)};
  scanner.init(t, &found);
  uint8_t sector[512] = {'W', 'I', 'N'};
  scanner.check(medium.Reader::size(), sector, 512);
  EXPECT_EQ(module.analyses, 0);
  EXPECT_TRUE(found.files.empty());
  EXPECT_NE(log.text().find("Scanner(54): " + std::to_string(medium.Reader::size()) + " 777"), std::string::npos);
}

TEST_F(ScannerTest, Mp3PatternIsSilencedInsideTheMp3ItFound) {
  ScriptedModule mp3, other;
  mp3.type = "mp3";
  mp3.size = 3 * 512;
  other.type = "other";
  PatternTable t = {makePattern("mp3", "ID3", 0, &mp3), makePattern("o", "OTHER", 0, &other)};
  scanner.init(t, &found);
  put(10, "ID3");
  put(11, "ID3");
  put(12, "OTHER");
  put(13, "ID3");
  scanAll();
  ASSERT_EQ(found.files.size(), 3u);
  EXPECT_EQ(found.files[0].offset, 10u * 512);
  EXPECT_EQ(found.files[1].attributes.getString("t"), "other");
  EXPECT_EQ(found.files[2].offset, 13u * 512);
  EXPECT_EQ(mp3.analyses, 2);
}

TEST_F(ScannerTest, MpegIndexIsTheLastMpegBeforeTheFirstMp3) {
  ScriptedModule mpeg1, mpeg2, mp3, mpegLate;
  // Each later hit ends before the file it lies in, so only silencing can
  // drop it.
  for (ScriptedModule* m : {&mpeg1, &mpeg2, &mp3, &mpegLate}) m->size = 4 * 512, m->shrink = 2 * 512;
  mpeg1.type = "one";
  mpeg2.type = "two";
  mpegLate.type = "late";
  PatternTable t = {makePattern("mpeg", "M1", 0, &mpeg1), makePattern("mpeg", "M2", 0, &mpeg2),
                    makePattern("mp3", "ID3", 0, &mp3), makePattern("mpeg", "M3", 0, &mpegLate)};
  scanner.init(t, &found);
  put(10, "M1");
  put(11, "M1");  // the first "mpeg" pattern is not silenced
  put(20, "M2");
  put(21, "M2");  // silenced
  put(30, "M3");
  put(31, "M3");  // after the mp3 pattern: not silenced
  scanAll();
  std::vector<uint64_t> offsets;
  for (auto& f : found.files) offsets.push_back(f.offset / 512);
  EXPECT_EQ(offsets, (std::vector<uint64_t>{10, 11, 20, 30, 31}));
}

TEST_F(ScannerTest, Mp3FirstMeansNoMpegSilencing) {
  ScriptedModule mp3, mpeg;
  mpeg.size = 8 * 512;
  mpeg.shrink = 2 * 512;
  PatternTable t = {makePattern("mp3", "ID3", 0, &mp3), makePattern("mpeg", "MPG", 0, &mpeg)};
  scanner.init(t, &found);
  put(10, "MPG");
  put(11, "MPG");
  scanAll();
  EXPECT_EQ(found.files.size(), 2u);
}

TEST_F(ScannerTest, NoCallbackStillWalksWithoutCrashing) {
  PatternTable t = {makePattern("img", "PENDING", 0, nullptr)};
  scanner.init(t, nullptr);
  put(1, "PENDING");
  scanAll();
  SUCCEED();
}

TEST_F(ScannerTest, InitFromAPatternFile) {
  TempDir dir;
  dir.write("Scanner.cfg", "Type: jpeg\nPattern: \\xFF\\xD8\\xFF\nAnalyze File Module: jpeg\n");
  scanner.init(dir.file("Scanner.cfg"), &found);
  ASSERT_EQ(scanner.patterns().size(), 1u);
  put(20, "\xFF\xD8\xFF\xD9");
  scanAll();
  ASSERT_EQ(found.files.size(), 1u);
  EXPECT_EQ(found.files[0].offset, 20u * 512);
  EXPECT_THROW(scanner.init(dir.file("missing.cfg"), &found), std::runtime_error);
}

}  // namespace

TEST_F(ScannerTest, ASuffixOfAFileOfTheSameModuleIsNoNewFile) {
  // A header in every sector, each claiming the rest of a 20-sector medium
  // (so every later hit ends where the first does), and one that ends
  // inside it (an embedded file of the same kind): the suffixes go, the
  // embedded file stays, another module's file inside stays.
  ScriptedModule riff, other;
  riff.size = 20 * 512;
  riff.shrink = 512;
  other.type = "other";
  PatternTable t = {makePattern("riff", "RIFF", 0, &riff), makePattern("other", "OTHER", 0, &other)};
  scanner.init(t, &found);
  for (int s = 0; s < 6; ++s) put(s, "RIFF");
  put(7, "OTHER");
  scanAll();
  std::vector<std::pair<uint64_t, std::string>> got;
  for (auto& f : found.files) got.push_back({f.offset / 512, f.attributes.getString("t")});
  EXPECT_EQ(got, (std::vector<std::pair<uint64_t, std::string>>{{0, "scripted"}, {7, "other"}}));

  // An embedded file ends before its container: it stays.
  found.files.clear();
  riff.size = 10 * 512;
  riff.shrink = 5 * 512;
  scanner.init(t, &found);
  scanAll();
  ASSERT_GE(found.files.size(), 2u);
  EXPECT_EQ(found.files[1].offset, 512u);
  EXPECT_EQ(found.files[1].size, 5u * 512);
}
