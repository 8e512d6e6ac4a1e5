#include "engine/modules/FileModuleMpeg.h"

#include <cstring>

#include "media/ByteCursor.h"
#include "media/Reader.h"

namespace {

const uint8_t kSequenceHeader = 0xB3;
const uint8_t kSequenceEnd = 0xB7;
const uint8_t kProgramEnd = 0xB9;  // also the first of the system start codes
const uint8_t kPackHeader = 0xBA;
const uint8_t kSystemHeader = 0xBB;
const uint64_t kStartCodeBytes = 4;
const uint64_t kPacketHeadBytes = 6;  // start code and 16-bit length
const uint64_t kMpeg1PackBytes = 12;
const uint64_t kMpeg2PackBytes = 14;  // before its stuffing bytes
// Video data has a start code at least every slice (one row of
// macroblocks): a longer stretch without one is not video data.
const uint64_t kMaxStartCodeGap = 1 << 20;

bool isStartCode(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 1; }

// The length of the pack header at `position`, or 0 when its marker bits
// are not those of an MPEG-1 or MPEG-2 pack.
uint64_t packHeaderLength(ByteCursor& cursor, uint64_t position) {
  uint8_t h[kMpeg2PackBytes];
  if (!cursor.read(position, h, kMpeg1PackBytes)) return 0;
  if ((h[4] & 0xF1) == 0x21) {
    bool markers = (h[6] & 1) && (h[8] & 1) && (h[9] & 0x80) && (h[11] & 1);
    return markers ? kMpeg1PackBytes : 0;
  }
  if ((h[4] & 0xC4) != 0x44 || !cursor.read(position, h, kMpeg2PackBytes)) return 0;
  bool markers = (h[6] & 4) && (h[8] & 4) && (h[9] & 1) && (h[12] & 3) == 3;
  return markers ? kMpeg2PackBytes + (h[13] & 7) : 0;
}

// The walk of a program stream; 0 when it is not one.  Every step moves on
// by at least 6 bytes or ends the walk.
uint64_t programStreamEnd(ByteCursor& cursor) {
  uint64_t position = 0;
  uint64_t packs = 0, packets = 0;
  for (;;) {
    uint8_t head[kPacketHeadBytes];
    if (!cursor.read(position, head, kStartCodeBytes) || !isStartCode(head)) break;
    uint8_t code = head[3];
    if (code == kProgramEnd) {
      if (packs == 0) break;
      return position + kStartCodeBytes;
    }
    uint64_t length;
    if (code == kPackHeader) {
      length = packHeaderLength(cursor, position);
      if (length == 0) break;
      ++packs;
    } else if (code >= kSystemHeader && packs > 0) {
      if (!cursor.read(position, head, kPacketHeadBytes)) break;
      length = kPacketHeadBytes + (uint64_t(head[4]) << 8 | head[5]);
      ++packets;
    } else {
      break;
    }
    // A pack or packet that the reader cuts off is not part of the file.
    if (!Reader::fits(position, length, cursor.size())) break;
    position += length;
  }
  return packs > 0 && packets > 0 ? position : 0;
}

enum class Search { kFound, kEnd, kFailed };

// The next start code 00 00 01 xx (its 4 bytes inside the reader) that
// begins in the `limit` bytes from `at`: `at` becomes its position, `code`
// its last byte.
Search nextStartCode(ByteCursor& cursor, uint64_t& at, uint8_t& code, uint64_t limit) {
  uint64_t stop = cursor.size() - at > limit ? at + limit : cursor.size();
  while (at < stop) {
    size_t n = 0;
    const uint8_t* p = cursor.span(at, n);
    if (!p) return Search::kFailed;
    if (n > stop - at) n = size_t(stop - at);
    // Codes whose four bytes lie in this span: memchr for their 01 byte,
    // which zeros and most data lack, then a look at the two before it ...
    if (n >= 4) {
      for (const uint8_t* one = static_cast<const uint8_t*>(memchr(p + 2, 1, n - 3)); one;
           one = static_cast<const uint8_t*>(memchr(one + 1, 1, n - 1 - size_t(one + 1 - p)))) {
        if (one[-1] == 0 && one[-2] == 0) {
          at += uint64_t(one - 2 - p);
          code = one[1];
          return Search::kFound;
        }
      }
    }
    // ... and those that start in its last three bytes.
    uint64_t end = at + n;
    for (uint64_t t = n >= 3 ? end - 3 : at; t < end; ++t) {
      uint8_t b[kStartCodeBytes];
      if (cursor.read(t, b, sizeof b) && isStartCode(b)) {
        at = t;
        code = b[3];
        return Search::kFound;
      }
    }
    at = end;
  }
  return Search::kEnd;
}

// The end of an elementary stream: just after its sequence end code.
uint64_t elementaryStreamEnd(ByteCursor& cursor) {
  uint64_t at = kStartCodeBytes;
  uint8_t code = 0;
  while (nextStartCode(cursor, at, code, kMaxStartCodeGap) == Search::kFound) {
    if (code == kSequenceEnd) return at + kStartCodeBytes;
    // Pack, packet and program end codes never occur inside video data:
    // the stream ended before them without its end code.
    if (code >= kProgramEnd) return 0;
    at += 3;
  }
  return 0;
}

}  // namespace

bool FileModuleMpeg::scan(const uint8_t* sector, uint32_t length) {
  return length >= 4 && isStartCode(sector) && (sector[3] == kSequenceHeader || sector[3] == kPackHeader);
}

bool FileModuleMpeg::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  uint8_t head[kStartCodeBytes];
  if (!cursor.read(0, head, sizeof head) || !isStartCode(head)) return false;
  uint64_t end = 0;
  if (head[3] == kPackHeader)
    end = programStreamEnd(cursor);
  else if (head[3] == kSequenceHeader)
    end = elementaryStreamEnd(cursor);
  if (end == 0) return false;
  file.clear();
  file.attributes.set("t", "mpeg");
  file.size = end;
  return true;
}
