#include "engine/modules/FileModulePng.h"

#include <cstring>

#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {
const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
const uint64_t kChunkOverhead = 12;  // length, type, CRC
}  // namespace

bool FileModulePng::scan(const uint8_t* sector, uint32_t length) {
  return length >= sizeof kSignature && memcmp(sector, kSignature, sizeof kSignature) == 0;
}

bool FileModulePng::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  uint64_t position = sizeof kSignature;
  for (;;) {  // every chunk moves on by at least 12 bytes; the reader's end stops it
    uint8_t head[8];
    if (!cursor.read(position, head, sizeof head)) return false;
    if (memcmp(head + 4, "IEND", 4) == 0) {
      uint64_t end = position + kChunkOverhead;
      if (end > reader.size()) return false;
      file.clear();
      file.attributes.set("t", "png");
      file.size = end;
      return true;
    }
    position += be32(head) + kChunkOverhead;
  }
}
