// What a medium is on this system, so that nothing is ever written onto it.
//
// A plain record: the platform layer (device/) fills it from stat, sysfs
// and the mount table; the destination guard of the recovery reads it.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// One mounted file system.
struct MountEntry {
  dev_t device = 0;        // the block device it lives on
  std::string mountPoint;  // absolute, escapes decoded
};

struct MediumIdentity {
  bool known = false;
  dev_t device = 0;  // st_dev of the medium's file or device node
  ino_t inode = 0;   // st_ino
  bool blockDevice = false;
  dev_t rdev = 0;  // the device number, for a block device
  // The block devices whose file systems belong to the medium (a device,
  // its partitions and what is stacked on them; for an image file, the
  // loop devices backed by it), and the mounts of the system as they were
  // when the medium was identified.
  std::vector<dev_t> devices;
  std::vector<MountEntry> mounts;
};
