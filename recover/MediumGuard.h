// Keeps recovered files off the medium they come from.
//
// A destination is refused when it is the medium itself (same device and
// inode), when it lies on a file system of the medium (for a block device:
// the device, its partitions and what is stacked on them; for an image
// file: the loop devices backed by it and their partitions), or under a
// mount point of one of those devices.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct MediumIdentity {
  bool known = false;
  dev_t device = 0;      // st_dev of the medium's file or device node
  ino_t inode = 0;       // st_ino
  bool blockDevice = false;
  dev_t rdev = 0;        // the device number, for a block device
};

// False (identity unknown) when the path cannot be examined.
bool identifyMedium(const std::string& path, MediumIdentity& identity);
// The identity of an open descriptor: what was opened, even when the path
// has been replaced since.
bool identifyOpenMedium(int fd, MediumIdentity& identity);
MediumIdentity mediumIdentityOf(dev_t device, ino_t inode);

struct MountEntry {
  dev_t device = 0;
  std::string mountPoint;
};

// The lines of /proc/self/mountinfo: field 3 "major:minor", field 5 the
// mount point with octal escapes ("\040" for a space) decoded.  Lines that
// do not parse are skipped.
std::vector<MountEntry> parseMountInfo(const std::string& text);

// True when `path` is `folder` or lies below it (component-wise; both
// absolute and normalised).
bool pathIsUnder(const std::string& path, const std::string& folder);

// The block devices whose file systems belong to the medium.  `sysRoot` is
// the root of the sysfs tree ("/sys").
std::vector<dev_t> devicesOfMedium(const MediumIdentity& medium, const std::string& sysRoot = "/sys");

// The longest existing prefix of `path`, made absolute and resolved.
std::string existingAncestor(const std::string& path);

// True when writing at `path` (a file or folder, existing or still to be
// created) would write to the medium; `why` gets a one-line reason.
bool destinationOnMedium(const std::string& path, const MediumIdentity& medium, std::string* why);
// The same with the medium's devices and the mount table given.
bool destinationOnDevices(const std::string& path, const MediumIdentity& medium,
                          const std::vector<dev_t>& devices, const std::vector<MountEntry>& mounts,
                          std::string* why);
