#include "exfat/FileModuleExfatDirectory.h"

#include <vector>

#include "engine/Volume.h"
#include "engine/VolumeHost.h"
#include "exfat/ExfatEntrySet.h"
#include "media/Reader.h"

bool FileModuleExfatDirectory::scan(const uint8_t* sector, uint32_t length) {
  return startsWithExfatFileSet(sector, length);
}

bool FileModuleExfatDirectory::analyzeAt(uint64_t position, Reader& reader, File& file) {
  uint8_t first[kExfatEntryBytes];
  if (!host_ || !reader.read(0, first, sizeof first)) return false;
  std::vector<uint8_t> set(exfatSetBytes(first));
  ExfatEntrySet decoded;
  if (set.size() > reader.size() || !reader.read(0, set.data(), set.size()) ||
      !decodeExfatEntrySet(set.data(), set.size(), decoded))
    return false;
  // exFAT directories do not name their own cluster; the volume finds it
  // from the position.
  host_->directoryMet(position, Volume::kUnknownCluster);
  return false;
}
