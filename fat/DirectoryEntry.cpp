#include "fat/DirectoryEntry.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "shell/CString.h"
#include "shell/Charset.h"
#include "shell/DebugLog.h"
#include "shell/Endian.h"

using namespace fatentry;

namespace {

const uint8_t kLowerCaseBase = 0x08;
const uint8_t kLowerCaseExtension = 0x10;

// Log tags of this file.
const LogTag kLogSeconds{"FATDirectoryClass", 78};
const LogTag kLogMinutes{"FATDirectoryClass", 80};
const LogTag kLogHours{"FATDirectoryClass", 82};
const LogTag kLogDay{"FATDirectoryClass", 89};
const LogTag kLogMonth{"FATDirectoryClass", 91};
const LogTag kLogYear{"FATDirectoryClass", 93};

bool isValidNameChar(uint8_t c) {
  if (c < 32 || c >= 253) return false;
  return strchr("\"*+,./:;<=>?[\\]|", c) == nullptr;
}

// Valid characters up to the first blank, then only blanks.
bool isValidNamePart(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n && p[i] != ' ') {
    if (!isValidNameChar(p[i])) return false;
    ++i;
  }
  for (; i < n; ++i)
    if (p[i] != ' ') return false;
  return true;
}

}  // namespace

uint64_t fatentry::firstCluster(const uint8_t* e) {
  return uint64_t(le16(e + kClusterHighAt)) * 65536 + le16(e + kClusterLowAt);
}

EntryFault checkShortEntry(const uint8_t* e, int latestYear) {
  if ((e[kAttributesAt] & kAttrDirectory) && le32(e + kSizeAt) % 512 != 0) return EntryFault::kDirectorySize;
  if (!isValidFatTime(le16(e + kTimeAt))) return EntryFault::kTime;
  if (!isValidFatDate(le16(e + kDateAt), latestYear)) return EntryFault::kDate;
  if (!isValidShortName(e)) return EntryFault::kName;
  return EntryFault::kNone;
}

bool isDirectoryStart(const uint8_t* bytes, uint64_t& cluster) {
  if (memcmp(bytes + kNameAt, ".          ", kNameBytes) != 0) return false;
  if (memcmp(bytes + kBytes + kNameAt, "..         ", kNameBytes) != 0) return false;
  cluster = firstCluster(bytes);
  return true;
}

uint8_t shortNameChecksum(const uint8_t* name11) {
  uint8_t sum = 0;
  for (unsigned i = 0; i < kNameBytes; ++i) sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + name11[i]);
  return sum;
}

bool isValidFatTime(uint16_t time) {
  if ((time & 0x1F) > 30) {
    dlog() << kLogSeconds << ": " << (time & 0x1F) << "\n";
    return false;
  }
  if (((time >> 5) & 0x3F) >= 60) {
    dlog() << kLogMinutes << ": " << ((time >> 5) & 0x3F) << "\n";
    return false;
  }
  if ((time >> 11) >= 24) {
    dlog() << kLogHours << ": " << (time >> 11) << "\n";
    return false;
  }
  return true;
}

bool isValidFatDate(uint16_t date, int latestYear) {
  if ((date & 0x1F) == 0) {
    dlog() << kLogDay << ": 0\n";
    return false;
  }
  unsigned month = (date >> 5) & 0x0F;
  if (month < 1 || month > 12) {
    dlog() << kLogMonth << ": " << month << "\n";
    return false;
  }
  int year = 1980 + (date >> 9);
  if (year > latestYear) {
    dlog() << kLogYear << ": " << year << "\n";
    return false;
  }
  return true;
}

int latestFatYear() {
  time_t now = time(nullptr);
  struct tm parts;
  if (now == static_cast<time_t>(-1) || !localtime_r(&now, &parts)) return 2107;
  return parts.tm_year + 1900 + 1;
}

bool isValidShortName(const uint8_t* entry) {
  uint8_t name[kNameBytes];
  memcpy(name, entry + kNameAt, kNameBytes);
  if (name[0] == ' ') return false;
  // 0x05 is how a name that really begins with 0xE5 is stored.
  if (name[0] == kStandsForE5) name[0] = kDeletedMark;
  bool deleted = entry[kNameAt] == kDeletedMark;
  if (entry[kAttributesAt] & kAttrVolumeLabel) {
    if (name[0] == 0) return false;
    for (unsigned i = deleted ? 1 : 0; i < kNameBytes; ++i)
      if (name[i] != 0 && !isValidNameChar(name[i])) return false;
    return true;
  }
  unsigned from = deleted ? 1 : 0;
  return isValidNamePart(name + from, kExtensionAt - from) &&
         isValidNamePart(name + kExtensionAt, kNameBytes - kExtensionAt);
}

std::string shortNameText(const uint8_t* entry, bool deleted) {
  // Names like "photo.jpg" are stored as "PHOTO   JPG" with flags that say
  // which part was lower case; only ASCII letters are affected.
  uint8_t first = entry[kNameAt];
  std::string base(1, deleted ? '#' : char(first == kStandsForE5 ? kDeletedMark : first));
  size_t baseEnd = kExtensionAt;
  while (baseEnd > 1 && entry[kNameAt + baseEnd - 1] == ' ') --baseEnd;
  base.append(reinterpret_cast<const char*>(entry + kNameAt + 1), baseEnd - 1);
  size_t extEnd = kNameBytes;
  while (extEnd > kExtensionAt && entry[kNameAt + extEnd - 1] == ' ') --extEnd;
  uint8_t flags = entry[kCaseFlagsAt];
  if (flags & kLowerCaseBase) base = base.substr(0, deleted ? 1 : 0) + asciiLower(base.substr(deleted ? 1 : 0));
  std::string bytes = base;
  if (extEnd > kExtensionAt) {
    std::string extension(reinterpret_cast<const char*>(entry + kNameAt + kExtensionAt), extEnd - kExtensionAt);
    bytes += '.';
    bytes += (flags & kLowerCaseExtension) ? asciiLower(extension) : extension;
  }
  return convertToUtf8(bytes.data(), bytes.size(), "CP437");
}

std::string hexDump(const uint8_t* bytes, size_t length) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t line = 0; line < length; line += 16) {
    size_t n = std::min<size_t>(16, length - line);
    for (size_t i = 0; i < 16; ++i) {
      if (i < n) {
        out += kDigits[bytes[line + i] >> 4];
        out += kDigits[bytes[line + i] & 15];
        out += ' ';
      } else {
        out += "   ";
      }
    }
    for (size_t i = 0; i < n; ++i) {
      uint8_t c = bytes[line + i];
      out += (c >= 32 && c < 127) ? char(c) : '.';
    }
    out += '\n';
  }
  return out;
}
