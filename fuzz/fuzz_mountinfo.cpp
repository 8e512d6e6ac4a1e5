// Fuzzes the mount-table parser: every entry it returns has an absolute
// mount point, and a table of entries matched against devices keeps only
// those devices' mounts.

#include <sys/sysmacros.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/MountTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<MountRecord> mounts = parseMountInfo(input);
  for (const MountRecord& entry : mounts) {
    if (entry.mountPoint.empty() || entry.mountPoint[0] != '/') {
      fprintf(stderr, "fuzz_mountinfo: relative mount point\n");
      abort();
    }
  }
  const dev_t wanted = makedev(7, 1);
  for (const MountRecord& entry : mountsOn(mounts, {wanted}))
    if (entry.device != wanted) abort();
  return 0;
}
