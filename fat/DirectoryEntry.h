// The 32-byte FAT directory entry: its layout, and the plausibility tests
// that let the scan decode sectors that merely look like directories.
// Everything here is pure: bytes in, decoded values or a reason out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fatentry {

const unsigned kBytes = 32;
const unsigned kNameAt = 0;  // 8 name bytes, then 3 extension bytes
const unsigned kExtensionAt = 8;
const unsigned kNameBytes = 11;
const unsigned kAttributesAt = 11;
const unsigned kLongTypeAt = 12;   // long-name entries: must be 0
const unsigned kCaseFlagsAt = 12;  // short entries: lower-case name or extension
const unsigned kLongChecksumAt = 13;
const unsigned kClusterHighAt = 20;
const unsigned kTimeAt = 22;
const unsigned kDateAt = 24;
const unsigned kClusterLowAt = 26;
const unsigned kSizeAt = 28;

const uint8_t kEndMark = 0x00;
const uint8_t kDeletedMark = 0xE5;
const uint8_t kStandsForE5 = 0x05;
const uint8_t kAttrVolumeLabel = 0x08;
const uint8_t kAttrDirectory = 0x10;
const uint8_t kAttrLongName = 0x0F;
const uint8_t kAttrUnused = 0xC0;

uint64_t firstCluster(const uint8_t* entry);

}  // namespace fatentry

// Why an entry was refused.
enum class EntryFault {
  kNone,
  kUnreadable,
  kUnusedAttributes,
  kLongNameCluster,    // a long-name entry with a first cluster
  kLongNameType,       // a long-name entry of a type other than 0
  kDirectorySize,      // a directory whose size is not whole sectors
  kTime,
  kDate,
  kName,
  kLongNameUnreadable, // an entry in front of a short entry could not be read
};

// The test of a short entry (neither end mark nor long-name entry); dates
// are valid from 1980 to `latestYear`.
EntryFault checkShortEntry(const uint8_t* entry, int latestYear);

// True when the first entry's name is "." and the second's ".." (blank
// padded), as at the start of every subdirectory.  `bytes` holds at least
// 64 bytes; `cluster` receives the first cluster of the "." entry.
bool isDirectoryStart(const uint8_t* bytes, uint64_t& cluster);

uint8_t shortNameChecksum(const uint8_t* name11);
bool isValidFatTime(uint16_t time);
// Valid years run from 1980 to `latestYear`.
bool isValidFatDate(uint16_t date, int latestYear);
// This year plus one, from the clock: entries written by a camera whose
// clock runs a little ahead still count.
int latestFatYear();
bool isValidShortName(const uint8_t* entry);
// "#" for a deleted entry, name, "." and extension without blanks, as UTF-8.
std::string shortNameText(const uint8_t* entry, bool deleted);
// Lines of 16 bytes: hex digits, then the characters ('.' if unprintable).
std::string hexDump(const uint8_t* bytes, size_t length);
