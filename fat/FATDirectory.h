// FAT directories: the 32-byte entries, long names (live and deleted),
// short names in code page 437, and the plausibility tests that let the
// scan decode sectors that merely look like directories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Reader;

struct FatDirectoryEntry {
  std::string name;  // UTF-8: the long name when one survives, else the short name
  uint64_t firstCluster = 0;
  uint64_t size = 0;
  bool isDirectory = false;
  bool deleted = false;
};

// No directory is read beyond this many bytes.
const uint64_t kFatDirectoryLimit = 32768000;

// True when the first entry's name is "." and the second's ".." (blank
// padded), as at the start of every subdirectory.  `bytes` holds at least
// 64 bytes; `cluster` receives the first cluster of the "." entry.
bool isDirectoryStart(const uint8_t* bytes, uint64_t& cluster);

// Decodes the entries of `directory` (from byte 64 for a subdirectory, past
// "." and "..") until an end mark, its end or kFatDirectoryLimit.  Each bad
// entry is logged with a hex dump and passed over; the fifth makes the
// result false, with the entries decoded before it kept in `out`.  Volume
// labels and long-name entries produce nothing of their own.
bool parseDirectory(Reader& directory, bool isSubdirectory, std::vector<FatDirectoryEntry>& out);

// The pieces of the entry tests, for the tests and the fuzzers.
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
// Two lines of 16 bytes: hex digits, then the characters ('.' if unprintable).
std::string hexDump(const uint8_t* bytes, size_t length);
