// mzk-recover on an exFAT card made by mkfs.exfat and the test writer: names
// and state in the list, names kept on recovery, and the byte runs of a
// fragmented photo in the report.

#include <gtest/gtest.h>

#include <sstream>

#include "tests/cli/CliSupport.h"
#include "tests/support/Tools.h"
#include "tests/support/TempDir.h"
#include "tests/support/ExfatImage.h"

using namespace mzktest;

TEST(ExfatCard, ListedWithNamesRecoveredUnderThemAndReportedRunByRun) {
  TempDir dir;
  if (!haveTool("mkfs.exfat") || !haveTool("convert")) GTEST_SKIP() << "needs exfatprogs, ImageMagick";
  ASSERT_TRUE(sh("convert rose: -resize 600x400! " + dir.file("a.jpg") + " && convert logo: -resize 300x200! " +
                    dir.file("b.jpg")));
  std::string first = readFile(dir.file("a.jpg")), second = readFile(dir.file("b.jpg")), image = dir.file("card.img");
  ExfatImage card(image, 16, 4096);
  ASSERT_TRUE(card.ok());
  // The first photo in every other cluster, the second deleted after it.
  std::vector<uint32_t> c = card.freeClusters(80), spread, after;
  for (size_t i = 1; spread.size() * 4096 < first.size(); i += 2) spread.push_back(c[i]);
  for (size_t i = 2 * spread.size() + 2; after.size() * 4096 < second.size(); ++i) after.push_back(c[i]);
  card.add(card.rootCluster(), {u"DCIM", 0, true, true}, "", {c[0]});
  card.add(c[0], {u"IMG_0001.JPG", 0, false}, first, spread);
  card.erase(card.add(c[0], {u"IMG_0002.JPG"}, second, after));
  card.save();

  // offset, size, type, fragmented, deleted, file system, name
  ToolResult list = runRecover({"--list", image});
  ASSERT_EQ(list.status, 0) << list.err;
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(list.out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    if (fields.size() == 8 && fields[5] == "0") rows.push_back(std::vector<std::string>(fields.begin() + 1, fields.end()));
  }
  EXPECT_EQ((std::vector<std::vector<std::string>>{{std::to_string(first.size()), "jpeg", "1", "0", "0", "-", "IMG_0001.JPG"},
                                                   {std::to_string(second.size()), "jpeg", "0", "1", "0", "-", "IMG_0002.JPG"}}),
            rows);

  std::string out = dir.file("out"), report = dir.file("r.xml");
  ToolResult r = runRecover({"--keep-names", "-o", out, "--report", report, image});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(readFile(out + "/IMG_0001.JPG") == first);
  EXPECT_TRUE(readFile(out + "/IMG_0002.JPG") == second);
  // The fragmented photo again, from the image along its reported runs.
  std::string xml = readFile(report), bytes = readFile(image), rebuilt;
  size_t entry = xml.find("<filename>IMG_0001.JPG</filename>");
  ASSERT_NE(entry, std::string::npos) << xml;
  xml = xml.substr(entry, xml.find("</fileobject>", entry) - entry);
  size_t runs = 0;
  for (size_t at = xml.find("<byte_run "); at != std::string::npos; at = xml.find("<byte_run ", at + 1), ++runs) {
    auto value = [&](const std::string& key) { return std::stoull(xml.substr(xml.find(key + "=\"", at) + key.size() + 2)); };
    EXPECT_EQ(value("file_offset"), rebuilt.size());
    rebuilt += bytes.substr(value("img_offset"), value("len"));
  }
  EXPECT_EQ(spread.size(), runs);
  EXPECT_TRUE(rebuilt == first);
}
