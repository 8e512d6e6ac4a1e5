#include "engine/modules/FileModuleMp3.h"

#include <cstring>
#include <vector>

#include "engine/modules/Id3Tag.h"
#include "engine/modules/MpegAudioFrame.h"
#include "engine/modules/NameAttribute.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"

namespace {

const uint64_t kId3v1Bytes = 128;
const uint64_t kId3v1TitleAt = 3;
const size_t kId3v1TitleBytes = 30;
// The smallest tag body that can hold a title: a frame header, the text
// encoding and one character.
const uint64_t kMinTitleBody = 12;

// The ID3v2 tag at `position`, if its header passes; nothing is read past
// the cursor's end.
bool readId3v2Header(ByteCursor& cursor, uint64_t position, Id3v2Header& header) {
  uint8_t peek[kId3v2HeaderPeek];
  size_t n = cursor.size() - position < sizeof peek ? size_t(cursor.size() - position) : sizeof peek;
  return cursor.read(position, peek, n) && parseId3v2Header(peek, n, header);
}

std::string tagTitle(ByteCursor& cursor, uint64_t tagStart, const Id3v2Header& header) {
  if (header.tagLength <= header.headerLength) return std::string();
  uint64_t body = header.tagLength - header.headerLength;
  if (body < kMinTitleBody) return std::string();
  if (body > FileModuleMp3::kTitleSearch) body = FileModuleMp3::kTitleSearch;
  std::vector<uint8_t> bytes(body);
  if (!cursor.read(tagStart + header.headerLength, bytes.data(), bytes.size())) return std::string();
  return id3v2Title(bytes.data(), bytes.size(), header.major);
}

// The position of the first 0xFF byte in the `limit` bytes from `position`,
// or UINT64_MAX.
uint64_t firstFF(ByteCursor& cursor, uint64_t position, uint64_t limit) {
  if (limit > cursor.size() - position) limit = cursor.size() - position;
  for (uint64_t at = position; at < position + limit;) {
    size_t n = 0;
    const uint8_t* p = cursor.span(at, n);
    if (!p) break;
    if (n > position + limit - at) n = size_t(position + limit - at);
    if (const void* ff = memchr(p, 0xFF, n)) return at + uint64_t(static_cast<const uint8_t*>(ff) - p);
    at += n;
  }
  return UINT64_MAX;
}

// Of several titles the longer one is kept.
void offerTitle(std::string& title, const std::string& candidate) {
  if (candidate.size() > title.size()) title = candidate;
}

}  // namespace

bool FileModuleMp3::scan(const uint8_t* sector, uint32_t length) {
  if (startsId3v2(sector, length)) return true;
  if (length < 4) return false;
  for (uint32_t at = 0; at <= length - 4;) {
    uint32_t frame = mpegAudioFrameLength(sector + at);
    if (frame == 0) return false;
    at += frame;  // frames are at least 24 bytes: no overflow within a sector
  }
  return true;
}

bool FileModuleMp3::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  std::string title;
  uint64_t audioStart = 0;
  uint8_t head[4];
  if (!cursor.read(0, head, sizeof head)) return false;
  if (startsId3v2(head, sizeof head)) {
    Id3v2Header header;
    if (!readId3v2Header(cursor, 0, header) || !Reader::fits(0, header.tagLength, cursor.size())) return false;
    offerTitle(title, tagTitle(cursor, 0, header));
    audioStart = header.tagLength;
  }

  // Each step moves on by a frame (at least 24 bytes) or ends the walk, so
  // the walk ends within size / 24 steps.
  uint64_t position = audioStart;
  for (;;) {
    if (!cursor.read(position, head, sizeof head)) break;
    if (uint32_t frame = mpegAudioFrameLength(head)) {
      // A frame cut off by the end of the reader is not part of the file.
      if (!Reader::fits(position, frame, cursor.size())) break;
      position += frame;
      continue;
    }
    if (memcmp(head, "TAG", 3) == 0) {
      uint8_t bytes[kId3v1TitleBytes];
      if (Reader::fits(position, kId3v1Bytes, cursor.size()) &&
          cursor.read(position + kId3v1TitleAt, bytes, sizeof bytes)) {
        offerTitle(title, id3v1Title(bytes));
        position += kId3v1Bytes;
      }
      break;
    }
    Id3v2Header appended;
    if (startsId3v2(head, sizeof head)) {
      if (readId3v2Header(cursor, position, appended) && Reader::fits(position, appended.tagLength, cursor.size())) {
        offerTitle(title, tagTitle(cursor, position, appended));
        position += appended.tagLength;
      }
      break;
    }
    if (head[0] == 0 && position > 0 && position == audioStart) {
      // Zero padding that some writers put after the leading tag.
      uint64_t next = firstFF(cursor, position, kPaddingSearch);
      if (next == UINT64_MAX) break;
      position = next;
      continue;
    }
    break;
  }
  if (position <= kMinSize) return false;

  file.clear();
  file.attributes.set("t", "mp3");
  file.size = position;
  setNameAttribute(file.attributes, title);
  return true;
}
