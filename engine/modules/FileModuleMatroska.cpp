#include "engine/modules/FileModuleMatroska.h"

#include <cstring>
#include <string>

#include "engine/modules/ExifDate.h"
#include "engine/modules/NameAttribute.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Charset.h"

namespace {

const uint32_t kEbml = 0x1A45DFA3, kDocType = 0x4282;
const uint32_t kSegment = 0x18538067, kInfo = 0x1549A966, kTracks = 0x1654AE6B, kCluster = 0x1F43B675;
const uint32_t kTitle = 0x7BA9, kDateUtc = 0x4461, kTrackEntry = 0xAE, kTrackType = 0x83;
const uint32_t kVoid = 0xEC, kCrc32 = 0xBF;
const uint32_t kTopLevel[] = {0x114D9B74, kInfo, kTracks, kCluster, 0x1C53BB6B, 0x1941A469, 0x1043A770, 0x1254C367, kVoid, kCrc32};
// Timestamp, SilentTracks, Position, PrevSize, SimpleBlock, BlockGroup, EncryptedBlock.
const uint32_t kClusterChildren[] = {0xE7, 0x5854, 0xA7, 0xAB, 0xA3, 0xA0, 0xAF, kVoid, kCrc32};
const uint64_t kMaxHeaderBytes = 4096;
const uint64_t kMaxTextBytes = 1024;
const uint32_t kMaxElements = 1u << 26;   // in one walk
const int kMaxFillersBeforeSegment = 16;
// Seconds from 1970-01-01 to 2001-01-01, where Matroska dates count from.
const int64_t kSeconds1970To2001 = 978307200;
const uint64_t kVideoTrack = 1, kAudioTrack = 2;

struct Element {
  uint32_t id = 0;
  uint64_t data = 0;  // first byte after the head
  uint64_t size = 0;
  bool unknownSize = false;
  uint64_t end() const { return data + size; }
};

// A variable-length integer: its length from the leading zero bits of the
// first byte (at most `maxBytes`), its value with (`keepMarker`) or without
// the length marker.
bool readVint(ByteCursor& cursor, uint64_t position, unsigned maxBytes, bool keepMarker, uint64_t& value, unsigned& length,
              bool& allOnes) {
  uint8_t bytes[8];
  if (!cursor.u8(position, bytes[0]) || bytes[0] == 0) return false;
  length = 1;
  while (!(bytes[0] & (0x80 >> (length - 1)))) ++length;
  if (length > maxBytes || !cursor.read(position, bytes, length)) return false;
  uint8_t marker = uint8_t(0x80 >> (length - 1));
  value = keepMarker ? bytes[0] : bytes[0] & (marker - 1);
  allOnes = (bytes[0] & (marker - 1)) == marker - 1;
  for (unsigned i = 1; i < length; ++i) {
    value = value << 8 | bytes[i];
    allOnes = allOnes && bytes[i] == 0xFF;
  }
  return true;
}

bool readElement(ByteCursor& cursor, uint64_t position, Element& element) {
  uint64_t id = 0;
  unsigned idBytes = 0, sizeBytes = 0;
  bool ignored = false;
  if (!readVint(cursor, position, 4, true, id, idBytes, ignored)) return false;
  if (!readVint(cursor, position + idBytes, 8, false, element.size, sizeBytes, element.unknownSize)) return false;
  element.id = uint32_t(id);
  element.data = position + idBytes + sizeBytes;
  if (element.unknownSize) element.size = 0;
  return element.size <= UINT64_MAX - element.data;
}

template <size_t N>
bool isOneOf(uint32_t id, const uint32_t (&list)[N]) {
  for (uint32_t known : list)
    if (id == known) return true;
  return false;
}

// Calls `visit` for each child of known size inside [begin, end).
template <typename Visit>
void forEachChild(ByteCursor& cursor, uint64_t begin, uint64_t end, Visit visit) {
  uint64_t position = begin;
  for (uint32_t count = 0; position < end && count < kMaxElements; ++count) {
    Element child;
    if (!readElement(cursor, position, child) || child.unknownSize || child.end() > end) return;
    visit(child);
    position = child.end();
  }
}

std::string textOf(ByteCursor& cursor, const Element& element) {
  std::string text(std::min(element.size, kMaxTextBytes), '\0');
  if (!cursor.read(element.data, text.data(), text.size())) return std::string();
  text.resize(strnlen(text.data(), text.size()));
  return text;
}

uint64_t unsignedOf(ByteCursor& cursor, const Element& element) {
  uint8_t bytes[8];
  if (element.size > 8 || !cursor.read(element.data, bytes, size_t(element.size))) return 0;
  uint64_t value = 0;
  for (uint64_t i = 0; i < element.size; ++i) value = value << 8 | bytes[i];
  return value;
}

struct Segment {
  uint64_t end = 0;  // after the last whole top-level element
  bool clusters = false, tracks = false, video = false, audio = false;
  std::string title;
  bool dated = false;
  int64_t seconds = 0;
};

void readInfo(ByteCursor& cursor, const Element& info, Segment& segment) {
  forEachChild(cursor, info.data, info.end(), [&](const Element& e) {
    if (e.id == kTitle) segment.title = textOf(cursor, e);
    if (e.id == kDateUtc && e.size == 8) {
      int64_t nanoseconds = int64_t(unsignedOf(cursor, e));
      segment.seconds = nanoseconds / 1000000000 + kSeconds1970To2001;
      segment.dated = true;
    }
  });
}

void readTracks(ByteCursor& cursor, const Element& tracks, Segment& segment) {
  segment.tracks = true;
  forEachChild(cursor, tracks.data, tracks.end(), [&](const Element& entry) {
    if (entry.id != kTrackEntry) return;
    forEachChild(cursor, entry.data, entry.end(), [&](const Element& e) {
      if (e.id != kTrackType) return;
      uint64_t type = unsignedOf(cursor, e);
      segment.video |= type == kVideoTrack;
      segment.audio |= type == kAudioTrack;
    });
  });
}

// The end of a cluster of unknown size: its last child of known size that
// is whole, before whatever cannot be its child.
uint64_t openClusterEnd(ByteCursor& cursor, const Element& cluster, uint64_t limit) {
  uint64_t position = cluster.data;
  for (uint32_t count = 0; position < limit && count < kMaxElements; ++count) {
    Element child;
    if (!readElement(cursor, position, child) || !isOneOf(child.id, kClusterChildren) || child.unknownSize ||
        child.end() > limit)
      break;
    position = child.end();
  }
  return position;
}

// Walks the top-level elements from `begin` up to `limit`.
void walkSegment(ByteCursor& cursor, uint64_t begin, uint64_t limit, Segment& segment) {
  uint64_t position = begin;
  segment.end = begin;
  for (uint32_t count = 0; position < limit && count < kMaxElements; ++count) {
    Element e;
    if (!readElement(cursor, position, e) || !isOneOf(e.id, kTopLevel)) break;
    if (e.unknownSize) {
      if (e.id != kCluster) break;
      position = openClusterEnd(cursor, e, limit);
      if (position == e.data) break;
    } else {
      if (e.end() > limit) break;
      position = e.end();
    }
    if (e.id == kInfo) readInfo(cursor, e, segment);
    if (e.id == kTracks) readTracks(cursor, e, segment);
    segment.clusters |= e.id == kCluster;
    segment.end = position;
  }
}

}  // namespace

