// Photos and camera raw files on a FAT card made by mkfs.vfat and mtools:
// mzk-recover lists each under its name and type and gives it back byte for
// byte; raw files named in the directory carry their raw mark and preview.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tests/cli/CliSupport.h"
#include "tests/support/CarveImage.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/Tools.h"

TEST(FormatsPhoto, EveryFormatComesBackFromAFatCard) {
  if (!haveTool("mkfs.vfat") || !haveTool("mcopy") || !haveTool("convert")) GTEST_SKIP() << "needs dosfstools, mtools, ImageMagick";
  CliTempDir dir;
  std::string jpeg = mzktest::magick(dir.path(), "rose: -resize 160x106!", "preview.jpg");
  std::string raw = mzktest::noise(600000, 11);
  std::map<std::string, mzktest::RawFile> raws = {
      {"DSC_0001.NEF", mzktest::makeNef(jpeg, raw)},   {"IMG_0002.CR2", mzktest::makeCr2(jpeg, raw)},
      {"P3000003.ORF", mzktest::makeOrf(jpeg, raw)},   {"P1000004.RW2", mzktest::makeRw2(jpeg, raw)},
      {"DSCF0005.RAF", mzktest::makeRaf(jpeg, raw)},   {"PICT0006.MRW", mzktest::makeMrw(jpeg, raw)},
      {"CRW_0007.CRW", mzktest::makeCrw(jpeg, raw)}};
  std::map<std::string, std::string> files = {
      {"SCAN.TIF", mzktest::magick(dir.path(), "rose: logo: -resize 90x60 -compress lzw", "scan.tif")},
      {"ROSE.PNG", mzktest::magick(dir.path(), "rose:", "rose.png")},
      {"ANIM.GIF", mzktest::magick(dir.path(), "-delay 20 rose: -size 70x46 xc:navy -loop 0", "anim.gif")},
      {"ROSE.BMP", mzktest::magick(dir.path(), "rose:", "rose.bmp")},
      {"DRAWING.WMF", mzktest::makeWmf()}};
  for (auto& r : raws) files[r.first] = r.second.bytes;

  std::string image = dir.file("card.img");
  ASSERT_TRUE(shell("truncate -s 32M '" + image + "' && mkfs.vfat -F 16 '" + image + "'"));
  for (auto& f : files) {
    ASSERT_FALSE(f.second.empty()) << f.first;
    writeFile(dir.file("in"), f.second);
    ASSERT_TRUE(shell("MTOOLS_SKIP_CHECK=1 mcopy -i '" + image + "' '" + dir.file("in") + "' ::" + f.first));
  }

  // Listed under its name with the type of its extension; recovered whole.
  ToolResult list = runRecover({"--list", image});
  ASSERT_EQ(list.status, 0) << list.err;
  std::string out = dir.file("out");
  ToolResult r = runRecover({"-o", out, image});
  ASSERT_EQ(r.status, 0) << r.err;
  std::map<std::string, std::string> listed;  // name -> "offset-size.type"
  std::istringstream in(list.out);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() == 7 && f[5] == "0") listed[f[6]] = f[0] + "-" + f[1] + "." + f[2];
  }
  for (auto& f : files) {
    ASSERT_TRUE(listed.count(f.first)) << f.first << "\n" << list.out;
    std::string ext = f.first.substr(f.first.find('.') + 1);
    for (char& c : ext) c = char(tolower(c));
    EXPECT_NE(listed[f.first].find("-" + std::to_string(f.second.size()) + "." + ext), std::string::npos) << listed[f.first];
    EXPECT_TRUE(readFile(out + "/" + listed[f.first]) == f.second) << f.first;
  }

  // The directory's raw files carry what their modules found.
  size_t seen = 0;
  for (const FileModule::File& file : mzktest::scanImage(readFile(image))) {
    auto it = raws.find(file.attributes.getString("fn"));
    if (it == raws.end()) continue;
    ++seen;
    EXPECT_TRUE(file.attributes.getBool("raw", false)) << it->first;
    EXPECT_EQ(file.attributes.getUint32("thumbnail_offset", 0), it->second.previewOffset) << it->first;
    EXPECT_EQ(file.attributes.getUint32("thumbnail_size", 0), it->second.previewSize) << it->first;
  }
  EXPECT_EQ(seen, raws.size());
}
