#include "exfat/ExfatBootRegion.h"

#include <cstring>

#include "media/Sector.h"
#include "shell/DebugLog.h"
#include "shell/Endian.h"

namespace {

// Layout of the boot sector.
const unsigned kJumpAt = 0;
const unsigned kMustBeZeroAt = 11;
const unsigned kMustBeZeroBytes = 53;
const unsigned kVolumeLengthAt = 72;
const unsigned kFatOffsetAt = 80;
const unsigned kFatLengthAt = 84;
const unsigned kClusterHeapOffsetAt = 88;
const unsigned kClusterCountAt = 92;
const unsigned kRootClusterAt = 96;
const unsigned kRevisionAt = 104;
const unsigned kVolumeFlagsAt = 106;
const unsigned kBytesPerSectorShiftAt = 108;
const unsigned kSectorsPerClusterShiftAt = 109;
const unsigned kNumberOfFatsAt = 110;
const unsigned kPercentInUseAt = 112;
const unsigned kSignatureAt = 510;

const uint8_t kJumpAndName[11] = {0xEB, 0x76, 0x90, 'E', 'X', 'F', 'A', 'T', ' ', ' ', ' '};
const uint16_t kSignature = 0xAA55;
const uint8_t kSectorShift = 9;
const uint8_t kLargestSectorShift = 12;
// Clusters are at most 32 MiB.
const unsigned kLargestClusterShift = 25;
// The two boot regions come before the first FAT.
const uint32_t kFirstFatSector = 2 * kExfatBootRegionSectors;
const uint64_t kMostClusters = 0xFFFFFFF5;  // 2^32 - 11
const uint64_t kFatEntryBytes = 4;
const uint64_t kChecksumSector = 11;

// Log tags of this file.
const LogTag kLogName{"ExfatBootRegion", 61};
const LogTag kLogSignature{"ExfatBootRegion", 62};
const LogTag kLogMustBeZero{"ExfatBootRegion", 63};
const LogTag kLogSectorSize{"ExfatBootRegion", 64};
const LogTag kLogClusterSize{"ExfatBootRegion", 65};
const LogTag kLogFatCount{"ExfatBootRegion", 66};
const LogTag kLogRevision{"ExfatBootRegion", 67};
const LogTag kLogFatOffset{"ExfatBootRegion", 68};
const LogTag kLogClusterCount{"ExfatBootRegion", 69};
const LogTag kLogFatLength{"ExfatBootRegion", 70};
const LogTag kLogHeapOffset{"ExfatBootRegion", 71};
const LogTag kLogVolumeLength{"ExfatBootRegion", 72};
const LogTag kLogRootCluster{"ExfatBootRegion", 73};
const LogTag kLogChecksum{"ExfatBootRegion", 140};

bool refuse(ExfatBootFault reason, ExfatBootFault* fault) {
  if (fault) *fault = reason;
  return false;
}

}  // namespace

