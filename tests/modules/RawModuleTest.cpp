// Camera raw files built from the published layouts around a real JPEG:
// each comes back exact from a carve image with its raw type, the raw mark
// and the thumbnail attributes of its preview, which exiftool finds at the
// same place; cut or damaged, it is refused.

#include <gtest/gtest.h>

#include "tests/support/CarveImage.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

class RawFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("convert")) GTEST_SKIP() << "needs ImageMagick";
    jpeg = magick(dir.path(), "rose: -resize 160x106! -quality 80", "preview.jpg");
    ASSERT_FALSE(jpeg.empty());
    raw = noise(700000, 7);  // more than a CRW heap search skips
    files = cameraFiles(jpeg, raw);
  }
  TempDir dir;
  std::string jpeg, raw;
  std::vector<RawFile> files;
};

}  // namespace

TEST_F(RawFiles, EachComesBackExactWithItsTypeRawMarkAndPreview) {
  CarveImage image;
  std::vector<uint64_t> at;
  for (const RawFile& f : files) at.push_back(image.add(f.type, f.bytes, 5));
  image.pad(3);
  auto found = scanImage(image.bytes());
  for (size_t i = 0; i < files.size(); ++i) {
    const RawFile& f = files[i];
    const FileModule::File* file = foundAt(found, at[i], f.type);
    ASSERT_NE(file, nullptr) << f.type;
    EXPECT_EQ(file->size, f.bytes.size()) << f.type;
    const Attributes& a = file->attributes;
    EXPECT_TRUE(a.getBool("raw", false)) << f.type;
    EXPECT_EQ(a.getUint32("thumbnail_offset", 0), f.previewOffset) << f.type;
    EXPECT_EQ(a.getUint32("thumbnail_size", 0), f.previewSize) << f.type;
    EXPECT_EQ(a.getUint32("thumbnail_compression", 0), 6u) << f.type;
    // Where the preview's geometry is worked out, it is the JPEG's own.
    EXPECT_EQ(a.getUint32("thumbnail_width", 160), 160u) << f.type;
  }
}

TEST_F(RawFiles, ExiftoolReadsTheSameFileTypeAndPreview) {
  if (!haveTool("exiftool")) GTEST_SKIP() << "needs exiftool";
  for (const RawFile& f : files) {
    std::string path = dir.file("camera." + f.type);
    writeFile(path, f.bytes);
    EXPECT_EQ(shOutput("exiftool -s3 -FileTypeExtension " + quote(path)), f.type + "\n");
    std::string preview = shOutput("exiftool -b -" + f.exiftoolTag + " " + quote(path));
    EXPECT_TRUE(preview == f.bytes.substr(f.previewOffset, f.previewSize)) << f.type;
  }
}

TEST_F(RawFiles, CutOrDamagedFilesAreRefused) {
  for (const RawFile& f : files) {
    std::string module = f.type == "arw" ? "tiff" : f.type;
    // The padding of the Sony body is taken only when it is there.
    uint64_t cut = f.type == "arw" ? 65536 * 2 : 1;
    EXPECT_EQ(analyzedSize(module, f.bytes.substr(0, f.bytes.size() - cut)), 0u) << f.type;
    EXPECT_EQ(analyzedSize(module, f.bytes.substr(0, f.bytes.size() / 2)), 0u) << f.type;
  }
  // A CRW heap whose table holds no raw data does not end there.
  std::string crw = files.back().bytes;
  EXPECT_EQ(analyzedSize("crw", crw.replace(crw.size() - 14, 2, "\x01\x20")), 0u);  // 0x2005 becomes 0x2001
}

TEST(CrwHeapEnd, FoundInEitherOrderWhereverTheTableLiesAgainst64KiBBoundaries) {
  // The heap's end pointer lies 48 to 108 bytes after its table's offset
  // (2 to 8 entries); tables placed so that the pointer and the table
  // offset straddle a 64 KiB boundary, or just miss it.
  const struct {
    bool big;
    uint32_t data, entries;
  } cases[] = {{false, 655360 - 1, 2}, {false, 655360, 2},  {false, 655360 + 30, 5}, {false, 655360 + 59, 8},
               {false, 655360 - 60, 8}, {true, 655360 - 1, 8}, {true, 655360 + 10, 2},  {true, 589824 + 55, 5},
               {true, 16777216 - 20, 3}};
  for (const auto& c : cases) {
    auto put16 = [&](std::string& s, uint16_t v) { c.big ? putBe16(s, v) : putLe16(s, v); };
    auto put32 = [&](std::string& s, uint32_t v) { c.big ? putBe32(s, v) : putLe32(s, v); };
    std::string file = c.big ? std::string("MM\0\0\0\x1a", 6) : std::string("II\x1a\0\0\0", 6);
    file += "HEAPCCDR" + std::string(12, '\0') + noise(c.data, c.data);
    put16(file, uint16_t(c.entries));
    for (uint32_t i = 0; i < c.entries; ++i) {
      put16(file, i == 0 ? 0x2005 : 0x0032);
      put32(file, i == 0 ? c.data : 0);
      put32(file, 0);
    }
    put32(file, c.data);
    EXPECT_EQ(file.size(), analyzedSize("crw", file + noise(300, 1))) << c.big << " " << c.data << " " << c.entries;
  }
}
