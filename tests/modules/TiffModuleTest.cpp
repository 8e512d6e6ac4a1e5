// TIFF files: real ones from ImageMagick and libtiff come back byte-exact
// from a carve image; hostile directories are refused or bounded; the
// preview and camera type come from the directories.

#include <gtest/gtest.h>

#include "engine/modules/FileModuleTiff.h"
#include "engine/modules/FileModuleTiffCamera.h"
#include "tests/support/CarveImage.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

// The size the tiff module gives `bytes`, 0 when it refuses them.
uint64_t tiffSize(const std::string& bytes, FileModule::File* out = nullptr) {
  MemoryReader reader(bytes.data(), bytes.size());
  FileModule::File file;
  FileModuleTiff module;
  if (!module.analyze(reader, file)) return 0;
  if (out) *out = file;
  return file.size;
}

// A little-endian 4 x 2 grey image whose IFD holds `extra` entries too;
// the strip sits before the IFD.
TiffBuilder greyTiff(std::vector<TiffBuilder::Entry> extra = {}, uint32_t stripBytes = 8) {
  TiffBuilder b(false, std::string("II*\0", 4));
  uint32_t strip = b.add(std::string(8, '\x40'));
  std::vector<TiffBuilder::Entry> entries = {b.shortValue(0x100, 4), b.shortValue(0x101, 2), b.shortValue(0x102, 8),
                                             b.shortValue(0x103, 1), b.longValue(0x111, strip),
                                             b.longValue(0x117, stripBytes)};
  entries.insert(entries.end(), extra.begin(), extra.end());
  b.setFirst(b.ifd(entries));
  return b;
}

}  // namespace

TEST(TiffFiles, RealFilesComeBackExactFromACarveImage) {
  if (!haveTool("convert") || !haveTool("tiffcp")) GTEST_SKIP() << "needs ImageMagick and libtiff-tools";
  TempDir dir;
  const std::string big = "-define tiff:endian=msb", strips = "-define tiff:rows-per-strip=7";
  const std::vector<std::pair<std::string, std::string>> made = {
      {"rose: -compress none", "plain.tif"},
      {"rose: -compress lzw " + strips, "lzw.tif"},
      {"rose: logo: -resize 90x60 -compress lzw " + big, "pages.tif"},
      {"-size 120x80 plasma:fractal -depth 8 -compress zip " + strips + " " + big, "zip.tif"},
      {"rose: -compress jpeg", "jpeg.tif"},
      {"-size 64x40 pattern:checkerboard -monochrome -compress group4", "fax.tif"},
  };
  CarveImage image;
  std::vector<std::pair<uint64_t, std::string>> placed;
  for (const auto& m : made) {
    std::string bytes = magick(dir.path(), m.first, m.second);
    ASSERT_FALSE(bytes.empty()) << m.first;
    placed.push_back({image.add(m.second, bytes, 3), bytes});
  }
  // libtiff: tiles, and JPEG strips, written after their directories.
  for (const char* args : {"-t -w 32 -l 32 -c lzw", "-c jpeg -r 16"}) {
    std::string out = dir.file("tiffcp.tif");
    ASSERT_TRUE(sh(std::string("tiffcp ") + args + " " + quote(dir.file("zip.tif")) + " " + quote(out))) << args;
    placed.push_back({image.add(args, readFile(out), 3), readFile(out)});
  }
  image.pad(4);
  auto found = scanImage(image.bytes());
  for (const auto& p : placed) {
    const FileModule::File* f = foundAt(found, p.first, "tiff");
    ASSERT_NE(f, nullptr) << "at " << p.first;
    EXPECT_EQ(f->size, p.second.size()) << "at " << p.first;
    EXPECT_FALSE(f->attributes.getBool("raw", false));
    // Cut short, the same file is refused.
    EXPECT_EQ(tiffSize(p.second.substr(0, p.second.size() - 1)), 0u) << "at " << p.first;
  }
}

TEST(TiffFiles, TheSmallerPageOfATwoPageFileIsItsPreview) {
  if (!haveTool("convert")) GTEST_SKIP() << "needs ImageMagick";
  TempDir dir;
  std::string bytes = magick(dir.path(), "rose: \\( rose: -resize 35x23! \\) -compress none", "two.tif");
  FileModule::File file;
  ASSERT_EQ(tiffSize(bytes, &file), bytes.size());
  const Attributes& a = file.attributes;
  EXPECT_EQ(a.getUint32("thumbnail_width", 0), 35u);
  EXPECT_EQ(a.getUint32("thumbnail_height", 0), 23u);
  EXPECT_EQ(a.getUint32("thumbnail_samples", 0), 3u);
  EXPECT_EQ(a.getUint32("thumbnail_size", 0), 35u * 23 * 3);
  EXPECT_EQ(a.getUint32("thumbnail_compression", 0), 1u);
  // The named bytes are the small page's pixels: the same as convert makes of it.
  std::string rgb = magick(dir.path(), dir.file("two.tif") + "[1] -depth 8", "page.rgb");
  EXPECT_EQ(bytes.substr(a.getUint32("thumbnail_offset", 0), rgb.size()), rgb);
}

