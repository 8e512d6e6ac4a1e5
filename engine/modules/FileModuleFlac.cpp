#include "engine/modules/FileModuleFlac.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/modules/FlacFrame.h"
#include "engine/modules/Id3Tag.h"
#include "engine/modules/NameAttribute.h"
#include "engine/modules/StreamCrc.h"
#include "engine/modules/VorbisComment.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

const uint64_t kSignatureBytes = 4;
const uint64_t kBlockHeadBytes = 4;
const uint32_t kStreamInfoBytes = 34;
const uint8_t kStreamInfo = 0, kComment = 4, kForbidden = 127;
const int kMaxBlocks = 4096;
const size_t kMaxCommentBytes = 65536;  // enough for a title
const size_t kMaxTagBodyBytes = 16384;  // of an ID3 tag, for its title
const uint64_t kId3v1Bytes = 128;
// The largest frame there can be: 65535 samples of 8 channels of 33 bits.
const uint64_t kMaxFrameBytes = 4 << 20;

struct StreamInfo {
  uint32_t maxFrameBytes = 0;  // 0: not known
  unsigned bitsPerSample = 0;
  uint64_t totalSamples = 0;   // 0: not known
};

// Frame numbers count frames in a fixed-size stream, samples otherwise.
uint64_t expectedNumber(bool variable, uint64_t frames, uint64_t samples) { return variable ? samples : frames; }

// The next frame after the one at `position`: a frame header in sequence
// at which the checksum of the bytes from `position` comes out right.
uint64_t nextFrame(ByteCursor& cursor, uint64_t position, const FlacFrameHeader& frame, uint64_t expected,
                   uint64_t limit) {
  uint16_t crc = 0;
  uint64_t summed = position;  // bytes before this are in `crc`
  uint64_t at = position + frame.bytes;
  while (at < limit) {
    size_t available = 0;
    const uint8_t* span = cursor.span(at, available);
    if (!span) return 0;
    available = size_t(std::min<uint64_t>(available, limit - at));
    const uint8_t* hit = static_cast<const uint8_t*>(memchr(span, 0xFF, available));
    if (!hit) {
      at += available;
      continue;
    }
    uint64_t candidate = at + uint64_t(hit - span);
    // Sum up to the candidate, span by span (the cursor may move).
    while (summed < candidate) {
      size_t have = 0;
      const uint8_t* bytes = cursor.span(summed, have);
      if (!bytes) return 0;
      size_t take = size_t(std::min<uint64_t>(have, candidate - summed));
      crc = flacCrc16(crc, bytes, take);
      summed += take;
    }
    FlacFrameHeader next;
    if (crc == 0 && readFlacFrameHeader(cursor, candidate, next) && next.variable == frame.variable &&
        next.number == expected)
      return candidate;
    at = candidate + 1;
  }
  return 0;
}

bool readStreamInfo(const uint8_t* b, StreamInfo& info) {
  info.maxFrameBytes = uint32_t(b[7]) << 16 | uint32_t(b[8]) << 8 | b[9];
  info.bitsPerSample = ((b[12] & 1) << 4 | b[13] >> 4) + 1;
  info.totalSamples = uint64_t(b[13] & 15) << 32 | be32(b + 14);
  uint16_t minBlock = be16(b), maxBlock = be16(b + 2);
  return minBlock >= 16 && minBlock <= maxBlock;
}

bool startsStream(const uint8_t* bytes, size_t length) {
  return length >= 8 && memcmp(bytes, "fLaC", 4) == 0 && (bytes[4] & 0x7F) == kStreamInfo && bytes[5] == 0 &&
         bytes[6] == 0 && bytes[7] == kStreamInfoBytes;
}

}  // namespace

