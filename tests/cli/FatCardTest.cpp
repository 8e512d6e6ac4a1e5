// mzk-recover on FAT cards made by mkfs.vfat and mtools: names, deleted and
// fragmented files, byte runs, and unreadable sectors that must be reported.

#include <gtest/gtest.h>

#include "tests/cli/CliSupport.h"
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

class FatCard : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sh("convert rose: -resize 600x400! -quality 90 " + quote(dir.file("photo.jpg")))) << "ImageMagick is needed";
    photo = readFile(dir.file("photo.jpg"));
    // 512-byte clusters, so that a photo spans many of them.
    ASSERT_TRUE(image.ok());
  }
  // The rows of --list that come from the volume.
  std::vector<std::vector<std::string>> volumeRows() {
    ToolResult r = runRecover({"--list", image.path()});
    EXPECT_EQ(0, r.status) << r.err;
    std::vector<std::vector<std::string>> rows;
    for (const auto& row : listRows(r.out))
      if (row.size() == 8 && row[5] == "0") rows.push_back(row);
    return rows;
  }
  static std::string nameOf(const std::vector<std::string>& row) {
    return row[0] + "-" + row[1] + (row[3] == "1" ? "f" : "") + ".jpeg";
  }
  TempDir dir;
  FatImage image{dir.file("fat.img"), 16, 16, 1};
  std::string photo;
};

}  // namespace

TEST_F(FatCard, LiveAndDeletedFilesAreListedWithTheirNamesAndRecoveredExact) {
  ASSERT_TRUE(image.mkdir("::/DCIM"));
  ASSERT_TRUE(image.put("::/DCIM/Holiday Photo.jpg", photo));
  auto rows = volumeRows();
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ((std::vector<std::string>{std::to_string(photo.size()), "jpeg", "0", "0", "0", "-", "Holiday Photo.jpg"}),
            std::vector<std::string>(rows[0].begin() + 1, rows[0].end()));
  std::string out = dir.file("out");
  ASSERT_EQ(0, runRecover({"-o", out, image.path()}).status);
  EXPECT_TRUE(readFile(out + "/" + nameOf(rows[0])) == photo);
  ASSERT_TRUE(image.del("::/DCIM/Holiday Photo.jpg"));
  auto deleted = volumeRows();
  ASSERT_EQ(1u, deleted.size());
  EXPECT_EQ(rows[0][0], deleted[0][0]);
  EXPECT_EQ("1", deleted[0][4]);
  EXPECT_EQ("Holiday Photo.jpg", deleted[0][7]);
}

TEST_F(FatCard, AFragmentedFileIsMarkedAndItsByteRunsRebuildIt) {
  // Small files, every other one deleted: the photo has to use the holes.
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(image.put("::/FILL" + std::to_string(i) + ".BIN", std::string(9000 + i, 'a' + i)));
  ASSERT_TRUE(image.mtools("mdel", "::/FILL1.BIN ::/FILL3.BIN"));
  ASSERT_TRUE(image.put("::/FRAG.JPG", photo));
  std::vector<std::vector<std::string>> rows;
  for (const auto& row : volumeRows())
    if (row[7] == "FRAG.JPG") rows.push_back(row);
  ASSERT_EQ(1u, rows.size());
  EXPECT_EQ("1", rows[0][3]);
  EXPECT_EQ("FRAG.JPG", rows[0][7]);
  std::string out = dir.file("out"), report = dir.file("r.xml");
  ASSERT_EQ(0, runRecover({"-o", out, "--report", report, image.path()}).status);
  EXPECT_TRUE(readFile(out + "/" + nameOf(rows[0])) == photo);
  for (const std::string& name : namesIn(out)) EXPECT_EQ(std::string::npos, name.find("FRAG")) << "names are not kept";
  // The report's entry of that file, and the file rebuilt from the image
  // along its runs.
  std::string xml = readFile(report), bytes = readFile(image.path()), rebuilt;
  size_t entry = xml.find("<filename>" + nameOf(rows[0]) + "</filename>");
  ASSERT_NE(std::string::npos, entry);
  xml = xml.substr(entry, xml.find("</fileobject>", entry) - entry);
  size_t runs = 0;
  for (size_t at = xml.find("<byte_run "); at != std::string::npos; at = xml.find("<byte_run ", at + 1), ++runs) {
    auto value = [&](const std::string& key) { return std::stoull(xml.substr(xml.find(key + "=\"", at) + key.size() + 2)); };
    EXPECT_EQ(rebuilt.size(), value("file_offset"));
    rebuilt += bytes.substr(value("img_offset"), value("len"));
  }
  EXPECT_GE(runs, 2u);
  EXPECT_TRUE(rebuilt == photo);
  EXPECT_TRUE(validatesAsDfxml(report));
}

TEST_F(FatCard, KeepNamesUsesTheFatNamesAndResolvesClashesWithTheOffset) {
  ASSERT_TRUE(image.mtools("mmd", "::/DCIM ::/DCIM/100CANON ::/DCIM/101CANON"));
  ASSERT_TRUE(image.put("::/DCIM/100CANON/IMG_0001.JPG", photo));
  ASSERT_TRUE(sh("convert logo: -resize 320x240! " + quote(dir.file("other.jpg"))));
  std::string other = readFile(dir.file("other.jpg"));
  ASSERT_TRUE(image.put("::/DCIM/101CANON/IMG_0001.JPG", other));
  auto rows = volumeRows();
  ASSERT_EQ(2u, rows.size());
  std::string out = dir.file("out");
  ASSERT_EQ(0, runRecover({"--keep-names", "-o", out, image.path()}).status);
  std::string second = "IMG_0001-" + rows[1][0] + ".JPG";
  EXPECT_EQ((std::vector<std::string>{second, "IMG_0001.JPG"}), namesIn(out));
  bool photoFirst = rows[0][1] == std::to_string(photo.size());
  EXPECT_TRUE(readFile(out + "/IMG_0001.JPG") == (photoFirst ? photo : other));
  EXPECT_TRUE(readFile(out + "/" + second) == (photoFirst ? other : photo));
}

TEST_F(FatCard, AnUnreadableSectorIsZeroFilledReportedAndFailsTheRun) {
  ASSERT_TRUE(image.put("::/PHOTO.JPG", photo));
  auto rows = volumeRows();
  ASSERT_EQ(1u, rows.size());
  // Inside the file, and its very first sector: the file is still listed
  // and recovered, as its directory entry vouches for it.
  for (uint64_t at : {uint64_t(4096), uint64_t(0)}) {
    std::string out = dir.file("out" + std::to_string(at));
    std::string bad = std::to_string(std::stoull(rows[0][0]) + at) + ":512";
    ToolResult r = runRecover({"-o", out, "--simulate-bad", bad, image.path()});
    EXPECT_EQ(2, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(out + "/" + nameOf(rows[0]) + ": 512 unreadable bytes written as zeros " +
                                            "(at file offset+length " + std::to_string(at) + "+512)"))
        << r.err;
    EXPECT_NE(std::string::npos, r.err.find("with unreadable parts"));
    EXPECT_TRUE(readFile(out + "/" + nameOf(rows[0])) == std::string(photo).replace(at, 512, std::string(512, '\0')));
  }
}
