// mzk-recover on FAT cards made by mkfs.vfat and mtools: names, fragmented
// files, byte runs, and unreadable sectors that must be reported.

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "tests/cli/CliSupport.h"
#include "tests/support/Tools.h"

namespace {

class FatCardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("mkfs.vfat") || !haveTool("mcopy") || !haveTool("convert")) GTEST_SKIP() << "needs dosfstools, mtools, ImageMagick";
    photo = dir.file("photo.jpg");
    ASSERT_TRUE(shell("convert rose: -resize 1200x800! -quality 90 '" + photo + "'"));
    photoBytes = readFile(photo);
    image = dir.file("fat.img");
    // 512-byte clusters, so that a photo spans many of them.
    ASSERT_TRUE(shell("truncate -s 16M '" + image + "' && mkfs.vfat -F 16 -s 1 '" + image + "'"));
  }
  bool mtools(const std::string& args) { return shell("MTOOLS_SKIP_CHECK=1 " + args); }
  // Fills the volume with small files, deletes every other one and writes
  // the photo, which then has to use the holes.
  void writeFragmentedPhoto(const std::string& name) {
    for (int i = 0; i < 6; ++i) {
      std::string filler = dir.file("fill" + std::to_string(i));
      writeFile(filler, std::string(9000 + i, static_cast<char>('a' + i)));
      ASSERT_TRUE(mtools("mcopy -i '" + image + "' '" + filler + "' ::FILL" + std::to_string(i) + ".BIN"));
    }
    ASSERT_TRUE(mtools("mdel -i '" + image + "' ::FILL1.BIN ::FILL3.BIN"));
    ASSERT_TRUE(mtools("mcopy -i '" + image + "' '" + photo + "' '::" + name + "'"));
  }
  std::vector<std::vector<std::string>> list() {
    ToolResult r = runRecover({"--list", image});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(r.out);
    std::string line;
    while (std::getline(in, line)) {
      std::vector<std::string> fields;
      size_t start = 0;
      for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
      fields.push_back(line.substr(start));
      rows.push_back(fields);
    }
    return rows;
  }

  CliTempDir dir;
  std::string photo, photoBytes, image;
};

}  // namespace

TEST_F(FatCardTest, LiveFileIsListedWithItsVolumeAndNameAndRecoveredExact) {
  ASSERT_TRUE(mtools("mmd -i '" + image + "' ::DCIM"));
  ASSERT_TRUE(mtools("mcopy -i '" + image + "' '" + photo + "' '::DCIM/Holiday Photo.jpg'"));
  auto rows = list();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], std::to_string(photoBytes.size()));
  EXPECT_EQ(rows[0][2], "jpeg");
  EXPECT_EQ(rows[0][3], "0");
  EXPECT_EQ(rows[0][4], "0") << "live";
  EXPECT_EQ(rows[0][5], "0");
  EXPECT_EQ(rows[0][7], "Holiday Photo.jpg");
  std::string out = dir.file("out");
  ToolResult r = runRecover({"-o", out, image});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(namesIn(out), std::vector<std::string>{rows[0][0] + "-" + rows[0][1] + ".jpeg"});

  // Deleted, it is still listed, with its long name, and marked so.
  ASSERT_TRUE(mtools("mdel -i '" + image + "' '::DCIM/Holiday Photo.jpg'"));
  auto deleted = list();
  ASSERT_EQ(deleted.size(), 1u);
  EXPECT_EQ(deleted[0][0], rows[0][0]);
  EXPECT_EQ(deleted[0][4], "1");
  EXPECT_EQ(deleted[0][7], "Holiday Photo.jpg");
}

