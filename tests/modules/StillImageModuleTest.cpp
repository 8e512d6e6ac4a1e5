// GIF, PNG, BMP and WMF files from ImageMagick and LibreOffice come back
// byte-exact from a carve image; cut, damaged or malformed ones are refused.

#include <gtest/gtest.h>

#include "engine/FileModuleRegistry.h"
#include "tests/support/CarveImage.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

struct Still {
  std::string type, bytes;
};

// The size the module of `type` gives `bytes`, 0 when it refuses them.
uint64_t sizeBy(const std::string& type, const std::string& bytes) {
  static FileModuleRegistry registry;
  MemoryReader reader(bytes.data(), bytes.size());
  FileModule::File file;
  return registry.findModule(type)->analyze(reader, file) ? file.size : 0;
}

// The files are made once for the suite.
class StillImages : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("convert")) GTEST_SKIP() << "needs ImageMagick";
    if (files.empty()) make();
  }
  static void make() {
    const char* made[][3] = {
        {"gif", "rose:", "global.gif"},
        {"gif", "rose:", "GIF87:old.gif"},
        // Frames with their own palettes, a comment, a loop: local colour
        // tables, comment, application and graphic control extensions.
        {"gif", "-comment hello -delay 20 -size 40x30 xc:red -size 40x30 gradient:blue-yellow -loop 0", "anim.gif"},
        {"png", "rose:", "rose.png"},
        {"png", "logo: -resize 200x150 -interlace PNG", "logo.png"},
        {"bmp", "rose:", "rose.bmp"},
        {"bmp", "rose:", "BMP3:old.bmp"},
    };
    for (auto& m : made) {
      files.push_back({m[0], magick(dir.path(), m[1], m[2])});
      EXPECT_FALSE(files.back().bytes.empty()) << m[1];
    }
    files.push_back({"wmf", makeWmf(1)});
    if (haveTool("soffice")) {
      dir.write("d.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='200' height='100'><rect x='10' y='10' "
                         "width='100' height='50' fill='blue'/><text x='20' y='80'>mzk</text></svg>");
      sh("cd " + quote(dir.path()) + " && HOME=" + quote(dir.path()) + " soffice --headless --convert-to wmf d.svg");
      if (dir.exists("d.wmf")) files.push_back({"wmf", readFile(dir.file("d.wmf"))});
    }
  }
  static TempDir dir;
  static std::vector<Still> files;
};
TempDir StillImages::dir;
std::vector<Still> StillImages::files;

}  // namespace

TEST_F(StillImages, EachComesBackExactAmongNoiseAndDamagedOnes) {
  CarveImage image;
  std::vector<uint64_t> at;
  for (const Still& s : files) {
    at.push_back(image.add(s.type, s.bytes, 2));
    // A copy with noise over its middle: whatever the module makes of it,
    // the next file is found whole.
    std::string damaged = s.bytes;
    size_t n = std::min<size_t>(64, damaged.size() / 4);
    damaged.replace(damaged.size() / 2, n, noise(n, 3));
    image.add(s.type + " damaged", damaged, 1);
  }
  image.pad(2);
  auto found = scanImage(image.bytes());
  for (size_t i = 0; i < files.size(); ++i) {
    const FileModule::File* f = foundAt(found, at[i], files[i].type);
    ASSERT_NE(f, nullptr) << files[i].type << " " << i;
    EXPECT_EQ(f->size, files[i].bytes.size()) << files[i].type << " " << i;
  }
}

TEST_F(StillImages, CutAndMalformedFilesAreRefused) {
  for (const Still& s : files) {
    EXPECT_EQ(sizeBy(s.type, s.bytes + "trailing"), s.bytes.size()) << s.type;
    EXPECT_EQ(sizeBy(s.type, s.bytes.substr(0, s.bytes.size() - 1)), 0u) << s.type;
    EXPECT_EQ(sizeBy(s.type, s.bytes.substr(0, s.bytes.size() / 2)), 0u) << s.type;
  }
  std::string gif = files[0].bytes;
  size_t trailer = gif.size() - 1;
  struct Case {
    const char* name;
    std::string type, bytes;
    uint64_t size;
  } cases[] = {
      {"GIF with an unknown extension", "gif", gif.substr(0, trailer) + std::string("\x21\x77\0;", 4), 0},
      {"GIF with a comment before the trailer", "gif", gif.substr(0, trailer) + std::string("\x21\xFE\x02hi\0;", 7), trailer + 7},
      {"PNG with a wrong CRC", "png", files[3].bytes.substr(0, 29) + "\xDE\xAD" + files[3].bytes.substr(31),
       files[3].bytes.size()},
      {"WMF of type 3", "wmf", makeWmf(3), 0},
      {"BMP with an unknown header size", "bmp", files[5].bytes.substr(0, 14) + "\x29" + files[5].bytes.substr(15), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(sizeBy(c.type, c.bytes), c.size) << c.name;
}
