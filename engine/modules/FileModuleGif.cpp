#include "engine/modules/FileModuleGif.h"

#include <cstring>

#include "media/ByteCursor.h"
#include "media/Reader.h"

namespace {

const uint64_t kScreenFlagsAt = 10;
const uint8_t kImage = 0x2C;
const uint8_t kExtension = 0x21;
const uint8_t kTrailer = 0x3B;

// A colour table follows when the top bit of the flags is set.
uint64_t colourTableBytes(uint8_t flags) { return (flags & 0x80) ? 3u << ((flags & 7) + 1) : 0; }

// Past a chain of data sub-blocks (length byte, data) and its 0 terminator.
bool skipSubBlocks(ByteCursor& cursor, uint64_t& position) {
  for (;;) {  // each step moves on; a read past the reader ends it
    uint8_t length;
    if (!cursor.u8(position, length)) return false;
    position += 1 + uint64_t(length);
    if (length == 0) return true;
  }
}

// Past the fixed part of an extension that starts at `position` (its 0x21),
// to its first data sub-block; false for an extension we do not know.
bool skipExtensionHead(ByteCursor& cursor, uint64_t& position) {
  uint8_t head[2];  // label, block size
  if (!cursor.read(position + 1, head, 2)) return false;
  uint8_t label = head[0], size = head[1];
  position += 1;
  if (label == 0xFF && (size == 0x0B || size == 0xFC))
    position += 2 + uint64_t(size);  // application
  else if (label == 0xFE)
    position += 1;  // comment
  else if (label == 0xF9 && size == 4)
    position += 6;  // graphic control
  else if (label == 0x01 && size == 0x0C)
    position += 14;  // plain text
  else
    return false;
  return true;
}

}  // namespace

bool FileModuleGif::scan(const uint8_t* sector, uint32_t length) {
  return length >= 6 && (memcmp(sector, "GIF87a", 6) == 0 || memcmp(sector, "GIF89a", 6) == 0);
}

bool FileModuleGif::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  uint8_t flags;
  if (!cursor.u8(kScreenFlagsAt, flags)) return false;
  uint64_t position = kScreenFlagsAt + 3 + colourTableBytes(flags);
  for (;;) {  // every block moves on; a read past the reader ends the walk
    uint8_t introducer;
    if (!cursor.u8(position, introducer)) return false;
    if (introducer == kImage) {
      // Position, size, flags; then a local colour table and the LZW code size.
      if (!cursor.u8(position + 9, flags)) return false;
      position += 9 + colourTableBytes(flags) + 2;
      if (!skipSubBlocks(cursor, position)) return false;
    } else if (introducer == kExtension) {
      if (!skipExtensionHead(cursor, position) || !skipSubBlocks(cursor, position)) return false;
    } else if (introducer == kTrailer) {
      file.clear();
      file.attributes.set("t", "gif");
      file.size = position + 1;
      return true;
    } else {
      return false;
    }
  }
}
