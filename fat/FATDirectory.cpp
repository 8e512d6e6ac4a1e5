#include "fat/FATDirectory.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "media/Reader.h"
#include "shell/Charset.h"
#include "shell/DebugLog.h"
#include "shell/Endian.h"

namespace {

// Layout of a 32-byte directory entry.
const unsigned kEntryBytes = 32;
const unsigned kNameAt = 0;            // 8 name bytes, then 3 extension bytes
const unsigned kExtensionAt = 8;
const unsigned kNameBytes = 11;
const unsigned kAttributesAt = 11;
const unsigned kLongTypeAt = 12;       // long-name entries: must be 0
const unsigned kCaseFlagsAt = 12;      // short entries: lower-case name or extension
const unsigned kLongChecksumAt = 13;
const unsigned kClusterHighAt = 20;
const unsigned kTimeAt = 22;
const unsigned kDateAt = 24;
const unsigned kClusterLowAt = 26;
const unsigned kSizeAt = 28;
// Where a long-name entry keeps its UTF-16 characters: 5, 6 and 2 of them.
const unsigned kLongGroupAt[3] = {1, 14, 28};
const unsigned kLongGroupChars[3] = {5, 6, 2};

const uint8_t kEndMark = 0x00;
const uint8_t kDeletedMark = 0xE5;
const uint8_t kStandsForE5 = 0x05;
const uint8_t kAttrVolumeLabel = 0x08;
const uint8_t kAttrDirectory = 0x10;
const uint8_t kAttrLongName = 0x0F;
const uint8_t kAttrUnused = 0xC0;
const uint8_t kLowerCaseBase = 0x08;
const uint8_t kLowerCaseExtension = 0x10;
const uint8_t kLongLast = 0x40;
const uint8_t kLongNumberMask = 0x3F;
const uint8_t kLongDeletedBit = 0x80;
const int kErrorBudget = 4;
// A long name has at most 20 entries (255 characters); the sequence field
// cannot count past 63, so no walk goes further back than that.
const int kMaxLongEntries = 63;
const uint64_t kBlockBytes = 32768;

const uint64_t kSubdirectoryStart = 64;

uint64_t firstClusterOf(const uint8_t* e) {
  return uint64_t(le16(e + kClusterHighAt)) * 65536 + le16(e + kClusterLowAt);
}

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

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

std::string utf16ToUtf8(const std::vector<uint16_t>& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t u = units[i];
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u < 0xE000) {
      appendUtf8(out, 0xFFFD);
    } else {
      appendUtf8(out, u);
    }
  }
  return out;
}

// Appends the characters of one long-name entry: group by group, each up to
// its first NUL, a later group only when the one before was full.
void appendLongChars(const uint8_t* e, std::vector<uint16_t>& units) {
  for (int g = 0; g < 3; ++g) {
    for (unsigned i = 0; i < kLongGroupChars[g]; ++i) {
      uint16_t c = le16(e + kLongGroupAt[g] + 2 * i);
      if (c == 0) return;
      units.push_back(c);
    }
  }
}

// Entries of a directory read through blocks, so that a directory of a
// million entries does not cost a million medium reads.
class EntrySource {
 public:
  EntrySource(Reader& reader, uint64_t size) : reader_(reader), size_(size) {}
  bool entry(uint64_t position, uint8_t* out) {
    if (!Reader::fits(position, kEntryBytes, size_)) return false;
    if (blockValid_ && position >= blockStart_ && position - blockStart_ + kEntryBytes <= block_.size()) {
      memcpy(out, block_.data() + (position - blockStart_), kEntryBytes);
      return true;
    }
    uint64_t start = position - position % kBlockBytes;
    // A block that failed once is not tried again: its entries are read one
    // by one, so a bad sector costs one failed read, not one per entry.
    if (!(failedValid_ && failedStart_ == start)) {
      uint64_t length = std::min<uint64_t>(kBlockBytes, size_ - start);
      block_.resize(length);
      blockValid_ = reader_.read(start, block_.data(), length);
      if (blockValid_) {
        blockStart_ = start;
        memcpy(out, block_.data() + (position - start), kEntryBytes);
        return true;
      }
      failedValid_ = true;
      failedStart_ = start;
    }
    // One unreadable sector must not take the whole block with it.
    return reader_.read(position, out, kEntryBytes);
  }

