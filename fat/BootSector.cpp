#include "fat/BootSector.h"

#include "shell/DebugLog.h"
#include "shell/Endian.h"

namespace {

// Layout of the boot sector fields that the scan relies on.
const unsigned kBytesPerSectorAt = 11;
const unsigned kSectorsPerClusterAt = 13;
const unsigned kReservedSectorsAt = 14;
const unsigned kFatCountAt = 16;
const unsigned kRootEntriesAt = 17;
const unsigned kTotalSectors16At = 19;
const unsigned kMediaDescriptorAt = 21;
const unsigned kSectorsPerFat16At = 22;
const unsigned kTotalSectors32At = 32;
const unsigned kSectorsPerFat32At = 36;
const unsigned kRootClusterAt = 44;
const unsigned kSignatureAt = 510;

const uint16_t kSectorBytes = 512;
const uint16_t kSignature = 0xAA55;
const uint8_t kFatCount = 2;
const uint8_t kFixedDisk = 0xF8;
const uint64_t kDirectoryEntryBytes = 32;

}  // namespace

int fatTypeOf(uint32_t clusters) {
  if (clusters < 4085) return kFat12;
  if (clusters <= 65524) return kFat16;
  if (clusters <= 0x0FFFFFF4) return kFat32;
  return kFatInvalid;
}

bool parseBootSector(const uint8_t* sector, FatParameters& out) {
  uint16_t bytesPerSector = le16(sector + kBytesPerSectorAt);
  if (bytesPerSector != kSectorBytes) {
    dlog() << "BootSector(56): bytes per sector " << bytesPerSector << "\n";
    return false;
  }
  if (le16(sector + kSignatureAt) != kSignature) {
    dlog() << "BootSector(60): signature\n";
    return false;
  }
  if (sector[kFatCountAt] != kFatCount) {
    dlog() << "BootSector(64): FATs " << unsigned(sector[kFatCountAt]) << "\n";
    return false;
  }
  if (sector[kMediaDescriptorAt] != kFixedDisk) {
    dlog() << "BootSector(68): media " << unsigned(sector[kMediaDescriptorAt]) << "\n";
    return false;
  }
  uint64_t sectorsPerCluster = sector[kSectorsPerClusterAt];
  if (sectorsPerCluster == 0) {
    dlog() << "BootSector(73): sectors per cluster 0\n";
    return false;
  }
  uint64_t reserved = le16(sector + kReservedSectorsAt);
  if (reserved == 0) {
    dlog() << "BootSector(78): reserved sectors 0\n";
    return false;
  }
  uint64_t sectorsPerFat = le16(sector + kSectorsPerFat16At);
  if (sectorsPerFat == 0) sectorsPerFat = le32(sector + kSectorsPerFat32At);
  if (sectorsPerFat == 0) {
    dlog() << "BootSector(84): sectors per FAT 0\n";
    return false;
  }
  uint64_t totalSectors = le16(sector + kTotalSectors16At);
  if (totalSectors == 0) totalSectors = le32(sector + kTotalSectors32At);

  // All of it in 64 bits: reserved < 2^16, sectors per FAT < 2^32, so no sum
  // below can wrap, and everything compared against the 32-bit total fits
  // back into the 32-bit fields.
  uint64_t secondFat = reserved + sectorsPerFat;
  uint64_t dataStart = reserved + kFatCount * sectorsPerFat;
  uint64_t rootEntries = le16(sector + kRootEntriesAt);
  uint64_t rootAddress = 0;
  if (rootEntries != 0) {
    rootAddress = dataStart;
    dataStart += (rootEntries * kDirectoryEntryBytes + kSectorBytes - 1) / kSectorBytes;
  } else {
    rootAddress = le32(sector + kRootClusterAt);
    if (rootAddress < 2) {
      dlog() << "BootSector(103): root cluster " << rootAddress << "\n";
      return false;
    }
    if (sectorsPerCluster * (rootAddress - 1) + dataStart > totalSectors) {
      dlog() << "BootSector(107): root cluster " << rootAddress << " total " << totalSectors << "\n";
      return false;
    }
  }
  if (sectorsPerCluster + dataStart > totalSectors) {
    dlog() << "BootSector(112): data start " << dataStart << " total " << totalSectors << "\n";
    return false;
  }

  out.fatLba[0] = static_cast<uint32_t>(reserved);
  out.fatLba[1] = static_cast<uint32_t>(secondFat);
  out.rootDirectoryIsCluster = rootEntries == 0 ? 1 : 0;
  out.rootDirectoryAddress = static_cast<uint32_t>(rootAddress);
  out.dataClusterLba = static_cast<uint32_t>(dataStart);
  out.dataClusters = static_cast<uint32_t>((totalSectors - dataStart) / sectorsPerCluster);
  out.sectorsPerCluster = static_cast<uint32_t>(sectorsPerCluster);
  return true;
}
