// The format validators on real files from Debian tools: each is proven
// whole where it ends, and not when it is cut or a stretch of it is foreign.

#include <gtest/gtest.h>

#include "engine/FormatValidator.h"
#include "engine/modules/JpegValidator.h"
#include "tests/support/ArchiveSamples.h"
#include "tests/support/ClusterImage.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

struct Proven {
  const char* name;
  const char* type;
  std::string bytes;
  bool contentChecked;  // a foreign stretch inside shows
};

const std::vector<Proven>& samples() {
  static TempDir dir;
  static const std::vector<Proven> all = [] {
    const std::string d = dir.path();
    std::vector<Proven> s = {
        {"baseline.jpg", "jpeg", photo(d, "-seed 3 -size 320x240 plasma:fractal -quality 90", "baseline.jpg"), true},
        {"progressive.jpg", "jpeg",
         photo(d, "-seed 4 -size 320x240 plasma:fractal -interlace Plane -quality 85", "progressive.jpg"), true},
        {"gray.jpg", "jpeg", photo(d, "-seed 5 -size 256x200 plasma:fractal -colorspace Gray", "gray.jpg"), true},
        {"restart.jpg", "jpeg", cjpegPhoto(d, "-restart 2", "restart.jpg"), true},
        {"progressive-restart.jpg", "jpeg", cjpegPhoto(d, "-progressive -sample 1x1 -restart 1", "pr.jpg"), true},
        {"h264.mp4", "mp4", movie(d, "-c:v libx264 -pix_fmt yuv420p -crf 12", "h264.mp4"), true},
        {"faststart.mp4", "mp4", movie(d, "-c:v libx264 -pix_fmt yuv420p -crf 12 -movflags faststart", "fast.mp4"), true},
        {"mjpeg.mov", "mov", movie(d, "-c:v mjpeg", "mjpeg.mov"), true},
        {"mpeg4.mp4", "mp4", movie(d, "-c:v mpeg4", "mpeg4.mp4"), true},
    };
    for (const char* name : {"deflated.zip", "stored.zip", "streamed.zip", "letter.docx"})
      if (const Sample* sample = archiveSample(name)) s.push_back({name, "zip", sample->bytes, true});
    // What lies inside an OLE stream is not looked at.
    if (const Sample* sample = archiveSample("letter.doc")) s.push_back({"letter.doc", "doc", sample->bytes, false});
    return s;
  }();
  return all;
}

FormatProof proofOf(const std::string& type, const std::string& bytes) {
  MemoryReader reader(bytes.data(), bytes.size());
  return validatorFor(type)->check(reader, 0, false);
}

}  // namespace

TEST(FormatProof, EachFileIsWholeWhereItEndsAndNotWhenCutOrDamaged) {
  for (const Proven& s : samples()) {
    if (s.bytes.empty()) continue;  // its tool is missing
    SCOPED_TRACE(s.name);
    const uint64_t size = s.bytes.size();
    FormatProof whole = proofOf(s.type, s.bytes);
    EXPECT_EQ(FormatProof::kProven, whole.verdict);
    EXPECT_EQ(size, whole.end);
    // What follows the file is not part of it.
    FormatProof followed = proofOf(s.type, s.bytes + noise(3000, 7));
    EXPECT_EQ(FormatProof::kProven, followed.verdict);
    EXPECT_EQ(size, followed.end);
    EXPECT_NE(FormatProof::kProven, proofOf(s.type, s.bytes.substr(0, size * 2 / 3)).verdict);
    if (!s.contentChecked) continue;
    const uint64_t start = size / 2;
    std::string damaged = s.bytes;
    damaged.replace(start, 4096, noise(4096, 11));
    FormatProof proof = proofOf(s.type, damaged.substr(0, size));
    ASSERT_EQ(FormatProof::kBroken, proof.verdict);
    EXPECT_LE(proof.soundUntil, start);
    EXPECT_GE(proof.failedAt, start);
  }
}

TEST(FormatProof, AJpegResumedFromAKeptStateIsJudgedAsFromItsStart) {
  const std::string& photo = samples()[0].bytes;
  ASSERT_FALSE(photo.empty());
  const uint64_t size = photo.size();
  std::string other = photo;
  other.replace(size * 3 / 5, 2048, noise(2048, 3));
  MemoryReader whole(photo.data(), photo.size()), damaged(other.data(), other.size());
  const FormatProof fresh = JpegValidator().check(damaged, 0, false);
  ASSERT_EQ(FormatProof::kBroken, fresh.verdict);
  for (uint64_t sameUntil : {size / 4, size / 2, size * 3 / 5}) {
    SCOPED_TRACE(sameUntil);
    JpegValidator validator, once;
    ASSERT_EQ(FormatProof::kProven, validator.check(whole, 0, true).verdict);
    uint64_t before = validator.readsMade();
    FormatProof resumed = validator.check(damaged, sameUntil, false);
    EXPECT_EQ(fresh.failedAt, resumed.failedAt);
    once.check(damaged, 0, false);
    if (sameUntil >= size / 2) {
      EXPECT_LT(validator.readsMade() - before, once.readsMade()) << "only what follows is read";
    }
    // Recording the damaged reading forgets what was kept past sameUntil:
    // the whole file read after it is proven again.
    EXPECT_EQ(FormatProof::kBroken, validator.check(damaged, sameUntil, true).verdict);
    EXPECT_EQ(FormatProof::kProven, validator.check(whole, sameUntil, false).verdict);
  }
}

TEST(FormatProof, WhatIsNotAFileOfTheTypeIsNeverProven) {
  const std::string jpegStart("\xFF\xD8\xFF\xD9", 4);  // an image without a picture
  EXPECT_NE(FormatProof::kProven, proofOf("jpeg", jpegStart).verdict);
  // A Huffman table with more codes of a length than it has room for.
  std::string overfull("\xFF\xD8\xFF\xC4\x00\x16\x00", 7);
  overfull += std::string("\x03", 1) + std::string(15, '\0') + std::string("\x00\x01\x02\xFF\xD9", 5);
  EXPECT_EQ(FormatProof::kBroken, proofOf("jpeg", overfull).verdict);
  // Arithmetic coding is not judged at all.
  TempDir dir;
  std::string arithmetic = cjpegPhoto(dir.path(), "-arithmetic", "arithmetic.jpg");
  if (!arithmetic.empty()) {
    EXPECT_EQ(FormatProof::kUnknown, proofOf("jpeg", arithmetic).verdict);
  }
  for (const char* type : {"jpeg", "mp4", "zip", "doc"}) {
    EXPECT_NE(FormatProof::kProven, proofOf(type, noise(70000, 5)).verdict) << type;
    EXPECT_NE(FormatProof::kProven, proofOf(type, std::string()).verdict) << type;
  }
  EXPECT_FALSE(validatorFor("mp3"));
}