 private:
  Reader& reader_;
  uint64_t size_;
  std::vector<uint8_t> block_;
  uint64_t blockStart_ = 0;
  bool blockValid_ = false;
  uint64_t failedStart_ = 0;
  bool failedValid_ = false;
};

class DirectoryParser {
 public:
  DirectoryParser(Reader& reader, bool isSubdirectory, std::vector<FatDirectoryEntry>& out)
      : source_(reader, std::min<uint64_t>(reader.size(), kFatDirectoryLimit)),
        size_(std::min<uint64_t>(reader.size(), kFatDirectoryLimit)),
        start_(isSubdirectory ? kSubdirectoryStart : 0),
        latestYear_(latestFatYear()),
        out_(out) {}

  bool run() {
    uint8_t e[kEntryBytes];
    for (uint64_t position = start_; position < size_; position += kEntryBytes) {
      memset(e, 0, sizeof e);
      if (!source_.entry(position, e)) {
        if (!reject(218, e)) return false;
        continue;
      }
      if (e[kNameAt] == kEndMark || e[kNameAt] == '.') return true;
      uint8_t attributes = e[kAttributesAt];
      if (attributes & kAttrUnused) {
        if (!reject(223, e)) return false;
        continue;
      }
      if (attributes == kAttrLongName) {
        if (le16(e + kClusterLowAt) != 0) {
          if (!reject(225, e)) return false;
        } else if (e[kLongTypeAt] != 0) {
          if (!reject(226, e)) return false;
        }
        continue;
      }
      int line = checkShortEntry(e);
      if (line) {
        if (!reject(line, e)) return false;
        continue;
      }
      if (attributes & kAttrVolumeLabel) continue;
      FatDirectoryEntry entry;
      entry.deleted = e[kNameAt] == kDeletedMark;
      entry.firstCluster = firstClusterOf(e);
      entry.size = le32(e + kSizeAt);
      entry.isDirectory = (attributes & kAttrDirectory) != 0;
      bool budgetLeft = true;
      if (!longName(position, e, entry.deleted, entry.name, budgetLeft)) {
        if (!budgetLeft) return false;
        entry.name = shortNameText(e, entry.deleted);
      }
      if (!budgetLeft) return false;
      out_.push_back(entry);
    }
    return true;
  }

 private:
  // 0 for a valid short entry, else the log line of the failed check.
  int checkShortEntry(const uint8_t* e) {
    if ((e[kAttributesAt] & kAttrDirectory) && le32(e + kSizeAt) % 512 != 0) return 231;
    if (!isValidFatTime(le16(e + kTimeAt))) return 233;
    if (!isValidFatDate(le16(e + kDateAt), latestYear_)) return 234;
    if (!isValidShortName(e)) return 235;
    return 0;
  }

  // Logs the entry and spends one unit of the error budget; false when the
  // budget is exhausted.
  bool reject(int line, const uint8_t* e) {
    dlog() << "FATDirectoryClass(" << line << ")\n" << hexDump(e, kEntryBytes);
    return --budget_ >= 0;
  }

  // The long name in front of the short entry at `position`, if one survives.
  bool longName(uint64_t position, const uint8_t* shortEntry, bool deleted, std::string& name,
                bool& budgetLeft) {
    std::vector<uint16_t> units;
    uint8_t checksum = deleted ? 0 : shortNameChecksum(shortEntry + kNameAt);
    int expected = 1;
    int accepted = 0;
    uint8_t e[kEntryBytes];
    uint64_t p = position;
    for (int walked = 0; walked < kMaxLongEntries && p >= start_ + kEntryBytes; ++walked) {
      p -= kEntryBytes;
      memset(e, 0, sizeof e);
      if (!source_.entry(p, e)) {
        if (!reject(248, e)) {
          budgetLeft = false;
          return false;
        }
        continue;
      }
      if (e[kAttributesAt] != kAttrLongName) break;
      uint8_t sequence = e[kNameAt];
      if (!deleted) {
        if ((sequence & kLongDeletedBit) || (sequence & kLongNumberMask) != expected ||
            e[kLongChecksumAt] != checksum)
          return false;
        appendLongChars(e, units);
        if (sequence & kLongLast) {
          name = utf16ToUtf8(units);
          return !name.empty();
        }
        ++expected;
      } else {
        if (sequence != kDeletedMark) break;
        if (accepted == 0)
          checksum = e[kLongChecksumAt];
        else if (e[kLongChecksumAt] != checksum)
          break;
        appendLongChars(e, units);
        ++accepted;
      }
    }
    if (!deleted || accepted == 0) return false;
    name = utf16ToUtf8(units);
    return !name.empty();
  }

