// The device list read from a sysfs tree whose files hold the input: the
// attribute texts (size, device number, sector size, read-only, removable,
// partition start and size, a loop device's backing file, MMC type and
// names) go through the sysfs readers, the device list and its records.

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "device/BlockDevices.h"
#include "device/DeviceRecords.h"

namespace {

std::string root() {
  static std::string folder = [] {
    char name[] = "/tmp/mzk-fuzz-sys-XXXXXX";
    if (!mkdtemp(name)) abort();
    return std::string(name);
  }();
  return folder;
}

void put(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "w");
  if (!f) return;
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Fields of the input, separated by 0x1F.
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < size && fields.size() <= 12; ++i) {
    if (data[i] == 0x1F)
      fields.emplace_back();
    else
      fields.back() += char(data[i]);
  }
  fields.resize(12);
  const std::string sys = root();
  const std::string disk = sys + "/block/mmcblk9", loop = sys + "/block/loop9";
  for (const std::string& dir : {sys + "/block", disk, disk + "/queue", disk + "/mmcblk9p1", loop, loop + "/loop",
                                 sys + "/devices", sys + "/devices/mmc9"})
    mkdir(dir.c_str(), 0700);
  unlink((disk + "/device").c_str());
  symlink((sys + "/devices/mmc9").c_str(), (disk + "/device").c_str());
  const char* files[] = {"/size", "/dev", "/queue/logical_block_size", "/ro", "/removable", "/mmcblk9p1/start",
                         "/mmcblk9p1/size", "/mmcblk9p1/dev"};
  for (size_t i = 0; i < 8; ++i) put(disk + files[i], fields[i]);
  put(disk + "/mmcblk9p1/partition", "1\n");
  put(sys + "/devices/mmc9/type", fields[8]);
  put(sys + "/devices/mmc9/name", fields[9]);
  put(loop + "/size", fields[0]);
  put(loop + "/dev", fields[1]);
  put(loop + "/loop/backing_file", fields[10]);
  for (const DeviceInfo& device : listDevices(sys, "/nonexistent-dev")) {
    deviceRecord(device);
    deviceDescription(device);
  }
  busAllowed(fields[11], "SD");
  return 0;
}
