#include "engine/modules/FileModuleWebp.h"

#include <algorithm>
#include <cstring>

#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

const uint64_t kHeaderBytes = 8;  // chunk id and chunk size
const uint64_t kFormBytes = 12;   // "RIFF", size, "WEBP"
// A picture has a handful of chunks; an animation one per frame.
const uint32_t kMaxChunks = 1000000;

bool is(const uint8_t* id, const char* name) { return memcmp(id, name, 4) == 0; }

// The first bytes of a picture chunk as its coder writes them: a VP8 key
// frame's start code, the VP8L signature byte.
bool pictureStarts(ByteCursor& cursor, const uint8_t* id, uint64_t data, uint32_t size) {
  uint8_t bytes[6];
  if (is(id, "VP8 ")) return size >= 10 && cursor.read(data, bytes, 6) && bytes[3] == 0x9D && bytes[4] == 0x01 && bytes[5] == 0x2A;
  if (is(id, "VP8L")) return size >= 5 && cursor.u8(data, bytes[0]) && bytes[0] == 0x2F;
  return false;
}

}  // namespace

bool FileModuleWebp::scan(const uint8_t* sector, uint32_t length) {
  return length >= kFormBytes && memcmp(sector, "RIFF", 4) == 0 && memcmp(sector + 8, "WEBP", 4) == 0;
}

bool FileModuleWebp::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  uint8_t form[kFormBytes];
  if (!cursor.read(0, form, sizeof form) || !is(form, "RIFF") || !is(form + 8, "WEBP")) return false;
  uint64_t end = kHeaderBytes + le32(form + 4);
  if (end > cursor.size() || end < kFormBytes + kHeaderBytes) return false;

  // The chunks must fill the RIFF size exactly; each is padded to an even
  // length.
  uint64_t position = kFormBytes;
  bool extended = false, picture = false;
  for (uint32_t count = 0; position < end; ++count) {
    uint8_t head[kHeaderBytes];
    if (count >= kMaxChunks || end - position < kHeaderBytes || !cursor.read(position, head, sizeof head)) return false;
    uint32_t size = le32(head + 4);
    uint64_t length = kHeaderBytes + uint64_t(size) + (size & 1);
    uint64_t data = position + kHeaderBytes;
    // The last chunk's padding byte is left out by some writers.
    if (length > end - position && length - 1 != end - position) return false;
    if (count == 0) {
      extended = is(head, "VP8X");
      if (!extended && !pictureStarts(cursor, head, data, size)) return false;
      picture = !extended;
    } else if (extended && (is(head, "VP8 ") || is(head, "VP8L"))) {
      if (!pictureStarts(cursor, head, data, size)) return false;
      picture = true;
    } else if (extended && is(head, "ANMF")) {
      picture = true;
    }
    position += std::min(length, end - position);
  }
  if (!picture) return false;
  file.clear();
  file.attributes.set("t", "webp");
  file.size = end;
  return true;
}
