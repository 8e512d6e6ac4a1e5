// Archive and document modules: real files from Debian tools among noise,
// the same files cut, damaged or overstating their sizes, and the names,
// times and types they carry.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <map>

#include "engine/FileModuleRegistry.h"
#include "engine/modules/OleSummary.h"
#include "tests/support/ArchiveSamples.h"
#include "tests/support/CarveImage.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

const uint64_t kRefused = UINT64_MAX;

FileModule& moduleFor(const std::string& type) {
  static FileModuleRegistry registry;
  return *registry.findModule(type == "html" || type == "xml" ? "text" : type);
}

// The size the module finds in exactly `bytes`, or kRefused.
uint64_t sizeFound(const std::string& type, const std::string& bytes, FileModule::File* out = nullptr) {
  MemoryReader reader(bytes.data(), bytes.size());
  FileModule::File file;
  if (!moduleFor(type).analyze(reader, file)) return kRefused;
  EXPECT_LE(file.size, bytes.size());
  if (out) *out = file;
  return file.size;
}

// Where the archive's second member, the noise, starts: its header.
uint64_t secondMember(const Sample& s) {
  const std::string& b = s.bytes;
  if (s.type == "rar") return b.find(sampleText()) + sampleText().size();
  if (s.type == "arj") return b.rfind("\x60\xEA", b.find("b.bin"));
  return b.rfind("-lh", b.find("b.bin")) - 2;  // lzh
}

uint32_t le32At(const std::string& b, size_t at) {
  return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}

int64_t modifiedTime(const std::string& name) {
  struct stat st;
  std::string path = std::string(MZK_APP_DIR) + "/../tests/archive-samples/" + name;
  return stat(path.c_str(), &st) == 0 ? int64_t(st.st_mtime) : 0;
}

}  // namespace

TEST(ArchiveFormats, EverySampleEndsExactlyAmongNoiseAndNothingElseIsFound) {
  ASSERT_GE(archiveSamples().size(), 8u) << "the built layouts and Debian's documents at least";
  CarveImage image;
  for (const Sample& s : archiveSamples()) image.add(s.name, s.bytes, 3);
  image.pad(4);
  // Titles and save times where the formats carry them (LibreOffice writes
  // the UTF-8 code page, and no save time for a new document).
  const std::map<std::string, std::pair<std::string, bool>> kCarried = {
      {"letter.doc", {"Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln", false}}, {"sheet.xls", {"Sheet title", false}},
      {"slides.ppt", {"Slides", false}}, {"setup.msi", {"Installation Database", true}}, {"archive.arj", {"archive", true}}};
  std::vector<FileModule::File> found = scanImage(image.bytes());
  for (const auto& placed : image.files()) {
    const FileModule::File* file = foundAt(found, placed.offset, archiveSample(placed.name)->type);
    ASSERT_NE(file, nullptr) << placed.name;
    EXPECT_EQ(file->size, placed.bytes.size()) << placed.name;
    auto carried = kCarried.find(placed.name);
    bool timed = carried != kCarried.end() && carried->second.second;
    EXPECT_EQ(file->attributes.getString("name"), carried == kCarried.end() ? "" : carried->second.first);
    EXPECT_EQ(file->attributes.has("time"), timed) << placed.name;
    if (timed) {  // made with the sample (DOS times count in 2 s steps)
      EXPECT_NEAR(file->attributes.getInt32("time", 0), double(modifiedTime(placed.name)), 120.0) << placed.name;
    }
  }
  // No plain text inside the archives and documents, nothing in the noise.
  for (const FileModule::File& file : found) {
    bool isPlaced = false;
    for (const auto& placed : image.files()) isPlaced = isPlaced || placed.offset == file.offset;
    EXPECT_TRUE(isPlaced) << file.attributes.getString("t") << " at " << file.offset;
  }
}

