// Camera raw files built from the published layouts around a real JPEG:
// each comes back exact from a carve image with its raw type, the raw mark
// and the thumbnail attributes of its preview, which exiftool finds at the
// same place; cut or damaged, it is refused.

#include <gtest/gtest.h>

#include <map>

#include "engine/FileModuleRegistry.h"
#include "tests/support/CarveImage.h"
#include "tests/support/MemoryReader.h"
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
    files = {makeNef(jpeg, raw), makeCr2(jpeg, raw), makeSonyA330(jpeg, raw), makeOrf(jpeg, raw),
             makeRw2(jpeg, raw), makeRaf(jpeg, raw),  makeMrw(jpeg, raw),      makeCrw(jpeg, raw)};
  }
  // The file the module registered for `type` makes of `bytes`; false when refused.
  bool analyze(const RawFile& raw, const std::string& bytes, FileModule::File& file) {
    FileModule* module = registry.findModule(raw.type == "arw" ? "tiff" : raw.type);
    MemoryReader reader(bytes.data(), bytes.size());
    return module && module->analyze(reader, file);
  }

  TempDir dir;
  std::string jpeg, raw;
  std::vector<RawFile> files;
  FileModuleRegistry registry;
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
    if (a.has("thumbnail_width")) {
      EXPECT_EQ(a.getUint32("thumbnail_width", 0), 160u) << f.type;
      EXPECT_EQ(a.getUint32("thumbnail_height", 0), 106u) << f.type;
      EXPECT_EQ(a.getUint32("thumbnail_samples", 0), 3u) << f.type;
    }
  }
}

TEST_F(RawFiles, ExiftoolReadsTheSameFileTypeAndPreview) {
  if (!haveTool("exiftool")) GTEST_SKIP() << "needs exiftool";
  // File type, and the tag that holds the preview (or, after "#", its offset).
  const std::map<std::string, std::pair<std::string, std::string>> expect = {
      {"nef", {"NEF", "OtherImage"}},   {"cr2", {"CR2", "PreviewImage"}}, {"arw", {"ARW", "#IFD0:StripOffsets"}},
      {"orf", {"ORF", "PreviewImage"}}, {"rw2", {"RW2", "JpgFromRaw"}},   {"raf", {"RAF", "PreviewImage"}},
      {"mrw", {"MRW", "PreviewImage"}}, {"crw", {"CRW", "ThumbnailImage"}}};
  for (const RawFile& f : files) {
    std::string path = dir.file("camera." + f.type);
    writeFile(path, f.bytes);
    const auto& e = expect.at(f.type);
    EXPECT_EQ(shOutput("exiftool -s3 -FileType " + quote(path)), e.first + "\n") << f.type;
    if (e.second[0] == '#')
      EXPECT_EQ(shOutput("exiftool -s3 -" + e.second.substr(1) + " " + quote(path)), std::to_string(f.previewOffset) + "\n");
    else
      EXPECT_TRUE(shOutput("exiftool -b -" + e.second + " " + quote(path)) == f.bytes.substr(f.previewOffset, f.previewSize))
          << f.type;
  }
}

TEST_F(RawFiles, CutOrDamagedFilesAreRefused) {
  for (const RawFile& f : files) {
    FileModule::File file;
    ASSERT_TRUE(analyze(f, f.bytes, file)) << f.type;
    // The padding of the Sony body is taken only when it is there.
    uint64_t cut = f.type == "arw" ? 65536 * 2 : 1;
    EXPECT_FALSE(analyze(f, f.bytes.substr(0, f.bytes.size() - cut), file)) << f.type;
    EXPECT_FALSE(analyze(f, f.bytes.substr(0, f.bytes.size() / 2), file)) << f.type;
  }
  // A CRW heap whose table holds no raw data does not end there.
  std::string crw = files.back().bytes;
  crw.replace(crw.size() - 4 - 10, 2, std::string("\x01\x20", 2));  // 0x2005 becomes 0x2001
  FileModule::File file;
  EXPECT_FALSE(analyze(files.back(), crw, file));
}
