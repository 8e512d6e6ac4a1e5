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

// A code after 0xFF that ends the entropy-coded data.
bool endsScan(uint8_t code) { return code != 0x00 && code != 0xFF && !isRestartMarker(code); }

ScanEnd findMarker(ByteCursor& cursor, uint64_t& position) {
  // Only an 0xFF can start a marker: memchr finds them, so the entropy-coded
  // data (and zeros after a file cut short) pass at memory speed.
  bool carried = false;  // the previous span ended with 0xFF
  uint64_t at = position;
  while (at < cursor.size()) {
    size_t n = 0;
    const uint8_t* p = cursor.span(at, n);
    if (!p) return ScanEnd::kReadFailed;
    if (carried && endsScan(p[0])) {
      position = at - 1;
      return ScanEnd::kMarker;
    }
    carried = false;
    for (const uint8_t* ff = static_cast<const uint8_t*>(memchr(p, 0xFF, n)); ff;
         ff = static_cast<const uint8_t*>(memchr(ff + 1, 0xFF, n - static_cast<size_t>(ff + 1 - p)))) {
      size_t k = static_cast<size_t>(ff - p);
      if (k + 1 == n) {
        carried = true;
        break;
      }
      if (endsScan(p[k + 1])) {
        position = at + k;
        return ScanEnd::kMarker;
      }
    }
    at += n;
  }
  position = at;
  return ScanEnd::kExhausted;
}

// Start-of-frame codes: C0 to CF except DHT (C4), JPG (C8) and DAC (CC).
bool isFrameMarker(uint8_t code) {
  return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

}  // namespace

FileModuleJpeg::Frame FileModuleJpeg::readGeometry(ByteCursor& cursor, uint64_t position, JpegGeometry& geometry) {
  uint8_t soi[2];
  if (!cursor.read(position, soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) return Frame::kBad;
  position += 2;
  for (uint32_t step = 0; step < kMaxFrameMarkers; ++step) {
    uint8_t head[4];
    if (!cursor.read(position, head, 2) || head[0] != 0xFF) return Frame::kBad;
    if (head[1] == 0xFF) {  // a fill byte
      ++position;
      continue;
    }
    if (head[1] == 0xDA) return Frame::kNoFrame;
    if (!cursor.read(position, head, 4)) return Frame::kBad;
    if (isFrameMarker(head[1])) {
      uint8_t frame[6];
      if (!cursor.read(position + 4, frame, sizeof frame)) return Frame::kBad;
      geometry.bitsPerSample = frame[0];
      geometry.height = be16(frame + 1);
      geometry.width = be16(frame + 3);
      geometry.samples = frame[5];
      return Frame::kFound;
    }
    position += 2 + uint64_t(be16(head + 2));
  }
  return Frame::kBad;
}

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