TEST(TiffFiles, HostileDirectoriesAreRefusedOrBounded) {
  struct Case {
    const char* name;
    std::string bytes;
    uint64_t size;  // 0: refused
  };
  std::vector<Case> cases;
  TiffBuilder good = greyTiff();
  cases.push_back({"baseline", good.bytes, good.bytes.size()});
  cases.push_back({"width twice", greyTiff({TiffBuilder::shortValue(0x100, 4)}).bytes, 0});
  TiffBuilder loop = greyTiff();
  loop.setNext(uint32_t(loop.bytes.size()) - 2 - 12 * 6 - 4, uint32_t(loop.bytes.size()) - 2 - 12 * 6 - 4);
  cases.push_back({"IFD chain loop", loop.bytes, 0});
  TiffBuilder self = greyTiff();
  uint32_t ifd = uint32_t(self.bytes.size());
  self.setFirst(self.ifd({TiffBuilder::longValue(0x14A, ifd)}));
  cases.push_back({"sub-IFD naming itself", self.bytes, 0});
  cases.push_back({"strip past the reader", greyTiff({}, 100000).bytes, 0});
  cases.push_back({"value past the reader", greyTiff({{0x131, 2, 100, 1000000}}).bytes, 0});
  cases.push_back({"type 13", greyTiff({{0x131, 13, 1, 0}}).bytes, 0});
  TiffBuilder many(false, std::string("II*\0", 4));
  many.setFirst(many.add(many.u16(1001) + std::string(12 * 1001 + 4, '\0')));
  cases.push_back({"1001 entries", many.bytes, 0});
  // Sound files the bare rules would cut short or refuse.
  TiffBuilder after(false, std::string("II*\0", 4));
  uint32_t offsets = after.add(std::string(8, '\0'));
  after.setFirst(after.ifd({after.shortValue(0x100, 4), after.shortValue(0x101, 4), after.shortValue(0x102, 8),
                            after.shortValue(0x103, 1), {0x111, 4, 2, offsets}, after.longs(0x117, {8, 8})}));
  uint32_t second = after.add(std::string(8, 'b')), first = after.add(std::string(8, 'a'));
  after.bytes.replace(offsets, 8, after.u32(first) + after.u32(second));
  cases.push_back({"strips after the IFD, last first", after.bytes, after.bytes.size()});
  TiffBuilder bilevel(false, std::string("II*\0", 4));
  uint32_t bits = bilevel.add(std::string(2, '\xAA'));
  bilevel.setFirst(bilevel.ifd({bilevel.shortValue(0x100, 8), bilevel.shortValue(0x101, 2),
                                bilevel.longValue(0x111, bits), bilevel.longValue(0x117, 2),
                                bilevel.text(0x10F, "HP")}));
  cases.push_back({"bilevel, defaults, short make", bilevel.bytes, bilevel.bytes.size()});
  for (const Case& c : cases) EXPECT_EQ(tiffSize(c.bytes), c.size) << c.name;
}

TEST(TiffFiles, MakeAndModelTellTheRawType) {
  const char* rows[][3] = {
      {"NIKON CORPORATION", "NIKON D70", "nef"}, {"Canon", "Canon EOS 350D DIGITAL", "cr2"},
      {"Canon", "Canon EOS-1D", "tif"},          {"Canon", "Canon EOS-1D Mark II", "cr2"},
      {"SONY", "DSC-R1", "sr2"},                 {"SONY", "DSLR-A330", "arw"},
      {"SONY", "DSC-F828", "srf"},               {"Eastman Kodak Company", "KODAK DC25 DIGITAL CAMERA", "k25"},
      {"Kodak", "DCS460A", "tif"},               {"Kodak", "DCS Pro 14N", "dcr"},
      {"pentax corporation", "K10D", "pef"},     {"Leaf", "Aptus 75", "mos"},
      {"Phase One A/S", "IQ180", "tif"},         {"Hasselblad", "H3D", ""},
  };
  for (auto& r : rows) {
    const char* type = cameraRawType(r[0], r[1]);
    EXPECT_EQ(std::string(type ? type : ""), r[2]) << r[0] << " / " << r[1];
  }
}
