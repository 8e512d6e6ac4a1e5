#include "fat/BootSector.h"

#include "media/Sector.h"
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
const unsigned kBackupSectorAt = 50;
const unsigned kSignatureAt = 510;

const uint16_t kSignature = 0xAA55;
const uint8_t kFatCount = 2;
const uint8_t kFixedDisk = 0xF8;
const uint64_t kDirectoryEntryBytes = 32;

// Log tags of this file.
const LogTag kLogBytesPerSector{"BootSector", 56};
const LogTag kLogSignature{"BootSector", 60};
const LogTag kLogFatCount{"BootSector", 64};
const LogTag kLogMedia{"BootSector", 68};
const LogTag kLogSectorsPerCluster{"BootSector", 73};
const LogTag kLogReserved{"BootSector", 78};
const LogTag kLogFatSectors{"BootSector", 84};
const LogTag kLogRootCluster{"BootSector", 103};
const LogTag kLogRootBeyond{"BootSector", 107};
const LogTag kLogDataBeyond{"BootSector", 112};

bool refuse(BootSectorFault reason, BootSectorFault* fault) {
  if (fault) *fault = reason;
  return false;
}

}  // namespace

int fatTypeOf(uint32_t clusters) {
  if (clusters < 4085) return kFat12;
  if (clusters <= 65524) return kFat16;
  if (clusters <= 0x0FFFFFF4) return kFat32;
  return kFatInvalid;
}

bool decodeBootSector(const uint8_t* s, size_t length, BootSectorFields& out) {
  if (!s || length < kSectorBytes) return false;
  out.bytesPerSector = le16(s + kBytesPerSectorAt);
  out.sectorsPerCluster = s[kSectorsPerClusterAt];
  out.reservedSectors = le16(s + kReservedSectorsAt);
  out.fatCount = s[kFatCountAt];
  out.rootEntries = le16(s + kRootEntriesAt);
  out.totalSectors = le16(s + kTotalSectors16At);
  if (out.totalSectors == 0) out.totalSectors = le32(s + kTotalSectors32At);
  out.mediaDescriptor = s[kMediaDescriptorAt];
  out.fatSectors = le16(s + kSectorsPerFat16At);
  if (out.fatSectors == 0) out.fatSectors = le32(s + kSectorsPerFat32At);
  out.rootCluster = le32(s + kRootClusterAt);
  out.backupSector = le16(s + kBackupSectorAt);
  out.signature = le16(s + kSignatureAt);
  return true;
}

bool parseBootSector(const uint8_t* data, size_t length, FatParameters& out, BootSectorFields* fields,
                     BootSectorFault* fault) {
  if (fault) *fault = BootSectorFault::kNone;
  BootSectorFields f;
  if (!decodeBootSector(data, length, f)) return refuse(BootSectorFault::kTooShort, fault);
  if (f.bytesPerSector != kSectorBytes) {
    dlog() << kLogBytesPerSector << ": bytes per sector " << f.bytesPerSector << "\n";
    return refuse(BootSectorFault::kBytesPerSector, fault);
  }
  if (f.signature != kSignature) {
    dlog() << kLogSignature << ": signature\n";
    return refuse(BootSectorFault::kSignature, fault);
  }
  if (f.fatCount != kFatCount) {
    dlog() << kLogFatCount << ": FATs " << unsigned(f.fatCount) << "\n";
    return refuse(BootSectorFault::kFatCount, fault);
  }
  if (f.mediaDescriptor != kFixedDisk) {
    dlog() << kLogMedia << ": media " << unsigned(f.mediaDescriptor) << "\n";
    return refuse(BootSectorFault::kMediaDescriptor, fault);
  }
  if (f.sectorsPerCluster == 0) {
    dlog() << kLogSectorsPerCluster << ": sectors per cluster 0\n";
    return refuse(BootSectorFault::kSectorsPerCluster, fault);
  }
  if (f.reservedSectors == 0) {
    dlog() << kLogReserved << ": reserved sectors 0\n";
    return refuse(BootSectorFault::kReservedSectors, fault);
  }
  if (f.fatSectors == 0) {
    dlog() << kLogFatSectors << ": sectors per FAT 0\n";
    return refuse(BootSectorFault::kFatSectors, fault);
  }

  // All of it in 64 bits: reserved < 2^16, sectors per FAT < 2^32, so no sum
  // below can wrap, and everything compared against the 32-bit total fits
  // back into the 32-bit fields.
  const uint64_t sectorsPerCluster = f.sectorsPerCluster;
  const uint64_t totalSectors = f.totalSectors;
  uint64_t secondFat = uint64_t(f.reservedSectors) + f.fatSectors;
  uint64_t dataStart = f.reservedSectors + kFatCount * uint64_t(f.fatSectors);
  uint64_t rootAddress = 0;
  if (f.rootEntries != 0) {
    rootAddress = dataStart;
    dataStart += (f.rootEntries * kDirectoryEntryBytes + kSectorBytes - 1) / kSectorBytes;
  } else {
    rootAddress = f.rootCluster;
    if (rootAddress < 2) {
      dlog() << kLogRootCluster << ": root cluster " << rootAddress << "\n";
      return refuse(BootSectorFault::kRootCluster, fault);
    }
    if (sectorsPerCluster * (rootAddress - 1) + dataStart > totalSectors) {
      dlog() << kLogRootBeyond << ": root cluster " << rootAddress << " total " << totalSectors << "\n";
      return refuse(BootSectorFault::kRootBeyondVolume, fault);
    }
  }
  if (sectorsPerCluster + dataStart > totalSectors) {
    dlog() << kLogDataBeyond << ": data start " << dataStart << " total " << totalSectors << "\n";
    return refuse(BootSectorFault::kDataBeyondVolume, fault);
  }

  out.fatLba[0] = f.reservedSectors;
  out.fatLba[1] = static_cast<uint32_t>(secondFat);
  out.rootDirectoryIsCluster = f.rootEntries == 0 ? 1 : 0;
  out.rootDirectoryAddress = static_cast<uint32_t>(rootAddress);
  out.dataClusterLba = static_cast<uint32_t>(dataStart);
  out.dataClusters = static_cast<uint32_t>((totalSectors - dataStart) / sectorsPerCluster);
  out.sectorsPerCluster = static_cast<uint32_t>(sectorsPerCluster);
  if (fields) *fields = f;
  return true;
}
