// exFAT directory entry sets: a file entry, its stream extension and its
// file-name entries, vouched for by the set checksum in the file entry.
//
// A deleted set is the same set with the in-use bit (bit 7 of each entry
// type) cleared; its checksum still holds once the bit is put back, which
// is how a deleted set is told from leftovers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kExfatEntryBytes = 32;
// A primary entry and at most 255 secondary entries.
constexpr size_t kExfatLargestSetBytes = 256 * kExfatEntryBytes;

// Entry types of a file's set, in use; the deleted forms lack bit 7.
constexpr uint8_t kExfatFileEntry = 0x85;
constexpr uint8_t kExfatStreamEntry = 0xC0;
constexpr uint8_t kExfatNameEntry = 0xC1;
constexpr uint8_t kExfatInUse = 0x80;

// One decoded file or directory.
struct ExfatEntrySet {
  std::string name;              // UTF-8
  bool deleted = false;
  bool directory = false;
  bool contiguous = false;       // NoFatChain: one run of clusters, the table says nothing
  uint64_t firstCluster = 0;
  uint64_t dataLength = 0;
  uint64_t validDataLength = 0;  // bytes stored; the rest of the file reads as zeros
  uint32_t entries = 0;          // primary and secondary entries of the set
  bool hasTime = false;
  int64_t modified = 0;          // last modification, seconds since 1970 (UTC)
};

// Why a set was refused.
enum class ExfatSetFault {
  kNone,
  kTooShort,         // fewer bytes than the set's entries
  kNotAFile,         // the first entry is no file entry
  kSecondaryCount,   // fewer than a stream extension and a name entry
  kMixedUse,         // entries of the set differ in their in-use bit
  kChecksum,
  kStream,           // the second entry is no stream extension
  kNameLength,
  kNameEntry,        // a file-name entry missing
  kCritical,         // a critical secondary entry this reader does not know
  kLength,           // valid data length beyond the data length, or data without a cluster
};

// A word for the log: "checksum", "name entry", ...
const char* exfatSetFaultName(ExfatSetFault fault);

// The set checksum over `entries` entries at `set`, leaving out the stored
// checksum itself; for a deleted set the in-use bits are counted as set.
uint16_t exfatSetChecksum(const uint8_t* set, size_t entries, bool deleted);

// Decodes the set that starts at `data` (`length` bytes available, which
// may run past the set).  `out` is unchanged on failure and `fault` says why.
bool decodeExfatEntrySet(const uint8_t* data, size_t length, ExfatEntrySet& out, ExfatSetFault* fault = nullptr);

// Bytes of the set that starts at `data` according to its secondary count
// (at least one entry); the caller reads that much before decoding.
size_t exfatSetBytes(const uint8_t* entry);

// A quick look at a sector: it begins with a file entry (in use or not)
// followed by a stream extension and a file-name entry of the same state.
bool startsWithExfatFileSet(const uint8_t* data, size_t length);

// Seconds since 1970 (UTC) of a timestamp with its 10-millisecond and
// UTC-offset fields; an offset marked invalid means the local time's
// present offset.  False when a field is out of range.
bool exfatTimestamp(uint32_t stamp, uint8_t tenMilliseconds, uint8_t utcOffset, int64_t& seconds);
