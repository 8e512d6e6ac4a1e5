#include "exfat/ExfatEntrySet.h"

#include <time.h>

#include <vector>

#include "shell/Charset.h"
#include "shell/Endian.h"

namespace {

// Layout of the file entry.
const unsigned kSecondaryCountAt = 1;
const unsigned kSetChecksumAt = 2;
const unsigned kAttributesAt = 4;
const unsigned kModifiedAt = 12;
const unsigned kModified10msAt = 21;
const unsigned kModifiedUtcOffsetAt = 23;
const uint16_t kDirectoryAttribute = 0x10;

// Layout of the stream extension.
const unsigned kFlagsAt = 1;
const unsigned kNameLengthAt = 3;
const unsigned kValidDataLengthAt = 8;
const unsigned kFirstClusterAt = 20;
const unsigned kDataLengthAt = 24;
const uint8_t kAllocationPossible = 0x01;
const uint8_t kNoFatChain = 0x02;

// A file-name entry holds 15 UTF-16 characters from byte 2 on.
const unsigned kNameAt = 2;
const unsigned kCharactersPerNameEntry = 15;

// Bits of an entry type besides the in-use bit.
const uint8_t kSecondaryCategory = 0x40;
const uint8_t kBenignImportance = 0x20;

bool refuse(ExfatSetFault reason, ExfatSetFault* fault) {
  if (fault) *fault = reason;
  return false;
}

bool isFileEntry(uint8_t type) { return (type | kExfatInUse) == kExfatFileEntry; }

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t daysSince1970(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

unsigned daysInMonth(int64_t year, unsigned month) {
  static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

const char* exfatSetFaultName(ExfatSetFault fault) {
  switch (fault) {
    case ExfatSetFault::kNone: return "none";
    case ExfatSetFault::kTooShort: return "too short";
    case ExfatSetFault::kNotAFile: return "not a file";
    case ExfatSetFault::kSecondaryCount: return "secondary count";
    case ExfatSetFault::kMixedUse: return "mixed use";
    case ExfatSetFault::kChecksum: return "checksum";
    case ExfatSetFault::kStream: return "stream";
    case ExfatSetFault::kNameLength: return "name length";
    case ExfatSetFault::kNameEntry: return "name entry";
    case ExfatSetFault::kCritical: return "critical entry";
    case ExfatSetFault::kLength: return "length";
  }
  return "?";
}

uint16_t exfatSetChecksum(const uint8_t* set, size_t entries, bool deleted) {
  uint16_t sum = 0;
  const size_t bytes = entries * kExfatEntryBytes;
  for (size_t i = 0; i < bytes; ++i) {
    if (i == kSetChecksumAt || i == kSetChecksumAt + 1) continue;
    uint8_t byte = set[i];
    if (deleted && i % kExfatEntryBytes == 0) byte |= kExfatInUse;
    sum = static_cast<uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + byte);
  }
  return sum;
}

size_t exfatSetBytes(const uint8_t* entry) { return (size_t(entry[kSecondaryCountAt]) + 1) * kExfatEntryBytes; }

bool startsWithExfatFileSet(const uint8_t* d, size_t length) {
  if (length < 3 * kExfatEntryBytes || !isFileEntry(d[0]) || d[kSecondaryCountAt] < 2) return false;
  // The stream and the first name entry share the file entry's in-use bit.
  uint8_t inUse = d[0] & kExfatInUse;
  return (d[kExfatEntryBytes] | kExfatInUse) == kExfatStreamEntry && (d[kExfatEntryBytes] & kExfatInUse) == inUse &&
         (d[2 * kExfatEntryBytes] | kExfatInUse) == kExfatNameEntry &&
         (d[2 * kExfatEntryBytes] & kExfatInUse) == inUse;
}

bool decodeExfatEntrySet(const uint8_t* d, size_t length, ExfatEntrySet& out, ExfatSetFault* fault) {
  if (fault) *fault = ExfatSetFault::kNone;
  if (!d || length < kExfatEntryBytes) return refuse(ExfatSetFault::kTooShort, fault);
  if (!isFileEntry(d[0])) return refuse(ExfatSetFault::kNotAFile, fault);
  const size_t secondaries = d[kSecondaryCountAt];
  if (secondaries < 2) return refuse(ExfatSetFault::kSecondaryCount, fault);
  const size_t entries = secondaries + 1;
  if (length < entries * kExfatEntryBytes) return refuse(ExfatSetFault::kTooShort, fault);
  const bool deleted = !(d[0] & kExfatInUse);
  for (size_t i = 1; i < entries; ++i)
    if (bool(d[i * kExfatEntryBytes] & kExfatInUse) == deleted) return refuse(ExfatSetFault::kMixedUse, fault);
  if (exfatSetChecksum(d, entries, deleted) != le16(d + kSetChecksumAt)) return refuse(ExfatSetFault::kChecksum, fault);

  const uint8_t* stream = d + kExfatEntryBytes;
  if ((stream[0] | kExfatInUse) != kExfatStreamEntry) return refuse(ExfatSetFault::kStream, fault);
  const size_t nameLength = stream[kNameLengthAt];
  const size_t nameEntries = (nameLength + kCharactersPerNameEntry - 1) / kCharactersPerNameEntry;
  if (nameLength == 0 || nameEntries > secondaries - 1) return refuse(ExfatSetFault::kNameLength, fault);
  for (size_t i = 0; i < nameEntries; ++i)
    if ((d[(2 + i) * kExfatEntryBytes] | kExfatInUse) != kExfatNameEntry) return refuse(ExfatSetFault::kNameEntry, fault);
  // What follows the names must be benign secondary entries (vendor
  // extensions), which may be passed over; anything else changes what the
  // set means.
  for (size_t i = 2 + nameEntries; i < entries; ++i) {
    uint8_t type = d[i * kExfatEntryBytes];
    if (!(type & kSecondaryCategory) || !(type & kBenignImportance)) return refuse(ExfatSetFault::kCritical, fault);
  }

  ExfatEntrySet set;
  set.deleted = deleted;
  set.entries = static_cast<uint32_t>(entries);
  set.directory = le16(d + kAttributesAt) & kDirectoryAttribute;
  const uint8_t flags = stream[kFlagsAt];
  set.contiguous = flags & kNoFatChain;
  set.firstCluster = le32(stream + kFirstClusterAt);
  set.dataLength = le64(stream + kDataLengthAt);
  set.validDataLength = le64(stream + kValidDataLengthAt);
  if (!(flags & kAllocationPossible) || set.validDataLength > set.dataLength ||
      (set.firstCluster == 0 && set.dataLength != 0))
    return refuse(ExfatSetFault::kLength, fault);

  std::vector<uint16_t> units;
  for (size_t i = 0; i < nameLength; ++i) {
    const uint8_t* entry = d + (2 + i / kCharactersPerNameEntry) * kExfatEntryBytes;
    uint16_t unit = le16(entry + kNameAt + 2 * (i % kCharactersPerNameEntry));
    if (unit == 0) break;
    units.push_back(unit);
  }
  if (units.empty()) return refuse(ExfatSetFault::kNameLength, fault);
  set.name = utf16ToUtf8(units.data(), units.size());
  set.hasTime = exfatTimestamp(le32(d + kModifiedAt), d[kModified10msAt], d[kModifiedUtcOffsetAt], set.modified);
  out = set;
  return true;
}

bool exfatTimestamp(uint32_t stamp, uint8_t tenMilliseconds, uint8_t utcOffset, int64_t& seconds) {
  const unsigned doubleSeconds = stamp & 0x1F;
  const unsigned minute = (stamp >> 5) & 0x3F;
  const unsigned hour = (stamp >> 11) & 0x1F;
  const unsigned day = (stamp >> 16) & 0x1F;
  const unsigned month = (stamp >> 21) & 0x0F;
  const int64_t year = 1980 + (stamp >> 25);
  if (doubleSeconds > 29 || minute > 59 || hour > 23 || month < 1 || month > 12 || day < 1 ||
      day > daysInMonth(year, month) || tenMilliseconds > 199)
    return false;
  int64_t local = daysSince1970(year, month, day) * 86400 + hour * 3600 + minute * 60 + doubleSeconds * 2 +
                  tenMilliseconds / 100;
  int64_t offset = 0;
  if (utcOffset & 0x80) {
    // Seven bits, two's complement, in quarter hours.
    int quarters = (utcOffset & 0x40) ? int(utcOffset & 0x7F) - 128 : int(utcOffset & 0x7F);
    offset = int64_t(quarters) * 15 * 60;
  } else {
    time_t now = time(nullptr);
    struct tm parts;
    if (localtime_r(&now, &parts)) offset = parts.tm_gmtoff;
  }
  seconds = local - offset;
  return true;
}
