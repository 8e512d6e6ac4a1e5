// The JPEG walk: real files from ImageMagick with embedded previews, and
// hand-built streams for the marker, stuffing, fill-byte, restart-marker
// and truncation cases.

#include "engine/modules/FileModuleJpeg.h"

#include <gtest/gtest.h>

#include "EngineFixtures.h"
#include "tests/support/MemoryReader.h"

using mzktest::TempDir;

namespace {

// The size the walk finds in `bytes`, 0 when it refuses them.
uint64_t sizeOf(const std::string& bytes, Reader* through = nullptr) {
  MemoryReader reader(bytes.data(), bytes.size());
  FileModule::File file;
  file.attributes.set("leftover", "x");
  if (!FileModuleJpeg().analyze(through ? *through : reader, file)) return 0;
  EXPECT_EQ("jpeg", file.attributes.getString("t"));
  EXPECT_FALSE(file.attributes.has("leftover"));
  return file.size;
}

// A segment with a length field covering `payload` bytes.
std::string segment(uint8_t code, size_t payload) {
  std::string s = {char(0xFF), char(code), char((payload + 2) >> 8), char((payload + 2) & 0xFF)};
  return s + std::string(payload, 0x11);
}

std::string bytes(std::initializer_list<uint8_t> b) { return std::string(b.begin(), b.end()); }

const std::string kSoi = bytes({0xFF, 0xD8}), kEoi = bytes({0xFF, 0xD9});
const size_t kPiece = FileModuleJpeg::kPieceSize;

// SOI, APP0, a start of scan, `data` as entropy-coded bytes, EOI.
std::string withScan(const std::string& data) { return kSoi + segment(0xE0, 14) + segment(0xDA, 10) + data + kEoi; }

}  // namespace

TEST(JpegScan, NeedsFfD8FfAtTheSectorStart) {
  FileModuleJpeg module;
  for (const auto& c : {std::make_pair(bytes({0xFF, 0xD8, 0xFF, 0xE1}), true), std::make_pair(bytes({0xFF, 0xD8, 0xFE}), false),
                        std::make_pair(bytes({0xFE, 0xD8, 0xFF}), false), std::make_pair(bytes({0xFF, 0xD8}), false)})
    EXPECT_EQ(c.second, module.scan(reinterpret_cast<const uint8_t*>(c.first.data()), uint32_t(c.first.size())));
}

TEST(JpegWalk, HandBuiltStreams) {
  std::string restarts = bytes({0x12, 0xFF, 0x00, 0x34});
  for (uint8_t r = 0xD0; r <= 0xD7; ++r) restarts += bytes({0x56, 0xFF, r});
  // The entropy-coded data starts after the SOS segment; a 0xFF as the last
  // byte of a piece, or fill bytes across two pieces.
  std::string head = kSoi + segment(0xE0, 14) + segment(0xDA, 10);
  std::string split = head + std::string(kPiece - 1 - head.size() % kPiece, 0x20) + bytes({0xFF, 0xD9});
  std::string splitFill = head + std::string(kPiece - 2 - head.size() % kPiece, 0x20) + bytes({0xFF, 0xFF, 0xD5, 0x01}) + kEoi;
  const struct {
    const char* what;
    std::string file, after;  // after: bytes past the file's end
    bool found;
  } cases[] = {
      {"the smallest file", kSoi + kEoi, bytes({0, 0}), true},
      {"segments skipped by their length", kSoi + segment(0xE1, 5000) + segment(0xDB, 67) + kEoi, std::string(10, 0), true},
      {"every code but EOI carries a length", kSoi + segment(0x01, 0) + segment(0xD0, 3) + kEoi, "", true},
      {"fill bytes before markers", kSoi + bytes({0xFF, 0xFF, 0xFF}) + segment(0xE0, 14) + bytes({0xFF, 0xFF}) + kEoi,
       std::string(7, 0), true},
      {"a run of fill bytes over several pieces", kSoi + std::string(9000, char(0xFF)) + kEoi, "", true},
      {"stuffed bytes and restart markers", withScan(restarts), std::string(100, char(0xAB)), true},
      {"fill bytes before restart markers",
       withScan(bytes({0x12, 0xFF, 0xFF, 0xD3, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xD4, 0x9A})), std::string(100, char(0xAB)),
       true},
      {"fill bytes before the end marker", withScan(bytes({0x01, 0x02, 0xFF, 0xFF, 0xFF})), "", true},
      {"a marker split over two pieces", split, std::string(50, 0), true},
      {"fill bytes split over two pieces", splitFill, std::string(10, 0), true},
      {"a second scan after a marker in the data",
       kSoi + segment(0xDA, 8) + std::string(5000, 0x33) + segment(0xC4, 20) + segment(0xDA, 8) + std::string(6000, 0x44) + kEoi,
       std::string(9, 0), true},
      {"a length below two", bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01, 0xFF, 0xD9}), "", false},
      {"no 0xFF before a marker", bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0x12, 0xD9}), "", false},
      {"cut in a length", bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00}), "", false},
      {"a segment past the end", kSoi + bytes({0xFF, 0xE1, 0xFF, 0xFF}) + std::string(100, 0), "", false},
      {"fill bytes up to the end", kSoi + std::string(5000, char(0xFF)), "", false},
      {"data up to the end", kSoi + segment(0xDA, 8) + std::string(10000, 0x33), "", false},
      {"a scan segment that ends the bytes", kSoi + segment(0xDA, 8), "", false},
      {"a lone 0xFF at the end", kSoi + segment(0xDA, 8) + bytes({0x33, 0xFF}), "", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.found ? c.file.size() : 0, sizeOf(c.file + c.after)) << c.what;
}

