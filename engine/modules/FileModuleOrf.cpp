#include "engine/modules/FileModuleOrf.h"

#include <cstring>
#include <vector>

#include "engine/modules/FileModuleTiff.h"
#include "engine/modules/FileModuleTiffWalk.h"
#include "engine/modules/TiffLayout.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

const char* const kMagics[] = {"IIRO", "IIRS", "MMOR"};

// Maker-note headers.  The newer ones carry their own byte order and count
// offsets from the maker note's first byte; the oldest counts them from the
// TIFF header, in the file's byte order.
struct MakerHeader {
  const char* text;
  size_t textBytes;
  size_t ifdAt;  // where the IFD starts; the byte order mark sits just before the version
  bool ownBase;
};
const MakerHeader kMakerHeaders[] = {
    {"OLYMPUS\0", 8, 12, true},
    {"OM SYSTEM\0\0\0", 12, 16, true},
    {"OLYMP\0", 6, 8, false},
};

const uint16_t kCameraSettings = 0x2020;
const uint16_t kPreviewStart = 0x101;
const uint16_t kPreviewLength = 0x102;
const uint16_t kOldPreviewStart = 0x88;
const uint16_t kOldPreviewLength = 0x89;
const uint16_t kMaxEntries = 1000;

// The values of `tags` (single 32-bit values, or the offset of their data)
// in the IFD at `offset`; false when the IFD cannot be read.
bool findValues(ByteCursor& cursor, bool big, uint64_t offset, const uint16_t* tags, uint32_t* values, bool* found,
                size_t n) {
  uint8_t head[2];
  if (!cursor.read(offset, head, 2)) return false;
  uint16_t count = big ? be16(head) : le16(head);
  if (count == 0 || count > kMaxEntries) return false;
  std::vector<uint8_t> entries(12u * count);
  if (!cursor.read(offset + 2, entries.data(), entries.size())) return false;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* e = &entries[12u * i];
    uint16_t tag = big ? be16(e) : le16(e);
    for (size_t t = 0; t < n; ++t)
      if (tag == tags[t]) {
        values[t] = big ? be32(e + 8) : le32(e + 8);
        found[t] = true;
      }
  }
  return true;
}

}  // namespace

bool FileModuleOrf::scan(const uint8_t* sector, uint32_t length) {
  if (length < 4) return false;
  for (const char* magic : kMagics)
    if (memcmp(sector, magic, 4) == 0) return true;
  return false;
}

bool FileModuleOrf::analyze(Reader& reader, File& file) {
  uint8_t header[8];
  if (!reader.read(0, header, sizeof header) || !scan(header, sizeof header)) return false;
  bool big = header[0] == 'M';
  TiffLayout layout(reader.size());
  if (!layout.extendTo(sizeof header)) return false;
  TiffWalk walk(reader, big, layout);
  if (!walk.walkChain(walk.u32(header + 4))) return false;
  findMakerPreview(reader, big, layout);
  FileModuleTiff::finish(reader, layout, file, "orf");
  return true;
}

void FileModuleOrf::findMakerPreview(Reader& reader, bool big, TiffLayout& layout) {
  ByteCursor cursor(reader, layout.limit);
  uint8_t text[16];
  uint64_t note = layout.makerNoteOffset;
  if (layout.makerNoteLength < sizeof text || !cursor.read(note, text, sizeof text)) return;
  for (const MakerHeader& h : kMakerHeaders) {
    if (memcmp(text, h.text, h.textBytes) != 0) continue;
    uint64_t base = 0;
    bool order = big;
    if (h.ownBase) {
      base = note;
      const uint8_t* mark = text + h.ifdAt - 4;
      if (memcmp(mark, "II", 2) == 0)
        order = false;
      else if (memcmp(mark, "MM", 2) == 0)
        order = true;
      else
        return;
    }
    // The preview is named in the maker note's own IFD (older bodies) or in
    // its camera-settings IFD.
    const uint16_t tags[] = {kOldPreviewStart, kOldPreviewLength, kCameraSettings};
    uint32_t values[3] = {0, 0, 0};
    bool have[3] = {false, false, false};
    if (!findValues(cursor, order, note + h.ifdAt, tags, values, have, 3)) return;
    uint32_t preview[2] = {values[0], values[1]};
    if (!have[0] || !have[1]) {
      const uint16_t previewTags[] = {kPreviewStart, kPreviewLength};
      have[0] = have[1] = false;
      if (!have[2] || !findValues(cursor, order, base + values[2], previewTags, preview, have, 2) || !have[0] ||
          !have[1])
        return;
    }
    uint64_t start = base + preview[0];
    uint8_t soi[2];
    // Only a JPEG stream inside the reader; the file then reaches over it.
    if (preview[1] == 0 || start > TiffImage::kUnknown || !cursor.read(start, soi, 2) || soi[0] != 0xFF ||
        soi[1] != 0xD8 || !layout.extendTo(start + preview[1]))
      return;
    layout.namedPreview.offset = static_cast<uint32_t>(start);
    layout.namedPreview.size = preview[1];
    return;
  }
}
