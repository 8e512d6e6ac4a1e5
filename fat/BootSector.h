// The FAT boot sector: validation and the decoded geometry of its volume.
#pragma once

#include <cstdint>

#include "fat/FatParameters.h"

// FAT type codes, decided from the number of data clusters alone.
enum FatType { kFatInvalid = 0, kFat12 = 1, kFat16 = 2, kFat32 = 3 };

// 1 (FAT12) below 4085 clusters, 2 (FAT16) up to 65524, 3 (FAT32) up to
// 0x0FFFFFF4, 0 beyond.
int fatTypeOf(uint32_t clusters);

// Decodes one 512-byte boot sector into fields 2-8 of `out` (`lba` is left
// alone).  Every field is validated before use and the whole geometry is
// computed in 64 bits: a volume whose FATs, root directory and data area do
// not fit in its total sectors is rejected.  `out` is unchanged on failure;
// the reason goes to the debug log.
bool parseBootSector(const uint8_t* sector, FatParameters& out);
