#include "engine/modules/ExifDate.h"

#include "engine/Attributes.h"
#include "media/ByteCursor.h"
#include "shell/Endian.h"

namespace {

const uint16_t kTagDateTime = 0x0132;
const uint16_t kTagExifIfd = 0x8769;
const uint16_t kTagDateTimeOriginal = 0x9003;
const uint16_t kTypeAscii = 2;
const size_t kDateBytes = 19;  // "YYYY:MM:DD HH:MM:SS"
const uint16_t kMaxEntries = 1000;

struct Tiff {
  ByteCursor& cursor;
  uint64_t begin, end;
  bool little;

  bool u16(uint64_t at, uint16_t& out) {
    uint8_t b[2];
    if (at > end - begin || end - begin - at < 2 || !cursor.read(begin + at, b, 2)) return false;
    out = little ? le16(b) : be16(b);
    return true;
  }
  bool u32(uint64_t at, uint32_t& out) {
    uint8_t b[4];
    if (at > end - begin || end - begin - at < 4 || !cursor.read(begin + at, b, 4)) return false;
    out = little ? le32(b) : be32(b);
    return true;
  }
  // The date held by `tag` in the IFD at `ifd`, or false.
  bool date(uint32_t ifd, uint16_t tag, int64_t& seconds) {
    uint32_t at = 0;
    if (!find(ifd, tag, at)) return false;
    uint16_t type = 0;
    uint32_t count = 0, offset = 0;
    if (!u16(at + 2, type) || !u32(at + 4, count) || !u32(at + 8, offset)) return false;
    char text[kDateBytes];
    if (type != kTypeAscii || count < kDateBytes || offset > end - begin || end - begin - offset < kDateBytes) return false;
    return cursor.read(begin + offset, text, kDateBytes) && parseExifDate(text, kDateBytes, seconds);
  }
  // The position of `tag`'s entry in the IFD at `ifd`.
  bool find(uint32_t ifd, uint16_t tag, uint32_t& at) {
    uint16_t count = 0;
    if (!u16(ifd, count) || count > kMaxEntries) return false;
    for (uint32_t i = 0; i < count; ++i) {
      uint16_t entryTag = 0;
      if (!u16(uint64_t(ifd) + 2 + 12 * i, entryTag)) return false;
      if (entryTag == tag) {
        at = ifd + 2 + 12 * i;
        return true;
      }
    }
    return false;
  }
};

bool digits(const char* text, size_t from, size_t count, unsigned& out) {
  out = 0;
  for (size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    out = out * 10 + unsigned(text[i] - '0');
  }
  return true;
}

}  // namespace

int64_t secondsSince1970(int64_t year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second) {
  // Days from the civil date (March-based years, so leap days come last).
  int64_t y = year - (month <= 2 ? 1 : 0);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yearOfEra = y - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  int64_t days = era * 146097 + dayOfEra - 719468;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

bool parseExifDate(const char* text, size_t length, int64_t& seconds) {
  unsigned year, month, day, hour, minute, second;
  if (length < kDateBytes || text[4] != ':' || text[7] != ':' || text[10] != ' ' || text[13] != ':' || text[16] != ':')
    return false;
  if (!digits(text, 0, 4, year) || !digits(text, 5, 2, month) || !digits(text, 8, 2, day) ||
      !digits(text, 11, 2, hour) || !digits(text, 14, 2, minute) || !digits(text, 17, 2, second))
    return false;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return false;
  seconds = secondsSince1970(year, month, day, hour, minute, second);
  return true;
}

bool tiffDate(ByteCursor& cursor, uint64_t begin, uint64_t end, int64_t& seconds) {
  uint8_t mark[2];
  if (begin > end || end - begin < 8 || !cursor.read(begin, mark, 2)) return false;
  if (mark[0] != mark[1] || (mark[0] != 'I' && mark[0] != 'M')) return false;
  Tiff tiff{cursor, begin, end, mark[0] == 'I'};
  uint32_t ifd0 = 0, at = 0, exif = 0;
  if (!tiff.u32(4, ifd0)) return false;
  if (tiff.date(ifd0, kTagDateTimeOriginal, seconds)) return true;
  if (tiff.find(ifd0, kTagExifIfd, at) && tiff.u32(at + 8, exif) && exif != ifd0 &&
      tiff.date(exif, kTagDateTimeOriginal, seconds))
    return true;
  return tiff.date(ifd0, kTagDateTime, seconds);
}

void setTimeAttribute(Attributes& attributes, int64_t seconds) {
  if (seconds >= 0 && seconds <= int64_t(UINT32_MAX))
    attributes.setInt32("time", static_cast<int32_t>(static_cast<uint32_t>(seconds)));
}
