// JPEG files: the marker walk.

#include "engine/modules/FileModuleJpeg.h"

#include <cstring>

#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

// Reads of the walk go through one piece of the file held in memory, so
// that small segment headers close together cost a single medium read.
class PieceCache {
 public:
  explicit PieceCache(Reader& reader) : reader_(reader), size_(reader.size()) {}

  uint64_t size() const { return size_; }

  // Makes the piece start at `position` (at most kPieceSize bytes, cut at the
  // reader's end).  False when position is at the end or the read fails.
  bool load(uint64_t position) {
    if (position >= size_) return false;
    uint64_t rest = size_ - position;
    uint32_t n = rest < FileModuleJpeg::kPieceSize ? static_cast<uint32_t>(rest) : FileModuleJpeg::kPieceSize;
    if (!reader_.read(position, piece_, n)) {
      length_ = 0;
      return false;
    }
    base_ = position;
    length_ = n;
    return true;
  }

  bool contains(uint64_t position, uint32_t n) const {
    return length_ != 0 && position >= base_ && Reader::fits(position - base_, n, length_);
  }

  // Exactly n bytes at position, or false.
  bool get(uint64_t position, uint8_t* out, uint32_t n) {
    if (!contains(position, n)) {
      // A piece that cannot be read whole may still hold the bytes asked for
      // (a bad sector further on): fall back to reading just those.
      if (!load(position) || !contains(position, n)) return reader_.read(position, out, n);
    }
    memcpy(out, piece_ + (position - base_), n);
    return true;
  }

  const uint8_t* data() const { return piece_; }
  uint32_t length() const { return length_; }

 private:
  Reader& reader_;
  uint64_t size_;
  uint64_t base_ = 0;
  uint32_t length_ = 0;
  uint8_t piece_[FileModuleJpeg::kPieceSize];
};

bool isRestartMarker(uint8_t code) { return code >= 0xD0 && code <= 0xD7; }

// From `position` (an 0xFF byte), the position of the last 0xFF of the run of
// fill bytes that starts there; false on a failed read or at the end.
bool skipFill(PieceCache& cache, uint64_t& position) {
  for (;;) {
    uint8_t pair[2];
    if (!cache.get(position, pair, 2)) return false;
    if (pair[0] != 0xFF || pair[1] != 0xFF) return true;
    ++position;
  }
}

// The entropy-coded data from `position`: the position of the 0xFF byte of
// the next marker that is not a stuffed byte or a restart marker.  Fill
// bytes may precede any marker, restart markers too, so in a run of 0xFF the
// code after the run decides; the position is that of the run's last 0xFF.
enum class ScanEnd { kMarker, kExhausted, kReadFailed };

ScanEnd findMarker(PieceCache& cache, uint64_t& position) {
  uint8_t carried = 0;
  uint64_t at = position;
  while (at < cache.size()) {
    if (!cache.load(at)) return ScanEnd::kReadFailed;
    const uint8_t* p = cache.data();
    uint32_t n = cache.length();
    uint8_t before = carried;
    for (uint32_t j = 0; j < n; ++j) {
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

const uint32_t FileModuleJpeg::kPieceSize;

bool FileModuleJpeg::scan(const uint8_t* sector, uint32_t length) {
  return length >= 3 && sector[0] == 0xFF && sector[1] == 0xD8 && sector[2] == 0xFF;
}

bool FileModuleJpeg::analyze(Reader& reader, File& file) {
  PieceCache cache(reader);
  uint64_t position = 2;  // just after the start-of-image marker
  for (;;) {
    uint8_t marker[2];
    if (!cache.get(position, marker, 2)) return false;
    if (marker[0] != 0xFF) return false;
    if (marker[1] == 0xFF) {
      if (!skipFill(cache, position)) return false;
      if (!cache.get(position, marker, 2)) return false;
    }
    position += 2;
    if (marker[1] == 0xD9) {
      file.clear();
      file.attributes.set("t", "jpeg");
      file.size = position;
      return true;
    }
    uint8_t lengthField[2];
    if (!cache.get(position, lengthField, 2)) return false;
    uint16_t length = be16(lengthField);
    if (length < 2) return false;
    // A segment that runs past the reader cannot be followed by a marker.
    if (!Reader::fits(position, length, cache.size())) return false;
    position += length;
    if (marker[1] != 0xDA) continue;

    if (position >= cache.size()) return false;
    switch (findMarker(cache, position)) {
      case ScanEnd::kMarker: break;
      case ScanEnd::kExhausted: return false;  // the marker read at the end fails
      case ScanEnd::kReadFailed: return false;
    }
  }
}
