// Audio and video structures built byte by byte, for what no tool writes on
// request: frame-header fields, tag corner cases, hostile sizes, stream-type
// combinations, 64-bit atoms and AVI continuation chunks.

#include <gtest/gtest.h>

#include "engine/FileModuleRegistry.h"
#include "engine/modules/MpegAudioFrame.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/Tools.h"

using namespace mzktest;

namespace {

std::string bytes(std::initializer_list<int> list) { return std::string(list.begin(), list.end()); }
std::string be32(uint32_t v) { std::string s; putBe32(s, v); return s; }
std::string le(uint64_t v, int width) { std::string s; while (width--) s += char(v), v >>= 8; return s; }
std::string syncsafe(uint32_t v) { return bytes({int(v >> 21 & 0x7F), int(v >> 14 & 0x7F), int(v >> 7 & 0x7F), int(v & 0x7F)}); }

// MPEG-1 Layer III frames of 128 kbit/s at 44.1 kHz: 417 bytes each.
std::string frames(size_t count) {
  std::string out;
  while (count--) out += bytes({0xFF, 0xFB, 0x90, 0x64}) + std::string(413, '\x11');
  return out;
}
std::string id3(int major, int flags, const std::string& inner) { return "ID3" + bytes({major, 0, flags}) + syncsafe(uint32_t(inner.size())) + inner; }
std::string frame(const char* id, const std::string& payload, int major = 3) {
  return id + (major == 4 ? syncsafe(uint32_t(payload.size())) : be32(uint32_t(payload.size()))) + bytes({0, 0}) + payload;
}
std::string tit2(const std::string& latin1, int major = 3) { return frame("TIT2", '\0' + latin1, major); }

const std::string kPack = bytes({0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 0, 0, 3, 0xF8});  // MPEG-2, no stuffing
std::string packet(int id, size_t payload) { return bytes({0, 0, 1, id, int(payload >> 8), int(payload & 0xFF)}) + std::string(payload, 'U'); }

const uint32_t kAudio = 0xF8699E40, kVideo = 0xBC19EFC0;
// An ASF object of the GUID first-second-11CF-8E<e>-00C00C205365.
std::string object(uint32_t first, int second, int e, const std::string& body) {
  return le(first, 4) + le(second, 2) + bytes({0xCF, 0x11, 0x8E, e, 0, 0xC0, 0x0C, 0x20, 0x53, 0x65}) + le(24 + body.size(), 8) + body;
}
// An ASF file of `size` bytes: file properties (creation date in 100 ns
// ticks since 1601) and a stream object per media type.
std::string asf(uint64_t size, uint64_t ticks, std::initializer_list<uint32_t> streams) {
  std::string objects = object(0x8CABDCA1, 0xA947, 0xE4, std::string(16, '\0') + le(size, 8) + le(ticks, 8) + std::string(56, '\0'));
  for (uint32_t type : streams)
    objects += object(0xB7DC0791, 0xA9B7, 0xE6, le(type, 4) + bytes({0x4D, 0x5B, 0xCF, 0x11, 0xA8, 0xFD, 0, 0x80, 0x5F, 0x5C, 0x44, 0x2B}) + std::string(38, '\0'));
  std::string file = le(0x75B22630, 4) + bytes({0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0, 0xAA, 0, 0x62, 0xCE, 0x6C}) +
                     le(30 + objects.size(), 8) + le(1 + streams.size(), 4) + bytes({1, 2}) + objects;
  return file.append(size - file.size(), 'B');
}

std::string atom(const char* type, size_t size) { return be32(uint32_t(size)) + type + std::string(size - 8, '\0'); }
std::string ftyp(const char* brand) { return be32(24) + "ftyp" + brand + le(0, 4) + brand + le(0, 4); }

}  // namespace