  EntrySource source_;
  uint64_t size_;
  uint64_t start_;
  int latestYear_;
  int budget_ = kErrorBudget;
  std::vector<FatDirectoryEntry>& out_;
};

}  // namespace

bool isDirectoryStart(const uint8_t* bytes, uint64_t& cluster) {
  if (memcmp(bytes + kNameAt, ".          ", kNameBytes) != 0) return false;
  if (memcmp(bytes + kEntryBytes + kNameAt, "..         ", kNameBytes) != 0) return false;
  cluster = firstClusterOf(bytes);
  return true;
}

bool parseDirectory(Reader& directory, bool isSubdirectory, std::vector<FatDirectoryEntry>& out) {
  return DirectoryParser(directory, isSubdirectory, out).run();
}

uint8_t shortNameChecksum(const uint8_t* name11) {
  uint8_t sum = 0;
  for (unsigned i = 0; i < kNameBytes; ++i)
    sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + name11[i]);
  return sum;
}

bool isValidFatTime(uint16_t time) {
  if ((time & 0x1F) > 30) {
    dlog() << "FATDirectoryClass(78): " << (time & 0x1F) << "\n";
    return false;
  }
  if (((time >> 5) & 0x3F) >= 60) {
    dlog() << "FATDirectoryClass(80): " << ((time >> 5) & 0x3F) << "\n";
    return false;
  }
  if ((time >> 11) >= 24) {
    dlog() << "FATDirectoryClass(82): " << (time >> 11) << "\n";
    return false;
  }
  return true;
}

bool isValidFatDate(uint16_t date, int latestYear) {
  if ((date & 0x1F) == 0) {
    dlog() << "FATDirectoryClass(89): 0\n";
    return false;
  }
  unsigned month = (date >> 5) & 0x0F;
  if (month < 1 || month > 12) {
    dlog() << "FATDirectoryClass(91): " << month << "\n";
    return false;
  }
  int year = 1980 + (date >> 9);
  if (year > latestYear) {
    dlog() << "FATDirectoryClass(93): " << year << "\n";
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

namespace {

// Names like "photo.jpg" are stored as "PHOTO   JPG" with flags that say
// which part was lower case; only ASCII letters are affected.
void lowerAscii(std::string& text, size_t from, size_t to) {
  for (size_t i = from; i < to && i < text.size(); ++i)
    if (text[i] >= 'A' && text[i] <= 'Z') text[i] = char(text[i] - 'A' + 'a');
}

}  // namespace

std::string shortNameText(const uint8_t* entry, bool deleted) {
  std::string bytes;
  uint8_t first = entry[kNameAt];
  bytes += deleted ? '#' : char(first == kStandsForE5 ? kDeletedMark : first);
  size_t baseEnd = kExtensionAt;
  while (baseEnd > 1 && entry[kNameAt + baseEnd - 1] == ' ') --baseEnd;
  bytes.append(reinterpret_cast<const char*>(entry + kNameAt + 1), baseEnd - 1);
  size_t extEnd = kNameBytes;
  while (extEnd > kExtensionAt && entry[kNameAt + extEnd - 1] == ' ') --extEnd;
  uint8_t flags = entry[kCaseFlagsAt];
  if (flags & kLowerCaseBase) lowerAscii(bytes, deleted ? 1 : 0, bytes.size());
  if (extEnd > kExtensionAt) {
    bytes += '.';
    size_t extFrom = bytes.size();
    bytes.append(reinterpret_cast<const char*>(entry + kNameAt + kExtensionAt), extEnd - kExtensionAt);
    if (flags & kLowerCaseExtension) lowerAscii(bytes, extFrom, bytes.size());
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