bool FileModuleFlac::scan(const uint8_t* sector, uint32_t length) {
  Id3v2Header tag;
  if (length < kId3v2HeaderPeek || !startsId3v2(sector, length)) return startsStream(sector, length);
  if (!parseId3v2Header(sector, length, tag)) return false;
  // The stream after the tag, when the sector holds it.
  return tag.tagLength > length - 8 || startsStream(sector + tag.tagLength, length - size_t(tag.tagLength));
}

bool FileModuleFlac::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  // Some taggers put an ID3 tag in front of the stream.
  uint64_t start = 0;
  std::string tagTitle;
  uint8_t peek[kId3v2HeaderPeek] = {};
  Id3v2Header tag;
  if (cursor.read(0, peek, std::min<uint64_t>(sizeof peek, cursor.size())) && startsId3v2(peek, sizeof peek)) {
    if (!parseId3v2Header(peek, sizeof peek, tag)) return false;
    start = tag.tagLength;
    std::vector<uint8_t> body(size_t(std::min<uint64_t>(tag.tagLength - tag.headerLength, kMaxTagBodyBytes)));
    if (cursor.read(tag.headerLength, body.data(), body.size())) tagTitle = id3v2Title(body.data(), body.size(), tag.major);
  }
  uint8_t head[8];
  if (!cursor.read(start, head, sizeof head) || !startsStream(head, sizeof head)) return false;

  StreamInfo info;
  std::string title;
  uint64_t position = start + kSignatureBytes;
  for (int i = 0;; ++i) {
    uint8_t block[kBlockHeadBytes];
    if (i >= kMaxBlocks || !cursor.read(position, block, sizeof block)) return false;
    uint8_t type = block[0] & 0x7F;
    uint32_t length = uint32_t(block[1]) << 16 | uint32_t(block[2]) << 8 | block[3];
    uint64_t data = position + kBlockHeadBytes;
    if (type == kForbidden || (i == 0) != (type == kStreamInfo) || !Reader::fits(data, length, cursor.size())) return false;
    if (type == kStreamInfo) {
      uint8_t bytes[kStreamInfoBytes];
      if (length != kStreamInfoBytes || !cursor.read(data, bytes, sizeof bytes) || !readStreamInfo(bytes, info)) return false;
    } else if (type == kComment && title.empty()) {
      std::vector<uint8_t> comment(std::min<size_t>(length, kMaxCommentBytes));
      if (cursor.read(data, comment.data(), comment.size())) title = vorbisCommentTitle(comment.data(), comment.size());
    }
    position = data + length;
    if (block[0] & 0x80) break;
  }

  uint64_t frames = 0, samples = 0;
  uint64_t search = info.maxFrameBytes ? info.maxFrameBytes + 1 : kMaxFrameBytes;
  for (FlacFrameHeader frame; readFlacFrameHeader(cursor, position, frame);) {
    if (frame.number != expectedNumber(frame.variable, frames, samples)) break;
    bool last = info.totalSamples && samples + frame.blockSize >= info.totalSamples;
    uint64_t expected = expectedNumber(frame.variable, frames + 1, samples + frame.blockSize);
    // No frame is longer than the stream information says (or than any
    // frame can be), so neither search nor measure goes further.
    uint64_t limit = std::min(cursor.size(), position + search + 16);
    uint64_t next = last ? 0 : nextFrame(cursor, position, frame, expected, limit);
    if (!next) {
      uint64_t length = flacFrameLength(cursor, position, limit, frame, info.bitsPerSample);
      if (length) position += length, ++frames;
      break;
    }
    position = next;
    ++frames;
    samples += frame.blockSize;
  }
  if (frames == 0) return false;
  // The taggers that put an ID3 tag in front often append a version 1 tag.
  uint8_t trailer[3];
  if (cursor.size() - position >= kId3v1Bytes && cursor.read(position, trailer, 3) && memcmp(trailer, "TAG", 3) == 0)
    position += kId3v1Bytes;

  file.clear();
  file.attributes.set("t", "flac");
  file.size = position;
  setNameAttribute(file.attributes, title.empty() ? tagTitle : title);
  return true;
}