TEST(MpegAudioFrame, LengthFollowsVersionBitRateSamplingRateAndPadding) {
  // 128 kbit/s, with padding, at 48 and 32 kHz, 320 kbit/s; MPEG-2 at 22.05 and 24 kHz; then refused:
  // MPEG-2.5, Layer II, free format, bit-rate index 15, reserved sampling rate, reserved emphasis.
  const struct { int b1, b2, b3; uint32_t length; } cases[] = {
      {0xFB, 0x90, 0x64, 417}, {0xFB, 0x92, 0x64, 418}, {0xFB, 0x94, 0x64, 384}, {0xFB, 0x98, 0x64, 576},
      {0xFB, 0xE0, 0x64, 1044}, {0xF3, 0x80, 0x64, 208}, {0xF3, 0x84, 0x64, 192}, {0xE3, 0x80, 0x64, 0},
      {0xFD, 0x90, 0x64, 0}, {0xFB, 0x00, 0x64, 0}, {0xFB, 0xF0, 0x64, 0}, {0xFB, 0x9C, 0x64, 0}, {0xFB, 0x90, 0x66, 0}};

  for (auto& c : cases) {
    const uint8_t header[4] = {0xFF, uint8_t(c.b1), uint8_t(c.b2), uint8_t(c.b3)};
    EXPECT_EQ(mpegAudioFrameLength(header), c.length) << std::hex << c.b1 << " " << c.b2 << " " << c.b3;
  }
}

TEST(MediaStructures, SizesTypesNamesTimesAndRefusals) {
  const std::string avi = mediaFile("clip.avi")->bytes, wav = mediaFile("tone.wav")->bytes;
  if (avi.empty() || wav.empty()) GTEST_SKIP() << "ffmpeg and sox are needed";
  const std::string audio = frames(200);  // 83400 bytes
  const std::string v1 = "TAGABCD" + std::string(26, ' ') + std::string(95, 'x');
  const std::string padded = id3(3, 0, tit2("Pad")), leading = id3(3, 0, tit2("Short"));
  const std::string extended = id3(3, 0x40, syncsafe(10) + std::string(10, '\0') + tit2("Ext"));
  const std::string big = id3(3, 0, frame("TXXX", std::string(200, 'a')) + tit2("Big"));
  const std::string last = id3(4, 0, tit2("Last", 4)), appended = id3(4, 0, tit2("End", 4));
  const uint64_t k2021 = (1622865782ull + 11644473600ull) * 10000000;  // 2021-06-05 04:03:02 UTC
  const std::string avix = ("RIFF" + le(4992, 4) + "AVIXLIST").append(4984, '\0');
  const struct { const char* module; const char* what; std::string file; uint64_t size; const char* type; std::string name; int32_t time; } cases[] = {
      // 157 frames after a tag of 67 or 68 bytes: 65536 bytes are too few.
      {"mp3", "65536 bytes", id3(3, 0, std::string(57, '\0')) + frames(157), 0, "", "", -1},
      {"mp3", "65537 bytes", id3(3, 0, std::string(58, '\0')) + frames(157), 65537, "mp3", "", -1},
      {"mp3", "zero padding after the tag", padded + std::string(700, '\0') + audio, padded.size() + 700 + 83400, "mp3", "Pad", -1},
      {"mp3", "ID3v1 title with spaces", audio + v1, 83400 + 128, "mp3", "ABCD", -1},
      {"mp3", "appended ID3v2", audio + appended, 83400 + appended.size(), "mp3", "End", -1},
      {"mp3", "the longer title wins", leading + audio + v1, leading.size() + 83400 + 128, "mp3", "Short", -1},
      {"mp3", "v2.3 extended header of 10", extended + audio, extended.size() + 83400, "mp3", "Ext", -1},
      {"mp3", "extended header size with a high bit", id3(3, 0x40, bytes({0, 0, 0x80, 10}) + std::string(10, '\0')) + audio, 0, "", "", -1},
      // Version 2.3 frame sizes are plain numbers: a 200-byte frame first.
      {"mp3", "v2.3 frame over 127 bytes", big + audio, big.size() + 83400, "mp3", "Big", -1},
      {"mp3", "title frame filling the tag", last + audio, last.size() + 83400, "mp3", "Last", -1},
      {"mpeg", "packs without an end code", kPack + packet(0xBB, 12) + packet(0xE0, 900) + kPack + packet(0xC0, 300), 1258, "mpeg", "", -1},
      {"mpeg", "program end code", kPack + packet(0xE0, 90) + bytes({0, 0, 1, 0xB9}), 114, "mpeg", "", -1},
      {"mpeg", "a MiB without a start code", bytes({0, 0, 1, 0xB3, 1}) + std::string(1 << 20, 'f') + bytes({0, 0, 1, 0xB7}), 0, "", "", -1},
      {"mpeg", "elementary stream into a program stream", bytes({0, 0, 1, 0xB3, 1}) + kPack + bytes({0, 0, 1, 0xB7}), 0, "", "", -1},
      {"asf", "audio and video", asf(5000, k2021, {kAudio, kVideo}), 5000, "wmv", "", 1622865782},
      {"asf", "audio only, dated before 1970", asf(5000, 10000000, {kAudio}), 5000, "wma", "", -1},
      {"wmv", "audio only", asf(5000, 0, {kAudio}), 0, "", "", -1},
      {"asf", "byte-swapped video GUID", asf(5000, 0, {0xC0EF19BC, kAudio}), 5000, "wmv", "", -1},
      {"mov", "64-bit size", ftyp("3gp4") + be32(1) + "mdat" + be32(0) + be32(2000) + std::string(1984, '\0'), 2024, "mp4", "", -1},
      {"mov", "64-bit size of 0", ftyp("isom") + be32(1) + "mdat" + be32(0) + be32(0) + std::string(1984, '\0'), 0, "", "", -1},
      {"mov", "a lone mdat", atom("mdat", 3000), 0, "", "", -1},
      {"mov", "size 4", ftyp("isom") + be32(4) + "mdat" + std::string(1192, '\0'), 0, "", "", -1},
      {"riff", "AVI with an AVIX chunk", avi + avix, avi.size() + avix.size(), "avi", "", -1},
      {"riff", "WAVE followed by AVIX", wav + avix, wav.size(), "wav", "", -1},
  };
  static FileModuleRegistry registry;
  for (auto& c : cases) {
    std::string medium = c.file + noise(2048, 5);
    MemoryReader reader(medium.data(), medium.size());
    FileModule::File found;
    bool taken = registry.findModule(c.module)->analyze(reader, found);
    EXPECT_EQ(taken ? found.size : 0, c.size) << c.module << ": " << c.what;
    EXPECT_EQ(found.attributes.getString("t"), c.type) << c.module << ": " << c.what;
    EXPECT_EQ(found.attributes.getString("name"), c.name) << c.module << ": " << c.what;
    EXPECT_EQ(found.attributes.getInt32("time", -1), c.time) << c.module << ": " << c.what;
  }
}

