#include "fat/FileModuleBootSector.h"

#include "engine/FileCase.h"
#include "fat/BootSector.h"
#include "fat/FsFat.h"
#include "media/ReaderReader.h"
#include "shell/DebugLog.h"
#include "shell/Endian.h"

namespace {
const uint32_t kSectorBytes = 512;
const uint32_t kSignatureAt = 510;
const uint32_t kReservedSectorsAt = 14;
const uint32_t kBackupSectorAt = 50;  // FAT32: sector of the boot sector's copy

bool hasVolumeAt(const FileCase& fileCase, uint64_t lba) {
  for (size_t i = 0; i < fileCase.fileSystemCount(); ++i)
    if (fileCase.fileSystem(i)->parameters().lba == lba) return true;
  return false;
}
}  // namespace

bool FileModuleBootSector::scan(const uint8_t* sector, uint32_t length) {
  return length >= kSectorBytes && sector[kSignatureAt] == 0x55 && sector[kSignatureAt + 1] == 0xAA;
}

bool FileModuleBootSector::analyze(Reader& reader, File& file) {
  uint8_t sector[kSectorBytes];
  if (!reader.read(0, sector, sizeof sector)) return false;
  FatParameters params;
  if (!parseBootSector(sector, params)) return false;
  // Only a window knows where on the medium it lies.
  ReaderReader* window = dynamic_cast<ReaderReader*>(&reader);
  if (!window || window->base() % kSectorBytes != 0) {
    dlog() << "FileModuleBootSector(27)\n";
    return false;
  }
  uint64_t lba = window->base() / kSectorBytes;
  params.lba = lba;
  if (!fileCase_ || fileCase_->addFileSystem(params)) return false;
  // A FAT32 volume keeps a copy of its boot sector a few sectors in; when
  // this is that copy (the volume does not open here), the volume starts
  // that many sectors earlier, which brings back a card whose own boot
  // sector is damaged.
  uint64_t backup = le16(sector + kBackupSectorAt);
  if (!params.rootDirectoryIsCluster || backup == 0 || backup >= le16(sector + kReservedSectorsAt) ||
      backup > lba)
    return false;
  params.lba = lba - backup;
  if (hasVolumeAt(*fileCase_, params.lba)) return false;
  dlog() << "FileModuleBootSector(45): backup at " << lba << " for " << params.lba << "\n";
  fileCase_->addFileSystem(params);
  return false;
}
