// ARJ archives: main header, then local headers with their data.

#include "engine/modules/FileModuleArj.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>

#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Charset.h"
#include "shell/CString.h"
#include "shell/Endian.h"

namespace {

// Every header: 60 EA, basic size (2), basic header, CRC (4), then
// extended headers, each a size (2), data and CRC (4), ended by size 0.
const uint8_t kId0 = 0x60, kId1 = 0xEA;
const uint16_t kMinBasic = 32;
const uint16_t kMaxBasic = 2600;
const uint64_t kHeaderFrame = 4;  // id and basic size
const uint64_t kCrcBytes = 4;
const size_t kMainBytes = 260;
const uint8_t kTypeMain = 2;
const uint32_t kMaxExtended = 64;
// Main header fields.
const size_t kHostOs = 7;
const uint8_t kHostUnix = 2;
const size_t kModifiedAt = 16;

// Past the extended headers that start at `position`; false when they
// cannot be read or run past the reader.
bool skipExtended(ByteCursor& cursor, uint64_t& position) {
  for (uint32_t i = 0; i < kMaxExtended; ++i) {
    uint16_t size = 0;
    if (!cursor.le16(position, size)) return false;
    if (size == 0) {
      position += 2;
      return true;
    }
    uint64_t next = position + 2 + size + kCrcBytes;
    if (next > cursor.size()) return false;
    position = next;
  }
  return false;
}

// The archive's own name, "NAME.ARJ" in the main header: NAME.
std::string archiveName(const uint8_t* main, size_t length) {
  size_t at = kHeaderFrame + main[4];
  if (at >= length) return std::string();
  const uint8_t* start = main + at;
  const void* nul = memchr(start, 0, length - at);
  if (!nul) return std::string();
  size_t n = static_cast<const uint8_t*>(nul) - start;
  std::string name(reinterpret_cast<const char*>(start), n);
  if (n < 5 || asciiLower(name.substr(n - 4)) != ".arj") return std::string();
  return convertToUtf8(name.data(), n - 4, charsetNames().archiveNames().c_str());
}

// A DOS date and time as local time; false for an impossible date.
bool dosTime(uint32_t v, int32_t& out) {
  struct tm t = {};
  t.tm_sec = (v & 0x1F) * 2;
  t.tm_min = (v >> 5) & 0x3F;
  t.tm_hour = (v >> 11) & 0x1F;
  t.tm_mday = (v >> 16) & 0x1F;
  t.tm_mon = int((v >> 21) & 0x0F) - 1;
  t.tm_year = int(v >> 25) + 80;
  t.tm_isdst = -1;
  if (t.tm_sec > 59 || t.tm_min > 59 || t.tm_hour > 23 || t.tm_mday < 1 || t.tm_mon < 0 || t.tm_mon > 11)
    return false;
  time_t seconds = mktime(&t);
  if (seconds == time_t(-1)) return false;
  out = static_cast<int32_t>(seconds);
  return true;
}

}  // namespace

bool FileModuleArj::scan(const uint8_t* sector, uint32_t length) {
  return length > 10 && sector[0] == kId0 && sector[1] == kId1 && sector[10] == kTypeMain;
}

bool FileModuleArj::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  uint8_t main[kMainBytes] = {};
  // A small archive may be shorter than the bytes the main header may use.
  size_t have = static_cast<size_t>(std::min<uint64_t>(kMainBytes, cursor.size()));
  if (have < kHeaderFrame + kMinBasic || !cursor.read(0, main, have)) return false;
  if (main[0] != kId0 || main[1] != kId1) return false;
  uint16_t basic = le16(main + 2);
  if (basic < kMinBasic || basic > kMaxBasic) return false;
  uint64_t position = kHeaderFrame + basic + kCrcBytes;
  if (!skipExtended(cursor, position)) return false;

  const uint64_t begin = position;
  for (uint32_t entry = 0; entry < kMaxEntries; ++entry) {
    uint8_t frame[kHeaderFrame];
    if (!cursor.read(position, frame, sizeof frame)) break;
    if (frame[0] != kId0 || frame[1] != kId1) break;
    uint16_t size = le16(frame + 2);
    if (size == 0) {
      position += kHeaderFrame;
      break;
    }
    if (size < kMinBasic || size > kMaxBasic) break;
    uint32_t compressed = 0;
    if (!cursor.le32(position + 16, compressed)) break;
    uint64_t next = position + kHeaderFrame + size + kCrcBytes;
    // An entry counts only whole: headers and data inside the reader.
    if (!skipExtended(cursor, next) || !Reader::fits(next, compressed, cursor.size())) break;
    position = next + compressed;
  }
  if (position <= begin) return false;

  file.clear();
  file.attributes.set("t", "arj");
  file.size = position;
  std::string name = archiveName(main, have);
  if (!name.empty()) file.attributes.set("name", name);
  // Archives made on UNIX hosts hold seconds since 1970 where others hold
  // a DOS date and time (arj for UNIX writes them so).
  uint32_t stamp = le32(main + kModifiedAt);
  int32_t time = 0;
  if (main[kHostOs] == kHostUnix)
    file.attributes.setInt32("time", static_cast<int32_t>(stamp));
  else if (dosTime(stamp, time))
    file.attributes.setInt32("time", time);
  return true;
}
