#include "fat/FileModuleSubdirectory.h"

#include "engine/VolumeHost.h"
#include "fat/DirectoryEntry.h"
#include "media/Reader.h"
#include "media/Sector.h"

namespace {
const uint32_t kTwoEntries = 64;
}  // namespace

bool FileModuleSubdirectory::scan(const uint8_t* sector, uint32_t length) {
  uint64_t cluster = 0;
  return length >= kTwoEntries && isDirectoryStart(sector, cluster);
}

bool FileModuleSubdirectory::analyzeAt(uint64_t position, Reader& reader, File& file) {
  uint8_t sector[kSectorBytes];
  if (!reader.read(0, sector, sizeof sector)) return false;
  uint64_t cluster = 0;
  if (!isDirectoryStart(sector, cluster) || !host_) return false;
  host_->directoryMet(position, cluster);
  return false;
}
