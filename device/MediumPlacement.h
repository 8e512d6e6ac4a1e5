// Where a medium sits on this system: its identity by stat, the block
// devices whose file systems belong to it (from sysfs), and the mounts.
// The result feeds the destination guard of the recovery, which decides
// from these facts alone.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "media/MediumIdentity.h"

// Fills `identity` for the file or device at `path`, with its devices
// under `sysRoot` and the mounts of /proc/self/mountinfo.  False (identity
// unknown) when the path cannot be examined.
bool identifyMedium(const std::string& path, MediumIdentity& identity, const std::string& sysRoot = "/sys");
// The same for an open descriptor: what was opened, even when the path has
// been replaced since.
bool identifyOpenMedium(int fd, MediumIdentity& identity, const std::string& sysRoot = "/sys");

// The block devices whose file systems belong to the medium: for a block
// device, itself, its partitions and the devices stacked on them (device
// mapper, md); for an image file, the loop devices backed by it and theirs.
std::vector<dev_t> devicesOfMedium(const MediumIdentity& medium, const std::string& sysRoot = "/sys");

// The block device itself, its partitions and what is stacked on them.
std::vector<dev_t> devicesOnDevice(dev_t device, const std::string& sysRoot = "/sys");