TEST(MpegElementaryStream, StartCodesAreFoundWhereverTheReadsOfTheWalkEnd) {
  // A sequence header, filler with decoys (01 after other bytes, 00 00
  // before other bytes), and the sequence end code placed across the
  // 64 KiB pieces of the walk and at the reader's end.
  const std::string decoys = bytes({0x11, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x01, 0x01});
  const std::string end = bytes({0, 0, 1, 0xB7});
  for (size_t at : {size_t(20), size_t(65531), size_t(65532), size_t(65533), size_t(65534), size_t(65535),
                    size_t(65536), size_t(131070), size_t(200000)}) {
    std::string stream = bytes({0, 0, 1, 0xB3});
    while (stream.size() < at) stream += decoys;
    stream.resize(at, '\x11');
    stream += end;
    FileModule::File file;
    MemoryReader reader(stream.data(), stream.size());
    EXPECT_TRUE(FileModuleRegistry().findModule("mpeg")->analyze(reader, file)) << at;
    EXPECT_EQ(stream.size(), file.size) << at;
    stream.resize(stream.size() - 1);  // the end code cut short
    MemoryReader cut(stream.data(), stream.size());
    EXPECT_FALSE(FileModuleRegistry().findModule("mpeg")->analyze(cut, file)) << at;
  }
}