TEST(ArchiveFormats, CutDamagedOrOverstatedFilesAreRefusedOrEndAtTheirLastWholeMember) {
  typedef std::function<void(std::string&, const Sample&)> Damage;
  auto cutAt = [](double fraction) { return [=](std::string& b, const Sample&) { b.resize(size_t(b.size() * fraction)); }; };
  auto cutInNoise = [](std::string& b, const Sample& s) { b.resize(secondMember(s) + 300); };
  // At `at` bytes into the second member's header: a broken byte, or a huge data length.
  auto breakAt = [](uint64_t at) { return [=](std::string& b, const Sample& s) { b[secondMember(s) + at] ^= 0x20; }; };
  auto hugeAt = [](uint64_t at) { return [=](std::string& b, const Sample& s) { setLe32(b, secondMember(s) + at, 0x7FFFFFFF); }; };
  auto zeroAtHalf = [](std::string& b, const Sample&) { b[b.size() / 2] = 0; };
  const uint64_t kWholeMembers = kRefused - 1;  // the end of the first member
  struct Case {
    const char* sample;
    const char* damage;
    Damage apply;
    uint64_t expected;
  } cases[] = {
      {"deflated.zip", "cut in the central directory", cutAt(0.999), kRefused},
      {"deflated.zip", "second local header broken", [](std::string& b, const Sample&) { b[b.find("PK\3\4", 4) + 3] = 5; }, kRefused},
      {"streamed.zip", "comment longer than the file", [](std::string& b, const Sample&) { b[b.rfind("PK\5\6") + 20] += 1; }, kRefused},
      {"old.rar", "cut in the noise", cutInNoise, kWholeMembers},
      {"old.rar", "second block's data beyond the end", hugeAt(7), kWholeMembers},
      {"new.rar", "cut in the noise", cutInNoise, kWholeMembers},
      {"new.rar", "second header's CRC broken", breakAt(0), kWholeMembers},
      {"archive.arj", "cut in the noise", cutInNoise, kWholeMembers},
      {"archive.arj", "second member's data beyond the end", hugeAt(16), kWholeMembers},
      {"level0.lzh", "cut in the noise", cutInNoise, kWholeMembers},
      {"level2.lzh", "second method broken", breakAt(3), kWholeMembers},
      {"level2.lzh", "second member's data beyond the end", hugeAt(7), kWholeMembers},
      {"Inbox.dbx", "cut", cutAt(0.5), kRefused},
      {"Inbox.dbx", "size below its own header", [](std::string& b, const Sample&) { setLe32(b, 0x7C, 0x40); }, kRefused},
      {"letter.doc", "cut", cutAt(0.7), kRefused},
      {"letter.doc", "directory entry with an odd name length",
       [](std::string& b, const Sample&) { b[(le32At(b, 0x30) + 1) * 512 + 0x40] = 21; }, kRefused},
      {"users-and-groups.html", "a zero byte in the middle", zeroAtHalf, kRefused},
      {"mime-spec.xml", "a zero byte in the middle", zeroAtHalf, kRefused},
  };
  for (const Case& c : cases) {
    const Sample* s = archiveSample(c.sample);
    if (!s) continue;  // its tool is not installed
    std::string bytes = s->bytes;
    c.apply(bytes, *s);
    uint64_t expected = c.expected == kWholeMembers ? secondMember(*s) : c.expected;
    EXPECT_EQ(sizeFound(s->type, bytes), expected) << c.sample << ": " << c.damage;
  }
}

// A summary section built by hand: a title in code page 1252, a save time.
TEST(OleSummaryDecoding, TitlesFollowTheCodePageAndTimesCountFrom1970) {
  std::string s(24, '\0'), values;
  putLe32(s, 1);
  s += std::string("\xE0\x85\x9F\xF2\xF9\x4F\x68\x10\xAB\x91\x08\x00\x2B\x27\xB3\xD9", 16);
  putLe32(s, 48);  // the section: size, count, three (id, offset), values
  putLe32(values, 2);
  putLe32(values, 1252);
  values += std::string("\x1E\0\0\0\5\0\0\0Caf\xE9\0", 13);
  putLe32(values, 0x40);
  putLe64(values, (uint64_t(1614834367) + kFiletimeTo1970) * 10000000);  // 2021-03-04 05:06:07 UTC
  putLe32(s, uint32_t(32 + values.size()));
  putLe32(s, 3);
  for (uint32_t v : {1, 32, 2, 40, 13, 53}) putLe32(s, v);  // code page, title, time
  s += values;
  OleSummary summary;
  ASSERT_TRUE(decodeOleSummary(reinterpret_cast<const uint8_t*>(s.data()), s.size(), summary));
  EXPECT_EQ(summary.title, "Caf\xC3\xA9");
  EXPECT_TRUE(summary.hasTime);
  EXPECT_EQ(summary.time, 1614834367);
}

