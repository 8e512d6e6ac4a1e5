#include "engine/modules/FileModuleAsf.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/modules/NameAttribute.h"
#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Charset.h"
#include "shell/Endian.h"

namespace {

// GUIDs as stored (the first three groups little-endian).
typedef uint8_t Guid[16];
const Guid kHeaderObject = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Guid kFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Guid kStreamProperties = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Guid kContentDescription = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                  0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
// The media-type GUIDs share their last three groups; each is taken with
// either of two first groups, the second being one that other writers put
// there (for video, the first group byte-swapped).
const uint8_t kMediaTypeTail[12] = {0x4D, 0x5B, 0xCF, 0x11, 0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
const uint32_t kAudioMedia[2] = {0xF8699E40, 0xE09469F8};
const uint32_t kVideoMedia[2] = {0xBC19EFC0, 0xC0EF19BC};

const size_t kScanBytes = 12;
const uint64_t kHeaderObjectMin = 30;
const uint64_t kObjectHeadBytes = 24;  // GUID and 64-bit size
const uint64_t kFilePropertiesMin = 104;
const uint64_t kFileSizeAt = 40;
const uint64_t kCreationDateAt = 48;
const uint64_t kStreamPropertiesMin = 78;
const uint64_t kStreamTypeAt = 24;
const uint64_t kContentDescriptionMin = 34;
const uint64_t kTitleLengthAt = 24;
const uint64_t kTitleAt = 34;

// 100-nanosecond intervals since 1601-01-01 to seconds since 1970-01-01.
const uint64_t kTicksPerSecond = 10000000;
const uint64_t kSeconds1601To1970 = 11644473600;

bool isMediaType(const uint8_t* guid, const uint32_t (&firstGroups)[2]) {
  uint32_t first = le32(guid);
  return memcmp(guid + 4, kMediaTypeTail, sizeof kMediaTypeTail) == 0 &&
         (first == firstGroups[0] || first == firstGroups[1]);
}

bool inRange(uint64_t size, uint64_t min) { return size >= min && size <= FileModuleAsf::kMaxObjectSize; }

std::string readTitle(ByteCursor& cursor, uint64_t object, uint64_t objectSize) {
  uint16_t length = 0;
  if (!cursor.le16(object + kTitleLengthAt, length) || length <= 3) return std::string();
  uint64_t bytes = std::min<uint64_t>({length, FileModuleAsf::kTitleBytes, objectSize - kTitleAt}) & ~uint64_t(1);
  std::vector<uint8_t> raw(bytes);
  if (!cursor.read(object + kTitleAt, raw.data(), raw.size())) return std::string();
  std::vector<uint16_t> units(bytes / 2);
  for (size_t i = 0; i < units.size(); ++i) units[i] = le16(&raw[2 * i]);
  // The length counts a terminating zero; a title cut by the limit has none.
  while (!units.empty() && units.back() == 0) units.pop_back();
  return utf16ToUtf8(units.data(), units.size());
}

struct Header {
  uint64_t fileSize = 0;
  std::string type;
  std::string title;
  bool hasTime = false;
  int32_t time = 0;
};

// The walk of the header objects; false when one breaks the rules.
bool readHeader(Reader& reader, Header& header) {
  ByteCursor cursor(reader);
  uint64_t headerSize = 0;
  uint32_t count = 0;
  if (!cursor.le64(16, headerSize) || !cursor.le32(24, count)) return false;
  if (!inRange(headerSize, kHeaderObjectMin)) return false;

  // Objects are at least 24 bytes and lie inside the header object, so the
  // walk ends within headerSize / 24 steps whatever the count says.
  uint64_t position = kHeaderObjectMin;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t head[kObjectHeadBytes];
    if (!Reader::fits(position, kObjectHeadBytes, headerSize) || !cursor.read(position, head, sizeof head)) return false;
    uint64_t size = le64(head + 16);
    if (size < kObjectHeadBytes) return false;
    if (memcmp(head, kFileProperties, 16) == 0) {
      uint64_t ticks = 0;
      if (!inRange(size, kFilePropertiesMin) || !cursor.le64(position + kFileSizeAt, header.fileSize) ||
          !cursor.le64(position + kCreationDateAt, ticks))
        return false;
      if (header.fileSize > reader.size()) return false;
      uint64_t seconds = ticks / kTicksPerSecond;
      header.hasTime = seconds >= kSeconds1601To1970;
      if (header.hasTime) header.time = static_cast<int32_t>(static_cast<uint32_t>(seconds - kSeconds1601To1970));
    } else if (memcmp(head, kStreamProperties, 16) == 0) {
      uint8_t type[16];
      if (!inRange(size, kStreamPropertiesMin) || !cursor.read(position + kStreamTypeAt, type, sizeof type)) return false;
      if (isMediaType(type, kVideoMedia))
        header.type = "wmv";
      else if (isMediaType(type, kAudioMedia) && header.type.empty())
        header.type = "wma";
    } else if (memcmp(head, kContentDescription, 16) == 0) {
      if (!inRange(size, kContentDescriptionMin)) return false;
      header.title = readTitle(cursor, position, size);
    }
    // An object that reaches past the header's end leaves no room for the
    // next one's head.
    if (size > headerSize - position) return i + 1 == count;
    position += size;
  }
  return true;
}

}  // namespace

bool FileModuleAsf::scan(const uint8_t* sector, uint32_t length) {
  return length >= kScanBytes && memcmp(sector, kHeaderObject, kScanBytes) == 0;
}

bool FileModuleAsf::analyze(Reader& reader, File& file) {
  Header header;
  if (!readHeader(reader, header)) return false;
  // A file holds at least its header object.
  if (header.fileSize < kHeaderObjectMin || header.type.empty()) return false;
  file.clear();
  file.size = header.fileSize;
  file.attributes.set("t", header.type);
  setNameAttribute(file.attributes, header.title);
  if (header.hasTime) file.attributes.setInt32("time", header.time);
  return true;
}
