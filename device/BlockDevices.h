// The storage devices of the system: every whole disk and optical drive
// under /sys/block that has a medium in it, with what the kernel (and the
// udev database, where there is one) says about it.
//
// The sysfs root is a parameter, so that tests can walk a fake tree; with
// the real root the udev database adds what sysfs lacks (ATA serials,
// controller names).  Nothing is opened: a device that the user may not
// read is still listed, and says so only when it is opened.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

struct PartitionInfo {
  std::string name;  // "sdb1"
  std::string node;  // "/dev/sdb1"
  dev_t device = 0;
  uint64_t start = 0;  // bytes from the start of the disk
  uint64_t size = 0;   // bytes
};

struct DeviceInfo {
  std::string name;  // "sdb", "mmcblk0", "loop3"
  std::string node;  // "/dev/sdb"
  dev_t device = 0;
  uint64_t size = 0;  // bytes
  uint64_t sectorSize = 512;
  bool writeProtected = false;
  bool removable = false;
  // "USB", "SD", "MMC", "1394", "ATA", "SCSI", "NVMe", "Virtio", "Loop";
  // empty when the bus is not known.
  std::string busType;
  std::string vendor, model, revision, serial;
  std::string parentDescription, parentLocation;
  std::vector<PartitionInfo> partitions;
};

// Every whole disk whose size is not 0 (a card reader without a card is
// left out), in the order of the names under sysRoot/block.  Device nodes
// are named under devRoot.
std::vector<DeviceInfo> listDevices(const std::string& sysRoot = "/sys", const std::string& devRoot = "/dev");

// The name shown in the device list: vendor and model (or a name for the
// kind of device), then the device node.
std::string deviceDescription(const DeviceInfo& device);

// Adds what the udev database knows about the device (real sysfs only).
void addUdevDetails(DeviceInfo& device);
