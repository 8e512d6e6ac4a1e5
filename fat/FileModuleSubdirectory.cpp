#include "fat/FileModuleSubdirectory.h"

#include "engine/FileCase.h"
#include "fat/FATDirectory.h"
#include "media/ReaderReader.h"

namespace {
const uint32_t kSectorBytes = 512;
const uint32_t kTwoEntries = 64;
}  // namespace

bool FileModuleSubdirectory::scan(const uint8_t* sector, uint32_t length) {
  uint64_t cluster = 0;
  return length >= kTwoEntries && isDirectoryStart(sector, cluster);
}

bool FileModuleSubdirectory::analyze(Reader& reader, File& file) {
  uint8_t sector[kSectorBytes];
  if (!reader.read(0, sector, sizeof sector)) return false;
  uint64_t cluster = 0;
  if (!isDirectoryStart(sector, cluster)) return false;
  ReaderReader* window = dynamic_cast<ReaderReader*>(&reader);
  if (!window || !fileCase_) return false;
  fileCase_->forEachFileSystem(window->base(), cluster);
  return false;
}