bool FileModuleMatroska::scan(const uint8_t* sector, uint32_t length) {
  return length >= 4 && sector[0] == 0x1A && sector[1] == 0x45 && sector[2] == 0xDF && sector[3] == 0xA3;
}

bool FileModuleMatroska::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  Element header;
  if (!readElement(cursor, 0, header) || header.id != kEbml || header.unknownSize || header.size > kMaxHeaderBytes ||
      header.end() > cursor.size())
    return false;
  std::string docType;
  forEachChild(cursor, header.data, header.end(), [&](const Element& e) {
    if (e.id == kDocType) docType = textOf(cursor, e);
  });
  if (docType != "matroska" && docType != "webm") return false;

  Element segment;
  uint64_t position = header.end();
  for (int i = 0;; ++i) {
    if (i > kMaxFillersBeforeSegment || !readElement(cursor, position, segment)) return false;
    if (segment.id == kSegment) break;
    if ((segment.id != kVoid && segment.id != kCrc32) || segment.unknownSize || segment.end() > cursor.size()) return false;
    position = segment.end();
  }
  bool sized = !segment.unknownSize && segment.end() <= cursor.size();
  Segment content;
  walkSegment(cursor, segment.data, sized ? segment.end() : cursor.size(), content);
  // A segment of unknown or impossible size is taken as far as it goes,
  // when it holds what a player needs.
  if (!sized && !(content.tracks && content.clusters)) return false;
  if (sized && content.end == segment.data) return false;

  file.clear();
  file.attributes.set("t", docType == "webm" ? "webm" : content.audio && !content.video ? "mka" : "mkv");
  file.size = sized ? segment.end() : content.end;
  if (isValidUtf8(content.title.data(), content.title.size())) setNameAttribute(file.attributes, content.title);
  if (content.dated) setTimeAttribute(file.attributes, content.seconds);
  return true;
}
