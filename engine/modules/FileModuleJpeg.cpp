// JPEG files: the marker walk.

#include "engine/modules/FileModuleJpeg.h"

#include <cstring>

#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

bool isRestartMarker(uint8_t code) { return code >= 0xD0 && code <= 0xD7; }

// From `position` (an 0xFF byte), the position of the last 0xFF of the run of
// fill bytes that starts there; false on a failed read or at the end.
bool skipFill(ByteCursor& cursor, uint64_t& position) {
  for (;;) {
    uint8_t pair[2];
    if (!cursor.read(position, pair, 2)) return false;
    if (pair[0] != 0xFF || pair[1] != 0xFF) return true;
    ++position;
  }
}

// The entropy-coded data from `position`: the position of the 0xFF byte of
// the next marker that is not a stuffed byte or a restart marker.  Fill
// bytes may precede any marker, restart markers too, so in a run of 0xFF the
// code after the run decides; the position is that of the run's last 0xFF.
enum class ScanEnd { kMarker, kExhausted, kReadFailed };

ScanEnd findMarker(ByteCursor& cursor, uint64_t& position) {
  uint8_t carried = 0;
  uint64_t at = position;
  while (at < cursor.size()) {
    size_t n = 0;
    const uint8_t* p = cursor.span(at, n);
    if (!p) return ScanEnd::kReadFailed;
    uint8_t before = carried;
    for (size_t j = 0; j < n; ++j) {
      uint8_t b = p[j];
      if (before == 0xFF && b != 0x00 && b != 0xFF && !isRestartMarker(b)) {
        position = at + j - 1;  // j == 0: the 0xFF was the carried byte
        return ScanEnd::kMarker;
      }
      before = b;
    }
    carried = p[n - 1];
    at += n;
  }
  position = at;
  return ScanEnd::kExhausted;
}

}  // namespace

bool FileModuleJpeg::scan(const uint8_t* sector, uint32_t length) {
  return length >= 3 && sector[0] == 0xFF && sector[1] == 0xD8 && sector[2] == 0xFF;
}

bool FileModuleJpeg::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader, UINT64_MAX, kPieceSize);
  uint64_t position = 2;  // just after the start-of-image marker
  for (;;) {
    uint8_t marker[2];
    if (!cursor.read(position, marker, 2)) return false;
    if (marker[0] != 0xFF) return false;
    if (marker[1] == 0xFF) {
      if (!skipFill(cursor, position)) return false;
      if (!cursor.read(position, marker, 2)) return false;
    }
    position += 2;
    if (marker[1] == 0xD9) {
      file.clear();
      file.attributes.set("t", "jpeg");
      file.size = position;
      return true;
    }
    uint8_t lengthField[2];
    if (!cursor.read(position, lengthField, 2)) return false;
    uint16_t length = be16(lengthField);
    if (length < 2) return false;
    // A segment that runs past the reader cannot be followed by a marker.
    if (!Reader::fits(position, length, cursor.size())) return false;
    position += length;
    if (marker[1] != 0xDA) continue;

    if (position >= cursor.size()) return false;
    switch (findMarker(cursor, position)) {
      case ScanEnd::kMarker: break;
      case ScanEnd::kExhausted: return false;  // the marker read at the end fails
      case ScanEnd::kReadFailed: return false;
    }
  }
}
