// Identity of a medium, its block devices and its mounts.

#include "device/MediumPlacement.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <set>

#include "device/MountTable.h"
#include "device/SysfsFiles.h"

namespace {

std::string sysBlockPath(const std::string& sysRoot, dev_t device) {
  return sysRoot + "/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// The device, its partitions and the devices stacked on any of them, a
// few levels deep (a loop in a fake or odd tree cannot recurse forever).
void addWithDependents(const std::string& sysRoot, dev_t device, std::set<dev_t>& out, int depth) {
  if (!out.insert(device).second || depth > 4) return;
  std::string base = sysBlockPath(sysRoot, device);
  for (const std::string& name : sysfs::listFolder(base)) {
    std::string sub = base + "/" + name;
    if (!sysfs::exists(sub + "/partition")) continue;
    dev_t part;
    if (sysfs::parseDeviceNumber(sysfs::readFile(sub + "/dev"), part)) addWithDependents(sysRoot, part, out, depth + 1);
  }
  for (const std::string& name : sysfs::listFolder(base + "/holders")) {
    dev_t holder;
    if (sysfs::parseDeviceNumber(sysfs::readFile(sysRoot + "/class/block/" + name + "/dev"), holder))
      addWithDependents(sysRoot, holder, out, depth + 1);
  }
}

bool fill(const struct stat& st, MediumIdentity& identity, const std::string& sysRoot) {
  identity.known = true;
  identity.device = st.st_dev;
  identity.inode = st.st_ino;
  identity.blockDevice = S_ISBLK(st.st_mode);
  identity.rdev = identity.blockDevice ? st.st_rdev : 0;
  identity.devices = devicesOfMedium(identity, sysRoot);
  if (!identity.devices.empty()) identity.mounts = mountEntriesOf(readMountTable());
  return true;
}

}  // namespace

std::vector<dev_t> devicesOnDevice(dev_t device, const std::string& sysRoot) {
  std::set<dev_t> devices;
  addWithDependents(sysRoot, device, devices, 0);
  return std::vector<dev_t>(devices.begin(), devices.end());
}

std::vector<dev_t> devicesOfMedium(const MediumIdentity& medium, const std::string& sysRoot) {
  if (!medium.known) return {};
  if (medium.blockDevice) return devicesOnDevice(medium.rdev, sysRoot);
  // An image file may be attached to loop devices (and mounted from there).
  std::set<dev_t> devices;
  for (const std::string& name : sysfs::listFolder(sysRoot + "/block")) {
    if (name.compare(0, 4, "loop") != 0) continue;
    std::string backing = sysfs::readFile(sysRoot + "/block/" + name + "/loop/backing_file");
    while (!backing.empty() && backing.back() == '\n') backing.pop_back();
    if (backing.empty()) continue;
    struct stat st;
    if (stat(backing.c_str(), &st) != 0 || st.st_dev != medium.device || st.st_ino != medium.inode) continue;
    dev_t loop;
    if (sysfs::parseDeviceNumber(sysfs::readFile(sysRoot + "/block/" + name + "/dev"), loop))
      addWithDependents(sysRoot, loop, devices, 0);
  }
  return std::vector<dev_t>(devices.begin(), devices.end());
}

bool identifyMedium(const std::string& path, MediumIdentity& identity, const std::string& sysRoot) {
  identity = MediumIdentity();
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  return fill(st, identity, sysRoot);
}

bool identifyOpenMedium(int fd, MediumIdentity& identity, const std::string& sysRoot) {
  identity = MediumIdentity();
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) return false;
  return fill(st, identity, sysRoot);
}
