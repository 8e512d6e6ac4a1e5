// TIFF files: real ones from ImageMagick and libtiff come back byte-exact
// from a carve image; hostile directories are refused or bounded; the
// preview and camera type come from the directories.

#include <gtest/gtest.h>

#include "engine/modules/FileModuleTiffCamera.h"
#include "tests/support/CarveImage.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

// A little-endian 4 x 2 grey image whose IFD holds `extra` entries too;
// the strip sits before the IFD.
TiffBuilder greyTiff(std::vector<TiffBuilder::Entry> extra = {}, uint32_t stripBytes = 8) {
  TiffBuilder b(false, std::string("II*\0", 4));
  uint32_t strip = b.add(std::string(8, '\x40'));
  std::vector<TiffBuilder::Entry> entries = {{0x100, 3, 1, 4}, {0x101, 3, 1, 2},     {0x102, 3, 1, 8},
                                             {0x103, 3, 1, 1}, {0x111, 4, 1, strip}, {0x117, 4, 1, stripBytes}};
  entries.insert(entries.end(), extra.begin(), extra.end());
  b.setNext(0, b.ifd(entries));
  return b;
}

}  // namespace

TEST(TiffFiles, RealFilesComeBackExactFromACarveImage) {
  if (!haveTool("convert") || !haveTool("tiffcp")) GTEST_SKIP() << "needs ImageMagick and libtiff-tools";
  TempDir dir;
  std::string big = " -define tiff:endian=msb", strips = " -define tiff:rows-per-strip=7", zip = dir.file("zip.tif");
  const std::string made[] = {
      "convert rose: -compress none", "convert rose: -compress lzw" + strips, "convert rose: -compress jpeg",
      "convert rose: logo: -resize 90x60 -compress lzw" + big,
      "convert -size 120x80 plasma:fractal -depth 8 -compress zip" + strips + big + " " + quote(zip) + " && cp " +
          quote(zip),
      "convert -size 64x40 pattern:checkerboard -monochrome -compress group4",
      "tiffcp -t -w 32 -l 32 -c lzw " + quote(zip), "tiffcp -c jpeg -r 16 " + quote(zip)};  // libtiff's own tiles, JPEG
  CarveImage image;
  std::vector<std::pair<uint64_t, std::string>> placed;
  for (const std::string& command : made) {
    ASSERT_TRUE(sh(command + " " + quote(dir.file("x.tif")))) << command;
    placed.push_back({image.add(command, readFile(dir.file("x.tif")), 3), readFile(dir.file("x.tif"))});
  }
  image.pad(4);
  auto found = scanImage(image.bytes());
  for (const auto& p : placed) {
    const FileModule::File* f = foundAt(found, p.first, "tiff");
    ASSERT_NE(f, nullptr) << "at " << p.first;
    EXPECT_EQ(f->size, p.second.size()) << "at " << p.first;
    EXPECT_FALSE(f->attributes.getBool("raw", false));
    EXPECT_EQ(analyzedSize("tiff", p.second.substr(0, p.second.size() - 1)), 0u) << "cut short, at " << p.first;
  }
}

TEST(TiffFiles, TheSmallerPageOfATwoPageFileIsItsPreview) {
  if (!haveTool("convert")) GTEST_SKIP() << "needs ImageMagick";
  TempDir dir;
  std::string bytes = magick(dir.path(), "rose: \\( rose: -resize 35x23! \\) -compress none", "two.tif");
  FileModule::File file;
  ASSERT_EQ(analyzedSize("tiff", bytes, &file), bytes.size());
  const Attributes& a = file.attributes;
  EXPECT_EQ(a.getUint32("thumbnail_width", 0), 35u);
  EXPECT_EQ(a.getUint32("thumbnail_height", 0), 23u);
  EXPECT_EQ(a.getUint32("thumbnail_size", 0), 35u * 23 * 3);
  EXPECT_EQ(a.getUint32("thumbnail_compression", 0), 1u);
  // The named bytes are the small page's pixels: the same as convert makes of it.
  std::string rgb = magick(dir.path(), dir.file("two.tif") + "[1] -depth 8", "page.rgb");
  EXPECT_EQ(bytes.substr(a.getUint32("thumbnail_offset", 0), rgb.size()), rgb);
}

