// The JPEG walk: real files from ImageMagick, embedded previews, and
// hand-built streams for the marker, stuffing, fill-byte and truncation
// cases.

#include "engine/modules/FileModuleJpeg.h"

#include <gtest/gtest.h>

#include "EngineFixtures.h"
#include "tests/support/MemoryReader.h"

namespace {

typedef std::vector<uint8_t> Bytes;

bool analyzeBytes(const Bytes& bytes, FileModule::File& file) {
  MemoryReader reader(bytes);
  FileModuleJpeg module;
  return module.analyze(reader, file);
}

uint64_t sizeOf(const Bytes& bytes) {
  FileModule::File file;
  return analyzeBytes(bytes, file) ? file.size : 0;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A segment with a length field covering `payload` bytes.
Bytes segment(uint8_t code, size_t payload) {
  Bytes s = {0xFF, code, static_cast<uint8_t>((payload + 2) >> 8), static_cast<uint8_t>((payload + 2) & 0xFF)};
  s.resize(s.size() + payload, 0x11);
  return s;
}

const Bytes kSoi = {0xFF, 0xD8};
const Bytes kEoi = {0xFF, 0xD9};

// SOI, an APP0, a start of scan and `data` as entropy-coded bytes, then EOI.
Bytes withScan(const Bytes& data) { return kSoi + segment(0xE0, 14) + segment(0xDA, 10) + data + kEoi; }

class JpegFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!run("command -v convert")) GTEST_SKIP() << "ImageMagick is not installed";
  }
  TempDir dir;
};

// --- scan -------------------------------------------------------------------

TEST(JpegScan, NeedsFfD8FfAtTheSectorStart) {
  FileModuleJpeg module;
  uint8_t sector[512] = {0xFF, 0xD8, 0xFF, 0xE1};
  EXPECT_TRUE(module.scan(sector, 512));
  sector[2] = 0xFE;
  EXPECT_FALSE(module.scan(sector, 512));
  sector[2] = 0xFF;
  sector[0] = 0xFE;
  EXPECT_FALSE(module.scan(sector, 512));
}

// --- real files ---------------------------------------------------------------

TEST_F(JpegFiles, PlainAndPhotoJpegsEndAtTheirEoi) {
  for (const char* args : {"-size 64x48 xc:red", "rose:", "-size 300x200 plasma:fractal -quality 95"}) {
    Bytes jpeg = makeJpeg(dir, args, "x.jpg");
    ASSERT_FALSE(jpeg.empty()) << args;
    // Trailing bytes after the file (the rest of its last sector) are not part of it.
    Bytes padded = jpeg + Bytes(3000, 0x5A);
    FileModule::File file;
    ASSERT_TRUE(analyzeBytes(padded, file)) << args;
    EXPECT_EQ(file.size, jpeg.size()) << args;
    EXPECT_EQ(file.attributes.getString("t"), "jpeg");
  }
}

TEST_F(JpegFiles, ProgressiveJpegIsWalkedThroughEveryScan) {
  Bytes jpeg = makeJpeg(dir, "rose: -interlace JPEG", "p.jpg");
  ASSERT_FALSE(jpeg.empty());
  EXPECT_EQ(sizeOf(jpeg + Bytes(700, 0)), jpeg.size());
}

TEST_F(JpegFiles, ExifThumbnailInsideDoesNotEndTheOuterFile) {
  if (!run("command -v exiftool")) GTEST_SKIP() << "exiftool is not installed";
  Bytes thumb = makeJpeg(dir, "-size 16x16 xc:blue", "t.jpg");
  Bytes photo = makeJpeg(dir, "-size 320x240 gradient:red-blue", "photo.jpg");
  ASSERT_FALSE(thumb.empty());
  ASSERT_TRUE(run("exiftool -q -overwrite_original '-ThumbnailImage<=" + dir.file("t.jpg") + "' '" +
                  dir.file("photo.jpg") + "'"));
  Bytes withThumb = readBytes(dir.file("photo.jpg"));
  ASSERT_GT(withThumb.size(), photo.size());
  EXPECT_EQ(sizeOf(withThumb + Bytes(512, 0)), withThumb.size());

  // The preview found on its own is a whole JPEG of its own length.
  auto at = std::search(withThumb.begin() + 2, withThumb.end(), kSoi.begin(), kSoi.end());
  ASSERT_NE(at, withThumb.end());
  Bytes fromPreview(at, withThumb.end());
  uint64_t previewSize = sizeOf(fromPreview);
  EXPECT_EQ(previewSize, thumb.size());
}

