#include "fat/FileModuleBootSector.h"

#include "engine/FileCase.h"
#include "fat/BootSector.h"
#include "media/ReaderReader.h"
#include "shell/DebugLog.h"

namespace {
const uint32_t kSectorBytes = 512;
const uint32_t kSignatureAt = 510;
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
  params.lba = window->base() / kSectorBytes;
  if (fileCase_) fileCase_->addFileSystem(params);
  return false;
}