// Office documents are ZIP archives typed by their entries; streamed
// entries end at the next header, looked for over 10 MiB at most.
TEST(ArchiveFormats, ZipArchivesAreTypedByTheirEntriesAndStreamedDataIsSearchedBoundedly) {
  if (!haveTool("zip")) GTEST_SKIP() << "zip is not installed";
  TempDir dir;
  auto mimetype = [](const char* kind) { return "application/vnd.oasis.opendocument." + std::string(kind); };
  struct Case {
    std::vector<std::pair<std::string, std::string>> entries;  // stored in this order
    const char* type;
  } cases[] = {
      {{{"[Content_Types].xml", "<Types/>"}, {"xl/workbook.xml", "<workbook/>"}}, "xlsx"},
      {{{"[Content_Types].xml", "<Types/>"}, {"ppt/presentation.xml", "<p/>"}}, "pptx"},
      {{{"mimetype", mimetype("spreadsheet")}, {"content.xml", "<c/>"}}, "ods"},
      {{{"mimetype", "application/epub+zip"}, {"content.opf", "<c/>"}}, "zip"},
      {{{"content.xml", "<c/>"}, {"mimetype", mimetype("text")}}, "zip"},  // not the first entry
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::string folder = dir.file("z" + std::to_string(i)), names;
    for (auto& e : cases[i].entries) {
      sh("mkdir -p " + quote(folder + "/" + e.first.substr(0, e.first.rfind('/') + 1)));
      writeFile(folder + "/" + e.first, e.second);
      names += " " + quote(e.first);
    }
    ASSERT_TRUE(sh("cd " + quote(folder) + " && zip -q -X -0 ../z.zip" + names + " && mv ../z.zip ."));
    std::string zip = readFile(folder + "/z.zip");
    FileModule::File file;
    EXPECT_EQ(sizeFound("zip", zip, &file), zip.size()) << cases[i].type;
    EXPECT_EQ(file.attributes.getString("t"), cases[i].type);
  }
  // Noise deflates to 7/8: 9.1 MB of data found, 10.9 MB (past the limit) not.
  for (uint64_t length : {uint64_t(10400000), uint64_t(12500000)}) {
    writeFile(dir.file("big"), noise(length, 5));
    ASSERT_TRUE(sh("cd " + quote(dir.path()) + " && (cat big | zip -q - - | cat > big.zip)"));
    std::string zip = readFile(dir.file("big.zip"));
    bool overLimit = length > 12000000;
    ASSERT_EQ(zip.size() > 10485760 + 200, overLimit);
    EXPECT_EQ(sizeFound("zip", zip), overLimit ? kRefused : zip.size()) << length;
  }
}

TEST(PlainText, WholeSectorsOfTextStartAFileThatEndsAtItsLastAsciiByte) {
  std::string text = sampleText();
  struct Case {
    std::string bytes;
    bool starts;      // the first sector passes the scan
    uint64_t size;    // the size analyze finds, or kRefused
  } cases[] = {
      {text + noise(600, 3), true, text.size()},
      {text.substr(0, text.find('\n', 600) + 1) + '\0' + text, true, text.find('\n', 600) + 1},
      {text.substr(0, 511) + "\xC3\xA9 " + noise(40, 1), true, 514},  // a character across the sector end
      {text.substr(0, text.find('\n', 200) + 1) + "\x1B" + text, false, text.find('\n', 200) + 1},  // an escape is no text
      {noise(1024, 9), false, kRefused},
  };
  FileModule& txt = moduleFor("txt");
  for (const Case& c : cases) {
    EXPECT_EQ(txt.scan(reinterpret_cast<const uint8_t*>(c.bytes.data()), 512), c.starts) << c.bytes.substr(0, 40);
    EXPECT_EQ(sizeFound("txt", c.bytes), c.size) << c.bytes.substr(0, 40);
  }
}
