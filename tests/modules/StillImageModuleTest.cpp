// GIF, PNG, BMP and WMF files from ImageMagick and LibreOffice come back
// byte-exact from a carve image; cut, damaged or malformed ones are refused.

#include <gtest/gtest.h>

#include "tests/support/CarveImage.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

// Type and bytes of each file, made once for the suite.
class StillImages : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("convert")) GTEST_SKIP() << "needs ImageMagick";
    if (!files.empty()) return;
    // The animation's frames have their own palettes, a comment and a loop:
    // local colour tables, comment, application and graphic control blocks.
    const char* made[][3] = {
        {"gif", "rose:", "global.gif"}, {"gif", "rose:", "GIF87:old.gif"},
        {"gif", "-comment hello -delay 20 -size 40x30 xc:red -size 40x30 gradient:blue-yellow -loop 0", "anim.gif"},
        {"png", "rose:", "rose.png"},   {"png", "logo: -resize 200x150 -interlace PNG", "logo.png"},
        {"bmp", "rose:", "rose.bmp"},   {"bmp", "rose:", "BMP3:old.bmp"}};
    for (auto& m : made) files.push_back({m[0], magick(dir.path(), m[1], m[2])});
    files.push_back({"wmf", makeWmf(1)});
    dir.write("d.svg",
              "<svg xmlns='http://www.w3.org/2000/svg' width='200' height='100'><rect x='10' y='10' "
              "width='100' height='50' fill='blue'/><text x='20' y='80'>mzk</text></svg>");
    if (sh("cd " + quote(dir.path()) + " && HOME=" + quote(dir.path()) + " soffice --headless --convert-to wmf d.svg"))
      files.push_back({"wmf", readFile(dir.file("d.wmf"))});
  }
  static TempDir dir;
  static std::vector<std::pair<std::string, std::string>> files;
};
TempDir StillImages::dir;
std::vector<std::pair<std::string, std::string>> StillImages::files;

}  // namespace

TEST_F(StillImages, EachComesBackExactAmongNoiseAndDamagedOnes) {
  CarveImage image;
  std::vector<uint64_t> at;
  for (const auto& s : files) {
    at.push_back(image.add(s.first, s.second, 2));
    // A copy with noise over its middle: whatever the module makes of it,
    // the next file is found whole.
    std::string damaged = s.second;
    image.add("damaged", damaged.replace(damaged.size() / 2, 16, noise(16, 3)), 1);
  }
  image.pad(2);
  auto found = scanImage(image.bytes());
  for (size_t i = 0; i < files.size(); ++i) {
    const FileModule::File* f = foundAt(found, at[i], files[i].first);
    ASSERT_NE(f, nullptr) << files[i].first << " " << i;
    EXPECT_EQ(f->size, files[i].second.size()) << files[i].first << " " << i;
  }
}

TEST_F(StillImages, CutAndMalformedFilesAreRefused) {
  for (const auto& s : files) {
    EXPECT_EQ(analyzedSize(s.first, s.second + "trailing"), s.second.size()) << s.first;
    EXPECT_EQ(analyzedSize(s.first, s.second.substr(0, s.second.size() - 1)), 0u) << s.first;
    EXPECT_EQ(analyzedSize(s.first, s.second.substr(0, s.second.size() / 2)), 0u) << s.first;
  }
  std::string gif = files[0].second.substr(0, files[0].second.size() - 1), png = files[3].second, bmp = files[5].second;
  const struct {
    const char* name;
    std::string type, bytes;
    uint64_t size;  // 0: refused
  } cases[] = {
      {"GIF with an unknown extension", "gif", gif + std::string("\x21\x77\0;", 4), 0},
      {"GIF with a comment before the trailer", "gif", gif + std::string("\x21\xFE\x02hi\0;", 7), gif.size() + 7},
      {"PNG with a wrong CRC", "png", png.replace(29, 2, "\xDE\xAD"), png.size()},
      {"WMF of type 3", "wmf", makeWmf(3), 0},
      {"BMP with an unknown header size", "bmp", bmp.replace(14, 1, "\x29"), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(analyzedSize(c.type, c.bytes), c.size) << c.name;
}
