#include "exfat/FileModuleExfatBootRegion.h"

#include <cstring>
#include <memory>
#include <vector>

#include "engine/VolumeHost.h"
#include "exfat/ExfatBootRegion.h"
#include "exfat/ExfatVolume.h"
#include "media/Reader.h"
#include "media/Sector.h"
#include "shell/DebugLog.h"

namespace {
const uint8_t kJumpAndName[11] = {0xEB, 0x76, 0x90, 'E', 'X', 'F', 'A', 'T', ' ', ' ', ' '};
const uint32_t kSignatureAt = 510;
const uint64_t kRegionBytes = kExfatBootRegionBytes;

// Log tags of this file.
const LogTag kLogUnaligned{"FileModuleExfatBootRegion", 30};
const LogTag kLogUnreadable{"FileModuleExfatBootRegion", 36};
const LogTag kLogBackup{"FileModuleExfatBootRegion", 58};
}  // namespace

bool FileModuleExfatBootRegion::scan(const uint8_t* sector, uint32_t length) {
  return length >= kSectorBytes && memcmp(sector, kJumpAndName, sizeof kJumpAndName) == 0 &&
         sector[kSignatureAt] == 0x55 && sector[kSignatureAt + 1] == 0xAA;
}

bool FileModuleExfatBootRegion::open(const ExfatParameters& params) {
  return host_->addVolume([&params](const VolumeContext& context) -> std::shared_ptr<Volume> {
    auto volume = std::make_shared<ExfatVolume>(context);
    if (!volume->init(params)) return nullptr;
    return volume;
  });
}

bool FileModuleExfatBootRegion::analyzeAt(uint64_t position, Reader& reader, File& file) {
  if (position % kSectorBytes != 0) {
    dlog() << kLogUnaligned << ": " << position << "\n";
    return false;
  }
  std::vector<uint8_t> region(kRegionBytes);
  if (reader.size() < kRegionBytes || !reader.read(0, region.data(), kRegionBytes)) {
    dlog() << kLogUnreadable << ": " << position << "\n";
    return false;
  }
  ExfatParameters params;
  if (!parseExfatBootRegion(region.data(), region.size(), params) || !host_) return false;
  if (host_->hasVolumeAt(position)) return false;
  // The backup region of a volume that opened from its main region.
  if (position >= kRegionBytes && host_->hasVolumeAt(position - kRegionBytes)) return false;
  params.lba = position / kSectorBytes;
  if (open(params) || position < kRegionBytes) return false;
  params.lba -= kExfatBootRegionSectors;
  dlog() << kLogBackup << ": backup at " << position / kSectorBytes << " for " << params.lba << "\n";
  open(params);
  return false;
}
