// The signature scanner: first match in table order, pending files, "Max
// Size" windows, the self-silencing of stream patterns, and the byte
// dispatch over many patterns.

#include "engine/Scanner.h"

#include <gtest/gtest.h>

#include <memory>

#include "EngineFixtures.h"
#include "engine/FileModuleRegistry.h"
#include "tests/support/MemoryReader.h"

namespace {

// What a pattern's scripted module answers: a file of `type` and `size`
// (less `shrink` for each file after the first, so that later hits end
// sooner), a failed analysis (size 0), or no module at all (a pending file).
struct Answer {
  const char* type;
  uint64_t size;
  uint64_t shrink = 0;
};
const Answer kPending = {nullptr, 0};
const Answer kFails = {"", 0};

struct PatternSpec {
  const char* type;
  std::string bytes;
  Answer answer;
  uint64_t maxSize = Pattern::kDefaultMaxSize;
  uint32_t offset = 0;
};

struct Put {
  uint64_t sector;
  std::string bytes;
  uint32_t offset = 0;
};

struct Collector : Scanner::Callback {
  void found(const FileModule::File& file) override {
    text += (text.empty() ? "" : ", ") + std::to_string(file.offset / 512) + " " + file.attributes.getString("t") +
            " " + std::to_string(file.size);
  }
  std::string text;
};

Pattern patternOf(const std::string& type, const std::string& bytes, uint32_t offset, FileModule* module,
                  uint64_t maxSize = Pattern::kDefaultMaxSize) {
  Pattern p;
  p.setType(type);
  if (!bytes.empty()) p.setPattern(offset, reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
  p.setAnalyzeModule(module);
  p.setMaxSize(maxSize);
  return p;
}

// Scans a medium of 100 sectors holding `puts` with the table, sector by
// sector as the scan run does; the files found as "sector type size".
std::string scan(const std::vector<PatternSpec>& specs, const std::vector<Put>& puts) {
  MemoryReader medium(uint64_t(100 * 512));
  for (const Put& put : puts) medium.put(put.sector * 512 + put.offset, put.bytes);
  std::vector<std::unique_ptr<ScriptedModule>> modules;
  PatternTable table;
  for (const PatternSpec& s : specs) {
    ScriptedModule* module = nullptr;
    if (s.answer.type) {
      modules.emplace_back(module = new ScriptedModule);
      module->type = s.answer.type;
      module->size = s.answer.size;
      module->shrink = s.answer.shrink;
      module->analyzeResult = s.answer.size != 0;
    }
    table.push_back(patternOf(s.type, s.bytes, s.offset, module, s.maxSize));
  }
  FileModuleRegistry registry;
  Scanner scanner(&medium, &registry);
  Collector found;
  scanner.init(table, &found);
  for (uint64_t at = 0; at < medium.Reader::size(); at += 512) scanner.check(at, medium.bytes().data() + at, 512);
  scanner.finish(medium.Reader::size());
  return found.text;
}

}  // namespace

TEST(Scanner, FilesFoundForEachTableAndMedium) {
  const struct {
    const char* what;
    std::vector<PatternSpec> table;
    std::vector<Put> puts;
    const char* found;
  } cases[] = {
      {"the first pattern that yields a file claims the sector",
       {{"a", "HIT", {"first", 1024}}, {"b", "HIT", {"second", 1024}}}, {{3, "HIT"}}, "3 first 1024"},
      {"a failed analysis passes the sector on",
       {{"a", "HIT", kFails}, {"b", "HIT", {"second", 1024}}}, {{3, "HIT"}}, "3 second 1024"},
      {"table order wins over the signature's place",
       {{"d", "DEEP", {"deep", 1024}, Pattern::kDefaultMaxSize, 200}, {"s", "SH", {"shallow", 1024}}},
       {{1, "SH"}, {1, "DEEP", 200}, {2, "SH"}}, "1 deep 1024, 2 shallow 1024"},
      {"a pending file runs to the next file found",
       {{"j", "JPG", {"jpeg", 4}}, {"mpg", "PENDING", kPending}}, {{10, "PENDING"}, {50, "JPG"}},
       "10 mpg 20480, 50 jpeg 4"},
      {"a pending file is cut at its Max Size",
       {{"j", "JPG", {"jpeg", 4}}, {"mpg", "PENDING", kPending, 3000}}, {{10, "PENDING"}, {50, "JPG"}},
       "10 mpg 3000, 50 jpeg 4"},
      {"a pending file ends where the scan ends", {{"img", "PENDING", kPending}}, {{90, "PENDING"}}, "90 img 5120"},
      {"a second pending file closes the first",
       {{"a", "AAAA", kPending}, {"b", "BBBB", kPending}}, {{4, "AAAA"}, {7, "BBBB"}}, "4 a 1536, 7 b 47616"},
      {"a failed analysis does not close a pending file",
       {{"x", "XX", kFails}, {"img", "PENDING", kPending}}, {{2, "PENDING"}, {6, "XX"}}, "2 img 50176"},
      {"the module sees Max Size bytes, cut at the medium's end",
       {{"m", "WIN", {"m", 4096}, 2048}}, {{10, "WIN"}, {99, "WIN"}}, "10 m 2048, 99 m 512"},
      {"an MP3 silences its pattern until its end",
       {{"mp3", "ID3", {"mp3", 1536}}, {"o", "OTHER", {"other", 1024}}},
       {{10, "ID3"}, {11, "ID3"}, {12, "OTHER"}, {13, "ID3"}}, "10 mp3 1536, 12 other 1024, 13 mp3 1536"},
      {"of the MPEG patterns, the last before the first MP3 one silences itself",
       {{"mpeg", "M1", {"one", 2048, 1024}}, {"mpeg", "M2", {"two", 2048, 1024}}, {"mp3", "ID3", {"mp3", 2048}},
        {"mpeg", "M3", {"late", 2048, 1024}}},
       {{10, "M1"}, {11, "M1"}, {20, "M2"}, {21, "M2"}, {30, "M3"}, {31, "M3"}},
       "10 one 2048, 11 one 1024, 20 two 2048, 30 late 2048, 31 late 1024"},
      {"an MPEG pattern after the first MP3 one does not",
       {{"mp3", "ID3", {"mp3", 2048}}, {"mpeg", "MPG", {"mpeg", 4096, 2048}}}, {{10, "MPG"}, {11, "MPG"}},
       "10 mpeg 4096, 11 mpeg 2048"},
      {"a file that starts inside another of its module and reaches its end is no new file",
       {{"riff", "RIFF", {"riff", 20 * 512, 512}}, {"o", "OTHER", {"other", 1024}}},
       {{0, "RIFF"}, {1, "RIFF"}, {2, "RIFF"}, {5, "RIFF"}, {7, "OTHER"}}, "0 riff 10240, 7 other 1024"},
      {"one that ends before it is a file of its own",
       {{"riff", "RIFF", {"riff", 10 * 512, 5 * 512}}}, {{0, "RIFF"}, {1, "RIFF"}}, "0 riff 5120, 1 riff 2560"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.found, scan(c.table, c.puts)) << c.what;
}

TEST(Scanner, ManyPatternsAcrossDispatchWordsKeepTheirOrder) {
  std::vector<PatternSpec> table;
  std::vector<std::string> types(130);
  for (int i = 0; i < 130; ++i) {
    types[i] = "m" + std::to_string(i);
    table.push_back({"p", "P" + std::to_string(i) + ";", {types[i].c_str(), 512}, Pattern::kDefaultMaxSize,
                     uint32_t(i % 3)});
  }
  // Without bytes: a candidate for every sector, but the last one.
  table.push_back({"all", "", {"all", 512}});
  std::string found = scan(table, {{5, "P128;", 128 % 3}, {6, "P70;", 70 % 3}, {7, "P1;", 1}});
  EXPECT_EQ("0 all 512, 1 all 512, 2 all 512, 3 all 512, 4 all 512, 5 m128 512, 6 m70 512, 7 m1 512, 8 all 512",
            found.substr(0, found.find(", 9 ")));
}

TEST(Scanner, PatternFileRefusedWindowAndNoReceiver) {
  mzktest::TempDir dir;
  dir.write("Scanner.cfg", "Type: img\nPattern: IMG\nMax Size: 777\n");
  FileModuleRegistry registry;
  MemoryReader medium(uint64_t(4096));
  Scanner scanner(&medium, &registry);
  EXPECT_THROW(scanner.init(dir.file("missing.cfg"), nullptr), std::runtime_error);
  scanner.init(dir.file("Scanner.cfg"), nullptr);
  ASSERT_EQ(1u, scanner.patterns().size());
  uint8_t sector[512] = {'I', 'M', 'G'};
  scanner.check(0, sector, 512);
  scanner.finish(4096);  // a pending file and nobody to tell

  ScriptedModule module;
  PatternTable table = {patternOf("m", "WIN", 0, &module, 777)};
  Collector found;
  scanner.init(table, &found);
  sector[0] = 'W', sector[1] = 'I', sector[2] = 'N';
  scanner.check(4096, sector, 512);  // at the medium's end: no window
  EXPECT_EQ(0, module.analyses);
  EXPECT_EQ("", found.text);
}