bool parseExfatBootSector(const uint8_t* s, size_t length, ExfatParameters& out, ExfatBootFault* fault) {
  if (fault) *fault = ExfatBootFault::kNone;
  if (!s || length < kSectorBytes) return refuse(ExfatBootFault::kTooShort, fault);
  if (memcmp(s + kJumpAt, kJumpAndName, sizeof kJumpAndName) != 0) {
    dlog() << kLogName << "\n";
    return refuse(ExfatBootFault::kName, fault);
  }
  if (le16(s + kSignatureAt) != kSignature) {
    dlog() << kLogSignature << ": " << le16(s + kSignatureAt) << "\n";
    return refuse(ExfatBootFault::kSignature, fault);
  }
  for (unsigned i = 0; i < kMustBeZeroBytes; ++i) {
    if (s[kMustBeZeroAt + i] != 0) {
      dlog() << kLogMustBeZero << ": " << (kMustBeZeroAt + i) << "\n";
      return refuse(ExfatBootFault::kMustBeZero, fault);
    }
  }
  ExfatParameters p;
  p.volumeLength = le64(s + kVolumeLengthAt);
  p.fatOffset = le32(s + kFatOffsetAt);
  p.fatLength = le32(s + kFatLengthAt);
  p.clusterHeapOffset = le32(s + kClusterHeapOffsetAt);
  p.clusterCount = le32(s + kClusterCountAt);
  p.rootCluster = le32(s + kRootClusterAt);
  p.volumeFlags = le16(s + kVolumeFlagsAt);
  p.bytesPerSectorShift = s[kBytesPerSectorShiftAt];
  p.sectorsPerClusterShift = s[kSectorsPerClusterShiftAt];
  p.numberOfFats = s[kNumberOfFatsAt];

  if (p.bytesPerSectorShift != kSectorShift) {
    // Larger sectors are valid exFAT, but every position here counts in
    // 512-byte sectors; such a volume is passed over, with a trace.
    bool valid = p.bytesPerSectorShift > kSectorShift && p.bytesPerSectorShift <= kLargestSectorShift;
    dlog() << kLogSectorSize << ": " << (valid ? "passed over, " : "") << "sector shift "
           << unsigned(p.bytesPerSectorShift) << "\n";
    return refuse(ExfatBootFault::kSectorSize, fault);
  }
  if (p.sectorsPerClusterShift > kLargestClusterShift - kSectorShift) {
    dlog() << kLogClusterSize << ": " << unsigned(p.sectorsPerClusterShift) << "\n";
    return refuse(ExfatBootFault::kClusterSize, fault);
  }
  if (p.numberOfFats != 1 && p.numberOfFats != 2) {
    dlog() << kLogFatCount << ": " << unsigned(p.numberOfFats) << "\n";
    return refuse(ExfatBootFault::kFatCount, fault);
  }
  if ((le16(s + kRevisionAt) >> 8) != 1) {
    dlog() << kLogRevision << ": " << le16(s + kRevisionAt) << "\n";
    return refuse(ExfatBootFault::kRevision, fault);
  }
  if (p.fatOffset < kFirstFatSector) {
    dlog() << kLogFatOffset << ": " << p.fatOffset << "\n";
    return refuse(ExfatBootFault::kFatOffset, fault);
  }
  if (p.clusterCount == 0 || p.clusterCount > kMostClusters) {
    dlog() << kLogClusterCount << ": " << p.clusterCount << "\n";
    return refuse(ExfatBootFault::kClusterCount, fault);
  }
  uint64_t fatBytes = (uint64_t(p.clusterCount) + 2) * kFatEntryBytes;
  if (uint64_t(p.fatLength) * kSectorBytes < fatBytes) {
    dlog() << kLogFatLength << ": " << p.fatLength << " " << p.clusterCount << "\n";
    return refuse(ExfatBootFault::kFatLength, fault);
  }
  uint64_t fatsEnd = uint64_t(p.fatOffset) + uint64_t(p.fatLength) * p.numberOfFats;
  if (p.clusterHeapOffset < fatsEnd) {
    dlog() << kLogHeapOffset << ": " << p.clusterHeapOffset << " " << fatsEnd << "\n";
    return refuse(ExfatBootFault::kHeapOffset, fault);
  }
  // Both terms below 2^33 sectors each: the sum cannot wrap.
  uint64_t heapEnd = uint64_t(p.clusterHeapOffset) + (uint64_t(p.clusterCount) << p.sectorsPerClusterShift);
  if (p.volumeLength < heapEnd) {
    dlog() << kLogVolumeLength << ": " << p.volumeLength << " " << heapEnd << "\n";
    return refuse(ExfatBootFault::kVolumeLength, fault);
  }
  if (p.rootCluster < 2 || uint64_t(p.rootCluster) > uint64_t(p.clusterCount) + 1) {
    dlog() << kLogRootCluster << ": " << p.rootCluster << " " << p.clusterCount << "\n";
    return refuse(ExfatBootFault::kRootCluster, fault);
  }
  out = p;
  return true;
}

uint32_t exfatBootChecksum(const uint8_t* sectors) {
  uint32_t sum = 0;
  const size_t bytes = kChecksumSector * kSectorBytes;
  for (size_t i = 0; i < bytes; ++i) {
    if (i == kVolumeFlagsAt || i == kVolumeFlagsAt + 1 || i == kPercentInUseAt) continue;
    sum = ((sum & 1) ? 0x80000000u : 0) + (sum >> 1) + sectors[i];
  }
  return sum;
}

bool parseExfatBootRegion(const uint8_t* region, size_t length, ExfatParameters& out, ExfatBootFault* fault) {
  if (!region || length < kExfatBootRegionBytes) return refuse(ExfatBootFault::kTooShort, fault);
  // The fields first: a region with larger sectors is not laid out in
  // 512-byte sectors, so its checksum cannot be judged here.
  ExfatParameters p;
  if (!parseExfatBootSector(region, length, p, fault)) return false;
  uint32_t sum = exfatBootChecksum(region);
  const uint8_t* stored = region + kChecksumSector * kSectorBytes;
  for (unsigned at = 0; at < kSectorBytes; at += 4) {
    if (le32(stored + at) != sum) {
      dlog() << kLogChecksum << ": " << sum << " " << le32(stored + at) << " at " << at << "\n";
      return refuse(ExfatBootFault::kChecksum, fault);
    }
  }
  out = p;
  return true;
}
