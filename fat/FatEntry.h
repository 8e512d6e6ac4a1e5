// One entry of a file allocation table, and the look of a FAT's first bytes.
#pragma once

#include <cstdint>

enum FatEntryKind {
  kFatEntryInvalid = 0,
  kFatEntryFree = 1,
  kFatEntryNext = 2,      // the value is the next cluster of the chain
  kFatEntryEnd = 3,       // end of chain
  kFatEntryReserved = 4,
  kFatEntryBad = 5,
};

// Classifies a raw entry value (FAT32 already masked to 28 bits) of a table of
// the given type (FatType).  0 is free, 1 is invalid, and 2 or more is a
// cluster pointer unless the value widened to 32 bits lies in the reserved,
// bad or end-of-chain range.  Every non-zero value of an invalid type is
// invalid.
FatEntryKind classifyFatEntry(int fatType, uint32_t value);

// Whether the first bytes of a FAT look like a FAT of that type: entry 0
// holds the media byte 0xF8 or 0xF0, entry 1 an end-of-chain mark (its flag
// bits ignored).  Reads 3, 4 or 8 bytes for FAT12, FAT16, FAT32
// (fatStartBytes); false for an invalid type.
bool checkFatStart(const uint8_t* bytes, int fatType);
int fatStartBytes(int fatType);

const char* fatEntryKindName(FatEntryKind kind);