TEST_F(JpegFiles, JpegInsideALargerFileIsFoundOnItsOwn) {
  Bytes inner = makeJpeg(dir, "-size 40x30 xc:green", "i.jpg");
  ASSERT_FALSE(inner.empty());
  Bytes outer = Bytes(1024, 0x42) + inner + Bytes(2048, 0x43);
  Bytes fromInner(outer.begin() + 1024, outer.end());
  EXPECT_EQ(sizeOf(fromInner), inner.size());
}

TEST_F(JpegFiles, TruncatedOrOverMaxSizeIsRefused) {
  Bytes jpeg = makeJpeg(dir, "rose:", "r.jpg");
  ASSERT_GT(jpeg.size(), 100u);
  // Cut anywhere before the end of image: a reader that ends there (a
  // truncated file, or a Max Size window that is too small) refuses it.
  for (size_t cut : {size_t(3), size_t(20), jpeg.size() / 2, jpeg.size() - 1}) {
    Bytes cutBytes(jpeg.begin(), jpeg.begin() + cut);
    EXPECT_EQ(sizeOf(cutBytes), 0u) << cut;
  }
  EXPECT_EQ(sizeOf(jpeg), jpeg.size());
}

TEST_F(JpegFiles, CorruptedMarkerIsRefused) {
  Bytes jpeg = makeJpeg(dir, "rose:", "r.jpg");
  ASSERT_GT(jpeg.size(), 4u);
  Bytes broken = jpeg;
  broken[2] = 0x00;  // the first marker's 0xFF
  EXPECT_EQ(sizeOf(broken), 0u);
}

// --- hand-built streams -------------------------------------------------------

TEST(JpegWalk, SmallestFileIsFourBytes) {
  FileModule::File file;
  file.attributes.set("leftover", "x");
  ASSERT_TRUE(analyzeBytes({0xFF, 0xD8, 0xFF, 0xD9, 0x00, 0x00}, file));
  EXPECT_EQ(file.size, 4u);
  EXPECT_EQ(file.attributes.getString("t"), "jpeg");
  EXPECT_FALSE(file.attributes.has("leftover"));  // the record is cleared
}

TEST(JpegWalk, SegmentsAreSkippedByTheirLength) {
  Bytes b = kSoi + segment(0xE1, 5000) + segment(0xDB, 67) + kEoi;
  EXPECT_EQ(sizeOf(b + Bytes(10, 0)), b.size());
}

TEST(JpegWalk, EveryCodeButEoiCarriesALength) {
  // 0x01 and 0xD0 are taken to carry a length too.
  Bytes b = kSoi + segment(0x01, 0) + segment(0xD0, 3) + kEoi;
  EXPECT_EQ(sizeOf(b), b.size());
}

TEST(JpegWalk, LengthBelowTwoOrMissingFfIsRefused) {
  EXPECT_EQ(sizeOf({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01, 0xFF, 0xD9}), 0u);
  EXPECT_EQ(sizeOf({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0x12, 0xD9}), 0u);
  EXPECT_EQ(sizeOf({0xFF, 0xD8, 0xFF, 0xE0, 0x00}), 0u);
}

TEST(JpegWalk, SegmentRunningPastTheEndIsRefused) {
  Bytes b = kSoi + Bytes{0xFF, 0xE1, 0xFF, 0xFF} + Bytes(100, 0);
  EXPECT_EQ(sizeOf(b), 0u);
}

TEST(JpegWalk, FillBytesBeforeAMarkerAreSkipped) {
  Bytes b = kSoi + Bytes{0xFF, 0xFF, 0xFF} + segment(0xE0, 14) + Bytes{0xFF, 0xFF} + kEoi;
  EXPECT_EQ(sizeOf(b + Bytes(7, 0)), b.size());
  // A long run spanning several pieces.
  Bytes longRun = kSoi + Bytes(9000, 0xFF) + kEoi;
  EXPECT_EQ(sizeOf(longRun), longRun.size());
  // Fill bytes up to the end of the reader: no marker code.
  EXPECT_EQ(sizeOf(kSoi + Bytes(5000, 0xFF)), 0u);
}

