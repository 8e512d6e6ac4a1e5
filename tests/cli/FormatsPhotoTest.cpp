// Photos and camera raw files on a FAT card made by mkfs.vfat and mtools:
// mzk-recover lists each under its name and type and gives it back byte for
// byte; raw files named in the directory carry their raw mark and preview.

#include <gtest/gtest.h>

#include <map>

#include "tests/cli/CliSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/CarveImage.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/Tools.h"

using namespace mzktest;

TEST(FormatsPhoto, EveryFormatComesBackFromAFatCard) {
  if (!haveTool("mkfs.vfat") || !haveTool("mcopy") || !haveTool("convert"))
    GTEST_SKIP() << "needs dosfstools, mtools, ImageMagick";
  TempDir dir;
  std::string jpeg = magick(dir.path(), "rose: -resize 160x106!", "preview.jpg");
  std::string raw = noise(600000, 11);
  std::map<std::string, RawFile> raws;
  for (const RawFile& f : cameraFiles(jpeg, raw)) raws["CAMERA." + f.type] = f;
  std::map<std::string, std::string> files = {{"DRAWING.wmf", makeWmf()}};
  const std::string pictures = "-delay 20 rose: logo: -resize 90x60 -compress lzw";  // pages, frames or one
  for (auto made : {std::make_pair("SCAN.tif", ""), {"ANIM.gif", ""}, {"A.png", " -append"}, {"A.bmp", " -append"}})
    files[made.first] = magick(dir.path(), pictures + made.second, made.first);
  for (auto& r : raws) files[r.first] = r.second.bytes;

  std::string image = dir.file("card.img");
  ASSERT_TRUE(sh("truncate -s 32M '" + image + "' && mkfs.vfat -F 16 '" + image + "'"));
  for (auto& f : files) {
    ASSERT_FALSE(f.second.empty()) << f.first;
    writeFile(dir.file("in"), f.second);
    ASSERT_TRUE(sh("MTOOLS_SKIP_CHECK=1 mcopy -i '" + image + "' '" + dir.file("in") + "' ::" + f.first));
  }

  // Each comes back whole, named by its place, size and the type of its
  // extension.
  std::string out = dir.file("out");
  ToolResult r = runRecover({"-o", out, image});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> names = namesIn(out);
  for (auto& f : files) {
    std::string ending = "-" + std::to_string(f.second.size()) + "." + f.first.substr(f.first.find('.') + 1);
    bool whole = false;
    for (const std::string& name : names)
      whole = whole ||
              (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0 &&
               readFile(out + "/" + name) == f.second);
    EXPECT_TRUE(whole) << f.first;
  }

  // The directory's raw files carry what their modules found.
  size_t seen = 0;
  for (const FileModule::File& file : scanImage(readFile(image))) {
    auto it = raws.find(file.attributes.getString("fn"));
    if (it == raws.end()) continue;
    ++seen;
    EXPECT_TRUE(file.attributes.getBool("raw", false)) << it->first;
    EXPECT_EQ(file.attributes.getUint32("thumbnail_offset", 0), it->second.previewOffset) << it->first;
    EXPECT_EQ(file.attributes.getUint32("thumbnail_size", 0), it->second.previewSize) << it->first;
  }
  EXPECT_EQ(seen, raws.size());
}
