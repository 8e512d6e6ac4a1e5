// The exFAT boot region: the boot sector's fields, their validation, and
// the checksum sector that vouches for the eleven sectors before it.
//
// A volume keeps two such regions, the main one at its first sector and a
// backup twelve sectors further on; each is judged on its own bytes here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "exfat/ExfatParameters.h"

// Sectors of one boot region: boot sector, eight extended boot sectors, OEM
// parameters, a reserved sector and the checksum sector.
constexpr uint32_t kExfatBootRegionSectors = 12;
constexpr uint32_t kExfatBootRegionBytes = kExfatBootRegionSectors * 512;

// Why a boot sector or region was refused.
enum class ExfatBootFault {
  kNone,
  kTooShort,
  kName,          // jump instruction or "EXFAT   " missing
  kSignature,
  kMustBeZero,    // the range where FAT keeps its parameter block is not zero
  kSectorSize,    // other than 512 bytes: all engine arithmetic is in 512-byte sectors
  kClusterSize,
  kFatCount,
  kRevision,
  kFatOffset,
  kClusterCount,
  kFatLength,
  kHeapOffset,
  kVolumeLength,
  kRootCluster,
  kChecksum,
};

// Decodes the boot sector in the first 512 of `length` bytes and checks
// every field the volume relies on, the sums in 64 bits: the FATs lie
// between the boot regions and the cluster heap, the heap inside the
// volume, the root cluster inside the heap.  `out.lba` is left 0; `out` is
// unchanged on failure, the reason goes to the debug log and to `fault`.
bool parseExfatBootSector(const uint8_t* data, size_t length, ExfatParameters& out,
                          ExfatBootFault* fault = nullptr);

// The boot checksum over the first eleven sectors of `sectors` (11 * 512
// bytes), leaving out the fields that change without it (volume flags and
// percent in use).
uint32_t exfatBootChecksum(const uint8_t* sectors);

// A whole region of kExfatBootRegionBytes: its checksum sector must repeat
// the checksum of the other eleven, then the boot sector is parsed.
bool parseExfatBootRegion(const uint8_t* region, size_t length, ExfatParameters& out,
                          ExfatBootFault* fault = nullptr);
