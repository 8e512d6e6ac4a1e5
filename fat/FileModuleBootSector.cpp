#include "fat/FileModuleBootSector.h"

#include "engine/VolumeHost.h"
#include "fat/BootSector.h"
#include "fat/FsFat.h"
#include "media/Reader.h"
#include "media/Sector.h"
#include "shell/DebugLog.h"

namespace {
const uint32_t kSignatureAt = 510;

// Log tags of this file.
const LogTag kLogUnaligned{"FileModuleBootSector", 27};
const LogTag kLogBackup{"FileModuleBootSector", 45};
}  // namespace

bool FileModuleBootSector::scan(const uint8_t* sector, uint32_t length) {
  return length >= kSectorBytes && sector[kSignatureAt] == 0x55 && sector[kSignatureAt + 1] == 0xAA;
}

bool FileModuleBootSector::open(const FatParameters& params) {
  return host_->addVolume([&params](const VolumeContext& context) -> std::shared_ptr<Volume> {
    auto volume = std::make_shared<FsFat>(context);
    if (!volume->init(params)) return nullptr;
    return volume;
  });
}

bool FileModuleBootSector::analyzeAt(uint64_t position, Reader& reader, File& file) {
  uint8_t sector[kSectorBytes];
  if (!reader.read(0, sector, sizeof sector)) return false;
  FatParameters params;
  BootSectorFields fields;
  if (!parseBootSector(sector, sizeof sector, params, &fields)) return false;
  if (position % kSectorBytes != 0) {
    dlog() << kLogUnaligned << "\n";
    return false;
  }
  uint64_t lba = position / kSectorBytes;
  params.lba = lba;
  if (!host_ || open(params)) return false;
  // A FAT32 volume keeps a copy of its boot sector a few sectors in; when
  // this is that copy (the volume does not open here), the volume starts
  // that many sectors earlier, which brings back a card whose own boot
  // sector is damaged.
  uint64_t backup = fields.backupSector;
  if (!params.rootDirectoryIsCluster || backup == 0 || backup >= fields.reservedSectors || backup > lba) return false;
  params.lba = lba - backup;
  if (host_->hasVolumeAt(params.lba * kSectorBytes)) return false;
  dlog() << kLogBackup << ": backup at " << lba << " for " << params.lba << "\n";
  open(params);
  return false;
}
