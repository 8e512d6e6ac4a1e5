// Fuzzes BootSector (parseBootSector, fatTypeOf) and the volume checks of
// FsFat::init that follow it: FatEntry's checkFatStart, the Bitmap of the
// FAT-copy map and FatTable::init.  The first 512 bytes are the boot sector,
// the whole input is the medium.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fat/BootSector.h"
#include "fat/FatTable.h"
#include "fat/FsFat.h"
#include "shell/DebugLog.h"
#include "tests/support/MemoryReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t sector[512] = {};
  memcpy(sector, data, size < 512 ? size : 512);
  FatParameters p;
  if (!parseBootSector(sector, 512, p)) return 0;
  // Whatever passed must describe a volume that fits its own total sectors.
  uint64_t end = uint64_t(p.dataClusterLba) + uint64_t(p.dataClusters) * p.sectorsPerCluster;
  if (p.fatLba[1] <= p.fatLba[0] || p.dataClusterLba < p.fatLba[1] || end < p.dataClusterLba)
    __builtin_trap();
  fatTypeOf(p.dataClusters);
  if (FatTable::tableSectors(p) > uint64_t(p.fatLba[1]) - p.fatLba[0]) __builtin_trap();

  MemoryReader medium(data, size);
  VolumeContext context;
  context.medium = &medium;
  FsFat fs(context);
  if (fs.init(p)) {
    // A volume that init accepts lies inside the medium.
    if (end * 512 > size) __builtin_trap();
    fs.scanRoot();
  }
  return 0;
}