TEST_F(FatCardTest, FragmentedFileGetsTheMarkAndItsRunsRebuildIt) {
  writeFragmentedPhoto("FRAG.JPG");
  // The signature scanner may also see a JPEG start at the first cluster
  // (and walk on through the wrong sectors): only the volume's file counts.
  auto rows = list();
  std::vector<std::vector<std::string>> fat;
  for (auto& row : rows)
    if (row[5] == "0" && row[7] == "FRAG.JPG") fat.push_back(row);
  ASSERT_EQ(fat.size(), 1u);
  rows = fat;
  EXPECT_EQ(rows[0][3], "1");
  EXPECT_EQ(rows[0][7], "FRAG.JPG");
  std::string out = dir.file("out");
  std::string report = dir.file("r.xml");
  ToolResult r = runRecover({"-o", out, "--report", report, image});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string name = rows[0][0] + "-" + rows[0][1] + "f.jpeg";
  EXPECT_EQ(readFile(out + "/" + name), photoBytes);
  // Reassemble the volume's file (the report's entry with that name).
  std::string xml = readFile(report);
  size_t entry = xml.find("<filename>" + name + "</filename>");
  ASSERT_NE(entry, std::string::npos);
  xml = xml.substr(entry, xml.find("</fileobject>", entry) - entry);
  // ... from the image along the reported runs.
  std::string image_bytes = readFile(image);
  std::string rebuilt;
  size_t runs = 0;
  for (size_t at = xml.find("<byte_run "); at != std::string::npos; at = xml.find("<byte_run ", at + 1)) {
    auto value = [&](const std::string& key) {
      size_t k = xml.find(key + "=\"", at);
      return std::stoull(xml.substr(k + key.size() + 2));
    };
    EXPECT_EQ(value("file_offset"), rebuilt.size());
    rebuilt += image_bytes.substr(value("img_offset"), value("len"));
    ++runs;
  }
  EXPECT_GE(runs, 2u);
  EXPECT_EQ(rebuilt, photoBytes);
  EXPECT_TRUE(mzktest::validatesAsDfxml(report));
}

TEST_F(FatCardTest, WithoutKeepNamesFatFilesGetOffsetNames) {
  writeFragmentedPhoto("FRAG.JPG");
  std::string out = dir.file("out");
  ASSERT_EQ(runRecover({"-o", out, image}).status, 0);
  for (const std::string& name : namesIn(out)) EXPECT_EQ(name.find("FRAG"), std::string::npos) << name;
}

TEST_F(FatCardTest, KeepNamesUsesFatNamesAndResolvesClashesWithTheOffset) {
  ASSERT_TRUE(mtools("mmd -i '" + image + "' ::DCIM ::DCIM/100CANON ::DCIM/101CANON"));
  ASSERT_TRUE(mtools("mcopy -i '" + image + "' '" + photo + "' ::DCIM/100CANON/IMG_0001.JPG"));
  std::string other = dir.file("other.jpg");
  ASSERT_TRUE(shell("convert logo: -resize 800x600! '" + other + "'"));
  ASSERT_TRUE(mtools("mcopy -i '" + image + "' '" + other + "' ::DCIM/101CANON/IMG_0001.JPG"));
  auto rows = list();
  ASSERT_EQ(rows.size(), 2u);
  std::string out = dir.file("out");
  ToolResult r = runRecover({"--keep-names", "-o", out, image});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string second = "IMG_0001-" + rows[1][0] + ".JPG";
  EXPECT_EQ(namesIn(out), (std::vector<std::string>{second, "IMG_0001.JPG"}));
  EXPECT_EQ(readFile(out + "/IMG_0001.JPG"), rows[0][1] == std::to_string(photoBytes.size()) ? photoBytes : readFile(other));
  EXPECT_EQ(readFile(out + "/" + second).size(), std::stoull(rows[1][1]));
}

TEST_F(FatCardTest, UnreadableSectorInAFileIsZeroFilledReportedAndFailsTheRun) {
  ASSERT_TRUE(mtools("mcopy -i '" + image + "' '" + photo + "' ::PHOTO.JPG"));
  auto rows = list();
  ASSERT_EQ(rows.size(), 1u);
  // Inside the file, and its very first sector (the file is still listed:
  // its directory entry vouches for it).
  for (uint64_t at : {uint64_t(4096), uint64_t(0)}) {
    uint64_t bad = std::stoull(rows[0][0]) + at;
    std::string out = dir.file("out" + std::to_string(at));
    ToolResult r = runRecover({"-o", out, "--simulate-bad", std::to_string(bad) + ":512", image});
    EXPECT_EQ(r.status, 2) << r.err;
    std::string name = rows[0][0] + "-" + rows[0][1] + ".jpeg";
    EXPECT_NE(r.err.find(out + "/" + name + ": 512 unreadable bytes written as zeros (at file offset+length " +
                         std::to_string(at) + "+512)"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("with unreadable parts"), std::string::npos);
    std::string got = readFile(out + "/" + name);
    ASSERT_EQ(got.size(), photoBytes.size());
    std::string expected = photoBytes;
    expected.replace(at, 512, std::string(512, '\0'));
    EXPECT_TRUE(got == expected);
  }
}