TEST(JpegEntropy, StuffedBytesAndRestartMarkersDoNotEndTheData) {
  Bytes data = {0x12, 0xFF, 0x00, 0x34};
  for (uint8_t r = 0xD0; r <= 0xD7; ++r) data = data + Bytes{0x56, 0xFF, r};
  Bytes b = withScan(data);
  EXPECT_EQ(sizeOf(b + Bytes(100, 0xAB)), b.size());
}

TEST(JpegEntropy, MarkerSplitAcrossTwoPiecesIsFound) {
  Bytes head = kSoi + segment(0xE0, 14) + segment(0xDA, 10);
  // Entropy data reads start right after the SOS segment; put the 0xFF as
  // the last byte of the first 4096-byte piece.
  Bytes data(FileModuleJpeg::kPieceSize - 1, 0x20);
  data.push_back(0xFF);
  Bytes b = head + data + Bytes{0xD9};
  ASSERT_EQ(b[head.size() + FileModuleJpeg::kPieceSize - 1], 0xFF);
  EXPECT_EQ(sizeOf(b + Bytes(50, 0)), b.size());
}

TEST(JpegEntropy, FillBytesInsideDataBeforeTheEndMarker) {
  Bytes b = withScan({0x01, 0x02, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(sizeOf(b), b.size());
}

TEST(JpegEntropy, FillBytesBeforeARestartMarkerDoNotEndTheData) {
  // An encoder may pad before any marker, restart markers included: the
  // data goes on after FF FF D3 exactly as after FF D3.
  Bytes data = {0x12, 0xFF, 0xFF, 0xD3, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xD4, 0x9A};
  Bytes b = withScan(data);
  EXPECT_EQ(sizeOf(b + Bytes(100, 0xAB)), b.size());
  // The same with the run split across two 4096-byte pieces.
  Bytes head = kSoi + segment(0xE0, 14) + segment(0xDA, 10);
  Bytes split(FileModuleJpeg::kPieceSize - 2, 0x20);
  split = split + Bytes{0xFF, 0xFF, 0xD5, 0x01, 0x02};
  Bytes c = head + split + kEoi;
  EXPECT_EQ(sizeOf(c + Bytes(10, 0)), c.size());
}

TEST(JpegEntropy, ASecondScanAfterAMarkerInTheData) {
  Bytes b = kSoi + segment(0xDA, 8) + Bytes(5000, 0x33) + segment(0xC4, 20) + segment(0xDA, 8) +
            Bytes(6000, 0x44) + kEoi;
  EXPECT_EQ(sizeOf(b + Bytes(9, 0)), b.size());
}

TEST(JpegEntropy, DataRunningToTheEndIsRefused) {
  EXPECT_EQ(sizeOf(kSoi + segment(0xDA, 8) + Bytes(10000, 0x33)), 0u);
  // Start of scan segment ending exactly at the end: nothing to search.
  EXPECT_EQ(sizeOf(kSoi + segment(0xDA, 8)), 0u);
  // A lone 0xFF as the very last byte.
  EXPECT_EQ(sizeOf(kSoi + segment(0xDA, 8) + Bytes{0x33, 0xFF}), 0u);
}

// --- read faults ----------------------------------------------------------------

TEST(JpegReadFault, UnreadableDataFailsTheWalk) {
  Bytes b = withScan(Bytes(20000, 0x10));
  MemoryReader inner(b);
  FaultReader reader(&inner);
  reader.failRange(10000, 512);
  FileModuleJpeg module;
  FileModule::File file;
  EXPECT_FALSE(module.analyze(reader, file));
}

TEST(JpegReadFault, BadSectorPastTheSegmentHeadersStillLetsThemBeRead) {
  // Headers are read through a 4096-byte piece; a bad sector later in that
  // piece must not hide the bytes that can be read.
  Bytes b = kSoi + segment(0xE0, 14) + kEoi + Bytes(8000, 0);
  MemoryReader inner(b);
  FaultReader reader(&inner);
  reader.failRange(2048, 512);
  FileModuleJpeg module;
  FileModule::File file;
  ASSERT_TRUE(module.analyze(reader, file));
  EXPECT_EQ(file.size, 2u + 18u + 2u);
}

}  // namespace
