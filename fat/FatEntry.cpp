#include "fat/FatEntry.h"

#include "fat/BootSector.h"
#include "shell/Endian.h"

FatEntryKind classifyFatEntry(int fatType, uint32_t value) {
  if (value == 0) return kFatEntryFree;
  uint32_t high = 0;
  switch (fatType) {
    case kFat12: high = 0xFFFFF000u; break;
    case kFat16: high = 0xFFFF0000u; break;
    case kFat32: high = 0xF0000000u; break;
    default: return kFatEntryInvalid;
  }
  // Cluster 1 does not exist; 2 is the first data cluster and a legal pointer.
  if (value == 1) return kFatEntryInvalid;
  uint32_t wide = value | high;
  if (wide > 0xFFFFFFF7u) return kFatEntryEnd;
  if (wide == 0xFFFFFFF7u) return kFatEntryBad;
  if (wide < 0xFFFFFFF0u) return kFatEntryNext;
  return kFatEntryReserved;
}

int fatStartBytes(int fatType) {
  switch (fatType) {
    case kFat12: return 3;
    case kFat16: return 4;
    case kFat32: return 8;
    default: return 0;
  }
}

bool checkFatStart(const uint8_t* bytes, int fatType) {
  switch (fatType) {
    case kFat12: {
      uint32_t v = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                   (static_cast<uint32_t>(bytes[2]) << 16);
      return v == 0xFFFFF8 || v == 0xFFFFF0;
    }
    case kFat16: {
      // The two top bits are the volume's clean/error flags of entry 1.
      uint32_t v = le32(bytes) & 0x3FFFFFFFu;
      return v == 0x3FFFFFF8u || v == 0x3FFFFFF0u;
    }
    case kFat32: {
      uint32_t v0 = le32(bytes) & 0x0FFFFFFFu;
      uint32_t v1 = le32(bytes + 4) & 0x03FFFFFFu;  // bits 26-27 are flags
      return (v0 == 0x0FFFFFF8u || v0 == 0x0FFFFFF0u) && v1 == 0x03FFFFFFu;
    }
    default:
      return false;
  }
}

const char* fatEntryKindName(FatEntryKind kind) {
  switch (kind) {
    case kFatEntryInvalid: return "invalid";
    case kFatEntryFree: return "free";
    case kFatEntryNext: return "next";
    case kFatEntryEnd: return "end";
    case kFatEntryReserved: return "reserved";
    case kFatEntryBad: return "bad";
  }
  return "?";
}
