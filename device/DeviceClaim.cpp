// Unmounting and the exclusive write claim.

#include "device/DeviceClaim.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "device/MediumPlacement.h"
#include "device/MountTable.h"
#include "shell/DebugLog.h"

namespace {

DeviceClaim::Result resultOf(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return DeviceClaim::NoPermission;
    case EROFS:
      return DeviceClaim::WriteProtected;
    case EBUSY:
      return DeviceClaim::InUse;
    default:
      return DeviceClaim::CannotOpen;
  }
}

}  // namespace

bool DeviceClaim::writeProtected(const std::string& node) {
  ReaderDevice probe;
  return probe.open(node.c_str(), ReaderDevice::ForReading) && probe.writeProtected();
}

DeviceClaim::Result DeviceClaim::claim(const std::string& node, std::string* detail) {
  release();
  ReaderDevice probe;
  if (!probe.open(node.c_str(), ReaderDevice::ForReading)) {
    if (detail) *detail = strerror(probe.lastError());
    return resultOf(probe.lastError());
  }
  if (probe.writeProtected()) {
    dlog() << "DeviceClaim(52): " << node << "\n";
    return WriteProtected;
  }
  struct stat st;
  if (fstat(probe.fd(), &st) != 0) {
    if (detail) *detail = strerror(errno);
    return CannotOpen;
  }
  probe.close();
  // Deepest mount points first, so that nested mounts come off in order.
  std::vector<MountRecord> mounts = mountsOn(readMountTable(), devicesOnDevice(st.st_rdev, sysRoot_));
  std::sort(mounts.begin(), mounts.end(),
            [](const MountRecord& a, const MountRecord& b) { return a.mountPoint.size() > b.mountPoint.size(); });
  for (const MountRecord& mount : mounts) {
    std::string reason;
    if (!unmountPoint(mount.mountPoint, &reason)) {
      if (detail) *detail = mount.mountPoint + ": " + reason;
      return InUse;
    }
    dlog() << "DeviceClaim(72): " << mount.mountPoint << "\n";
  }
  if (!device_.open(node.c_str(), ReaderDevice::ForWriting)) {
    if (detail) *detail = strerror(device_.lastError());
    return resultOf(device_.lastError());
  }
  return Claimed;
}

bool DeviceClaim::release() {
  if (device_.fd() < 0) return true;
  bool ok = !device_.writable() || device_.flush();
  device_.close();
  return ok;
}
