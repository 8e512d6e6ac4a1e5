// LZH archives: the walk over the headers.

#include "engine/modules/FileModuleLzh.h"

#include <cstring>

#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

// Fields of the part of a header that all levels share.
const size_t kMethod = 2;          // "-lh5-" and the like
const size_t kCompressedSize = 7;  // 32 bits
const size_t kAttribute = 19;
const size_t kLevel = 20;
const size_t kNameLength = 21;     // levels 0 and 1
const size_t kLevel2Os = 23;
const uint8_t kEndMark = 0;

// Operating systems that level-2 headers name; 0 is the "generic" system
// that some archivers (jlha among them) write.
const char kSystems[] = "M29K3HUCFmR";
const uint8_t kGenericSystem = 0;

}  // namespace

bool FileModuleLzh::plausibleHeader(const uint8_t* h) {
  const uint8_t* m = h + kMethod;
  if (m[0] != '-' || m[4] != '-' || m[1] != 'l') return false;
  bool lh = m[2] == 'h' && ((m[3] >= '0' && m[3] <= '7') || m[3] == 'd');
  bool lz = m[2] == 'z' && m[3] != 's' && m[3] != '4';
  if (!lh && !lz) return false;
  switch (h[kLevel]) {
    case 0: return h[0] != h[kNameLength] + 24;
    case 1: return h[0] != h[kNameLength] + 27 && h[kAttribute] == 0x20;
    case 2:
      return le16(h) >= 26 && (h[kLevel2Os] == kGenericSystem || strchr(kSystems, h[kLevel2Os]) != nullptr);
    default: return false;
  }
}

bool FileModuleLzh::scan(const uint8_t* sector, uint32_t length) {
  return length >= kHeaderTest && plausibleHeader(sector);
}

bool FileModuleLzh::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  uint64_t position = 0;
  for (uint32_t entry = 0; entry < kMaxEntries && Reader::fits(position, kHeaderTest, cursor.size()); ++entry) {
    uint8_t header[kHeaderTest];
    if (!cursor.read(position, header, sizeof header)) return false;
    if (!plausibleHeader(header)) break;
    uint64_t headerLength = header[kLevel] == 2 ? le16(header) : uint64_t(header[0]) + 2;
    uint64_t next = position + headerLength + le32(header + kCompressedSize);
    if (next > cursor.size()) break;
    position = next;
  }
  if (position == 0) return false;
  // The archive's end mark is one zero byte; a byte that is not zero
  // belongs to whatever follows.
  uint8_t mark = 1;
  if (cursor.u8(position, mark) && mark == kEndMark) ++position;
  file.clear();
  file.attributes.set("t", "lzh");
  file.size = position;
  return true;
}
