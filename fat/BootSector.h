// The FAT boot sector: its fields, their validation, and the decoded
// geometry of its volume.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fat/FatParameters.h"

// FAT type codes, decided from the number of data clusters alone.
enum FatType { kFatInvalid = 0, kFat12 = 1, kFat16 = 2, kFat32 = 3 };

// 1 (FAT12) below 4085 clusters, 2 (FAT16) up to 65524, 3 (FAT32) up to
// 0x0FFFFFF4, 0 beyond.
int fatTypeOf(uint32_t clusters);

// Every field of a boot sector that the scan uses, as stored.
struct BootSectorFields {
  uint16_t bytesPerSector = 0;
  uint8_t sectorsPerCluster = 0;
  uint16_t reservedSectors = 0;
  uint8_t fatCount = 0;
  uint16_t rootEntries = 0;     // 0: FAT32 layout, the root is a cluster chain
  uint32_t totalSectors = 0;    // the 16-bit field, or the 32-bit one when it is 0
  uint8_t mediaDescriptor = 0;
  uint32_t fatSectors = 0;      // the 16-bit field, or the 32-bit one when it is 0
  uint32_t rootCluster = 0;     // FAT32
  uint16_t backupSector = 0;    // FAT32: sector of the boot sector's copy
  uint16_t signature = 0;
};

// Reads the fields of the first 512 of `length` bytes; false when fewer.
bool decodeBootSector(const uint8_t* data, size_t length, BootSectorFields& out);

// Why a boot sector was refused.
enum class BootSectorFault {
  kNone,
  kTooShort,
  kBytesPerSector,
  kSignature,
  kFatCount,
  kMediaDescriptor,
  kSectorsPerCluster,
  kReservedSectors,
  kFatSectors,
  kRootCluster,
  kRootBeyondVolume,
  kDataBeyondVolume,
};

// Decodes a boot sector into fields 2-8 of `out` (`lba` is left alone).
// Every field is validated before use and the whole geometry is computed in
// 64 bits: a volume whose FATs, root directory and data area do not fit in
// its total sectors is rejected.  `out` is unchanged on failure; the reason
// goes to the debug log and, when asked for, to `fault`.  `fields` receives
// the decoded fields when given.
bool parseBootSector(const uint8_t* data, size_t length, FatParameters& out,
                     BootSectorFields* fields = nullptr, BootSectorFault* fault = nullptr);
