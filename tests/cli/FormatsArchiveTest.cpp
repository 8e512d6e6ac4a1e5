// mzk-recover on archives and documents: from a carve image by their
// signatures, and from a FAT card by their names, whatever the extension.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tests/cli/CliSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/ArchiveSamples.h"
#include "tests/support/CarveImage.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

// The rows of --list: offset, size, type, fragmented, deleted, fs, name.
std::vector<std::vector<std::string>> listOf(const std::vector<std::string>& args) {
  ToolResult r = runRecover(args);
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    std::istringstream row(line);
    rows.emplace_back(8);
    for (std::string& field : rows.back()) std::getline(row, field, '\t');
  }
  return rows;
}

}  // namespace

TEST(FormatsArchive, CarveImageGivesEveryArchiveAndDocumentBackByteForByte) {
  CarveImage image;
  for (const Sample& s : archiveSamples()) image.add(s.name, s.bytes, 2);
  image.pad(2);
  TempDir dir;
  writeFile(dir.file("carve.img"), image.bytes());
  std::string out = dir.file("out");
  ASSERT_EQ(runRecover({"-o", out, dir.file("carve.img")}).status, 0);
  for (const auto& placed : image.files()) {
    std::string name = std::to_string(placed.offset) + "-" + std::to_string(placed.bytes.size()) + "." +
                       archiveSample(placed.name)->type;
    EXPECT_TRUE(readFile(out + "/" + name) == placed.bytes) << placed.name << " as " << name;
  }
  EXPECT_EQ(namesIn(out).size(), image.files().size());
}

TEST(FormatsArchive, EveryFileAFatDirectoryNamesComesBackAndZipSelectsOfficeDocuments) {
  if (!haveTool("mkfs.vfat") || !haveTool("mcopy")) GTEST_SKIP() << "needs dosfstools and mtools";
  TempDir dir;
  std::string image = dir.file("card.img");
  ASSERT_TRUE(sh("truncate -s 32M " + quote(image) + " && mkfs.vfat -F 16 " + quote(image)));
  // Files that no pattern knows, named as users name them, one deleted.
  std::map<std::string, std::string> files = {{"notes.pages", noise(3000, 1)}, {"song.aiff", noise(7000, 2)},
      {"run.sh", "#!/bin/sh\necho hello\n"}, {"README", noise(900, 3)}, {"Old notes.xyz", noise(2500, 4)}};
  for (const Sample& s : archiveSamples()) files[s.name] = s.bytes;
  for (const auto& f : files) {
    writeFile(dir.file("f"), f.second);
    ASSERT_TRUE(sh("MTOOLS_SKIP_CHECK=1 mcopy -i " + quote(image) + " " + quote(dir.file("f")) +
                      " " + quote("::" + f.first)));
  }
  ASSERT_TRUE(sh("MTOOLS_SKIP_CHECK=1 mdel -i " + quote(image) + " '::Old notes.xyz'"));

  std::map<std::string, std::vector<std::string>> byName;
  for (auto& row : listOf({"--list", image}))
    if (row[5] == "0") byName[row[7]] = row;
  for (const auto& f : files) {
    ASSERT_EQ(byName.count(f.first), 1u) << f.first;
    const auto& row = byName[f.first];
    EXPECT_EQ(row[1], std::to_string(f.second.size())) << f.first;
    size_t dot = f.first.rfind('.');
    EXPECT_EQ(row[2], dot == std::string::npos ? "file" : f.first.substr(dot + 1)) << f.first;
    EXPECT_EQ(row[4], f.first == "Old notes.xyz" ? "1" : "0") << f.first;
  }
  std::string out = dir.file("out");
  ASSERT_EQ(runRecover({"--keep-names", "-o", out, image}).status, 0);
  for (const auto& f : files) EXPECT_TRUE(readFile(out + "/" + f.first) == f.second) << f.first;

  // Office documents are ZIP archives to --types zip.
  std::map<std::string, int> types;
  for (auto& row : listOf({"--list", "--types", "zip", image})) ++types[row[2]];
  EXPECT_GT(types["zip"], 0);
  bool office = archiveSample("letter.docx") != nullptr;
  EXPECT_EQ(types.size(), office ? 3u : 1u);
  EXPECT_EQ(types.count("docx") + types.count("odt"), office ? 2u : 0u);
}
