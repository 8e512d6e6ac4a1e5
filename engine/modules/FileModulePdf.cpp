#include "engine/modules/FileModulePdf.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/modules/ByteSearch.h"
#include "engine/modules/ExifDate.h"
#include "engine/modules/NameAttribute.h"
#include "engine/modules/PdfSyntax.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"

namespace {

const char kEndMarker[] = "%%EOF";
const size_t kEndMarkerBytes = 5;
const char kStartXref[] = "startxref";
// "startxref", its number and the line ends before "%%EOF" fit in this.
const size_t kTailBytes = 64;
// "%%EOF" inside streams is possible, each costs a look; more than this
// many is not a document.
const int kMaxMarkers = 100000;

// The number after the "startxref" that ends right before `marker`;
// `readable` tells whether the bytes before it could be read.
bool startxrefBefore(ByteCursor& cursor, uint64_t marker, uint64_t& value, bool& readable) {
  size_t length = size_t(std::min<uint64_t>(kTailBytes, marker));
  char tail[kTailBytes];
  readable = cursor.read(marker - length, tail, length);
  if (!readable) return false;
  std::string text(tail, length);
  size_t at = text.rfind(kStartXref);
  if (at == std::string::npos) return false;
  at += sizeof kStartXref - 1;
  while (at < text.size() && isPdfSpace(uint8_t(text[at]))) ++at;
  size_t digits = at;
  value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - digits < 18) value = value * 10 + (text[at++] - '0');
  if (at == digits) return false;
  while (at < text.size() && isPdfSpace(uint8_t(text[at]))) ++at;
  return at == text.size();
}

// The line end after "%%EOF": CR LF, LF or CR.
uint64_t lineEndBytes(ByteCursor& cursor, uint64_t position) {
  uint8_t bytes[2] = {};
  if (!cursor.u8(position, bytes[0])) return 0;
  cursor.u8(position + 1, bytes[1]);
  if (bytes[0] == '\r') return bytes[1] == '\n' ? 2 : 1;
  return bytes[0] == '\n' ? 1 : 0;
}

}  // namespace

bool FileModulePdf::scan(const uint8_t* sector, uint32_t length) {
  return length >= 6 && memcmp(sector, "%PDF-", 5) == 0 && sector[5] >= '0' && sector[5] <= '9';
}

bool FileModulePdf::analyze(Reader& reader, File& file) { return analyzeFrom(0, reader, file, nullptr); }

bool FileModulePdf::analyzeAt(uint64_t position, Reader& reader, File& file) {
  if (known_.reader != &reader) {
    known_ = KnownMarkers();
    known_.reader = &reader;
  }
  return analyzeFrom(position, reader, file, &known_);
}

uint64_t FileModulePdf::nextMarker(ByteCursor& cursor, uint64_t base, uint64_t at, KnownMarkers* known,
                                   uint64_t& startxref) {
  uint64_t marker = UINT64_MAX;
  bool kept = false;
  if (known) {
    uint64_t place = base + at;
    if (place < known->from || place > known->to) {
      known->from = known->to = place;  // a new stretch
      known->markers.clear();
    }
    auto it = std::lower_bound(known->markers.begin(), known->markers.end(), place,
                               [](const Marker& m, uint64_t p) { return m.at < p; });
    if (it != known->markers.end()) {
      marker = it->at - base;
      if (marker > cursor.size() || cursor.size() - marker < kEndMarkerBytes) return UINT64_MAX;  // past this window
      // A number read with the whole tail before the marker holds for every
      // window that holds that tail too; others read it again.
      if (it->wholeTail && marker >= kTailBytes) {
        startxref = it->startxref;
        return marker;
      }
      kept = true;
    } else {
      bool unreadable = false;
      marker = findBytes(cursor, known->to - base, cursor.size(), kEndMarker, kEndMarkerBytes, &unreadable);
      if (marker == UINT64_MAX) {
        // None starts up to where the window ends but for the last bytes.
        if (!unreadable && cursor.size() >= kEndMarkerBytes)
          known->to = std::max(known->to, base + cursor.size() - kEndMarkerBytes + 1);
        return UINT64_MAX;
      }
    }
  } else {
    marker = findBytes(cursor, at, cursor.size(), kEndMarker, kEndMarkerBytes);
    if (marker == UINT64_MAX) return UINT64_MAX;
  }
  bool readable = true;
  if (!startxrefBefore(cursor, marker, startxref, readable)) startxref = kNoStartxref;
  // "%%EOF" cannot overlap itself, so no other marker starts in the next
  // four bytes.
  if (known && !kept && readable && known->markers.size() < kMaxKnownMarkers) {
    known->markers.push_back({base + marker, startxref, marker >= kTailBytes});
    known->to = base + marker + kEndMarkerBytes;
  }
  return marker;
}

// `base` is where byte 0 of `reader` lies on the medium; `known`, when
// given, holds the markers that earlier candidates met there.
bool FileModulePdf::analyzeFrom(uint64_t base, Reader& reader, File& file, KnownMarkers* known) {
  ByteCursor cursor(reader);
  uint8_t head[6];
  if (!cursor.read(0, head, sizeof head) || !scan(head, sizeof head)) return false;
  uint64_t end = 0, crossReference = 0, position = sizeof head;
  for (int i = 0; i < kMaxMarkers; ++i) {
    uint64_t xref = kNoStartxref;
    uint64_t marker = nextMarker(cursor, base, position, known, xref);
    if (marker == UINT64_MAX) break;
    position = marker + kEndMarkerBytes;
    // A marker without a "startxref" that points back into the document is
    // not the end of it (it may lie inside a stream).
    if (xref == kNoStartxref || xref >= marker || !isCrossReferenceAt(cursor, xref, marker)) continue;
    end = position + lineEndBytes(cursor, position);
    crossReference = xref;
    // An incremental update starts right after the end with new objects or
    // a new cross-reference section.
    if (!continuesAt(cursor, end, cursor.size())) break;
  }
  if (end == 0) return false;

  file.clear();
  file.attributes.set("t", "pdf");
  file.size = end;
  PdfInformation information;
  if (readPdfInformation(cursor, crossReference, end, information)) {
    setNameAttribute(file.attributes, information.title);
    if (information.dated) setTimeAttribute(file.attributes, information.seconds);
  }
  return true;
}