TEST(JpegWalk, RealFilesEndAtTheirEoiAndCutOnesAreRefused) {
  TempDir dir;
  for (const char* args : {"-size 64x48 xc:red", "rose:", "-size 300x200 plasma:fractal -quality 95", "rose: -interlace JPEG"}) {
    std::string jpeg = makeJpeg(dir, args);
    ASSERT_GT(jpeg.size(), 100u) << "ImageMagick is needed: " << args;
    EXPECT_EQ(jpeg.size(), sizeOf(jpeg + std::string(3000, 0x5A))) << args;
    // A reader that ends before the end marker: a truncated file, or a Max
    // Size window that is too small.
    for (size_t cut : {size_t(3), size_t(20), jpeg.size() / 2, jpeg.size() - 1})
      EXPECT_EQ(0u, sizeOf(jpeg.substr(0, cut))) << args << " cut at " << cut;
  }
  std::string broken = makeJpeg(dir, "rose:");
  broken[2] = 0;  // the first marker's 0xFF
  EXPECT_EQ(0u, sizeOf(broken));
}

TEST(JpegWalk, AnExifPreviewEndsNeitherItsPhotoNorItself) {
  TempDir dir;
  std::string thumb = makeJpeg(dir, "-size 16x16 xc:blue");
  ASSERT_TRUE(mzktest::sh("mv " + dir.file("x.jpg") + " " + dir.file("t.jpg")));
  makeJpeg(dir, "-size 320x240 gradient:red-blue");
  if (!mzktest::sh("exiftool -q -overwrite_original '-ThumbnailImage<=" + dir.file("t.jpg") + "' " + dir.file("x.jpg")))
    GTEST_SKIP() << "exiftool is needed";
  std::string photo = mzktest::readFile(dir.file("x.jpg"));
  EXPECT_EQ(photo.size(), sizeOf(photo + std::string(512, 0)));
  size_t preview = photo.find(kSoi, 2);
  ASSERT_NE(std::string::npos, preview);
  EXPECT_EQ(thumb.size(), sizeOf(photo.substr(preview)));
  // A JPEG inside a larger file is found on its own.
  EXPECT_EQ(thumb.size(), sizeOf(thumb + std::string(2048, 0x43)));
}

TEST(JpegWalk, ReadFaults) {
  // Headers are read through a piece; a bad sector later in that piece must
  // not hide the bytes that can be read.
  std::string small = kSoi + segment(0xE0, 14) + kEoi + std::string(8000, 0);
  MemoryReader inner(small.data(), small.size());
  FaultReader faulty(&inner);
  faulty.failRange(2048, 512);
  EXPECT_EQ(22u, sizeOf(small, &faulty));
  std::string big = withScan(std::string(20000, 0x10));
  MemoryReader bigInner(big.data(), big.size());
  FaultReader bigFaulty(&bigInner);
  bigFaulty.failRange(10000, 512);
  EXPECT_EQ(0u, sizeOf(big, &bigFaulty)) << "unreadable entropy-coded data";
}