TEST(TiffFiles, HostileDirectoriesAreRefusedOrBounded) {
  typedef TiffBuilder::Entry E;
  TiffBuilder loop = greyTiff(), self = greyTiff(), many(false, std::string("II*\0", 4));
  uint32_t ifd0 = uint32_t(loop.bytes.size()) - 78;  // 6 entries
  loop.setNext(ifd0, ifd0);
  self.setNext(0, self.ifd({{0x14A, 4, 1, uint32_t(self.bytes.size())}}));
  many.setNext(0, many.add(many.u16(1001) + std::string(12 * 1001 + 4, '\0')));
  // Sound files that the plain rules would cut short or refuse: strips
  // stored after their IFD, the last one first (their counts two SHORTs in
  // the entry); a bilevel image that leaves depth and compression to the
  // defaults and names a short make.
  TiffBuilder after(false, std::string("II*\0", 4)), bilevel(false, std::string("II*\0", 4));
  uint32_t offsets = after.add(std::string(8, '\0'));
  after.setNext(0, after.ifd({E{0x100, 3, 1, 4}, E{0x101, 3, 1, 4}, E{0x102, 3, 1, 8}, E{0x103, 3, 1, 1},
                              E{0x111, 4, 2, offsets}, E{0x117, 3, 2, 8 | 8 << 16}}));
  uint32_t second = after.add(std::string(8, 'b')), first = after.add(std::string(8, 'a'));
  after.bytes.replace(offsets, 8, after.u32(first) + after.u32(second));
  uint32_t bits = bilevel.add("\xAA\xAA");
  bilevel.setNext(0, bilevel.ifd({E{0x100, 3, 1, 8}, E{0x101, 3, 1, 2}, E{0x111, 4, 1, bits}, E{0x117, 4, 1, 2},
                                  E{0x10F, 2, 3, 'H' | 'P' << 8}}));
  const std::string good = greyTiff().bytes;
  const struct {
    const char* name;
    std::string bytes;
    uint64_t size;  // 0: refused
  } cases[] = {
      {"baseline", good, good.size()},
      {"width twice", greyTiff({E{0x100, 3, 1, 4}}).bytes, 0},
      {"IFD chain loop", loop.bytes, 0},
      {"sub-IFD naming itself", self.bytes, 0},
      {"strip past the reader", greyTiff({}, 100000).bytes, 0},
      {"value past the reader", greyTiff({E{0x131, 2, 100, 1000000}}).bytes, 0},
      {"type 13", greyTiff({E{0x131, 13, 1, 0}}).bytes, 0},
      {"1001 entries", many.bytes, 0},
      {"strips after the IFD, last first", after.bytes, after.bytes.size()},
      {"bilevel, defaults, short make", bilevel.bytes, bilevel.bytes.size()},
  };
  for (const auto& c : cases) EXPECT_EQ(analyzedSize("tiff", c.bytes), c.size) << c.name;
}

TEST(TiffFiles, MakeAndModelTellTheRawType) {
  const char* rows[][3] = {{"NIKON CORPORATION", "NIKON D70", "nef"}, {"Canon", "Canon EOS-1D", "tif"},
                           {"Canon", "Canon EOS-1D Mark II", "cr2"},  {"SONY", "dslr-a330", "arw"},
                           {"pentax corporation", "K10D", "pef"},     {"Hasselblad", "H3D", ""}};
  for (auto& r : rows) EXPECT_EQ(std::string(cameraRawType(r[0], r[1]) ? cameraRawType(r[0], r[1]) : ""), r[2]) << r[1];
}
