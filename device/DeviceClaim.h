// Claims a device for a write command (restore, erase, format).
//
// The file systems on the device and its partitions are unmounted, then
// the device is opened for writing with an exclusive claim: the kernel
// refuses it while anything else holds the device, and nobody can mount it
// while the claim lasts.  A write-protected device is refused before
// anything is unmounted.  The claim ends with release() or the object.
#pragma once

#include <string>

#include "device/ReaderDevice.h"

class DeviceClaim {
 public:
  enum Result { Claimed, WriteProtected, NoPermission, InUse, CannotOpen };

  explicit DeviceClaim(const std::string& sysRoot = "/sys") : sysRoot_(sysRoot) {}
  ~DeviceClaim() { release(); }
  DeviceClaim(const DeviceClaim&) = delete;
  DeviceClaim& operator=(const DeviceClaim&) = delete;

  // `detail` gets the mount point that could not be unmounted or the
  // system's reason.
  Result claim(const std::string& node, std::string* detail);
  ReaderDevice& device() { return device_; }
  bool claimed() const { return device_.writable(); }
  // Writes back what the kernel holds and closes; false when the write-back
  // failed (the medium may not hold everything that was written).
  bool release();

  // Is the device marked read-only?  Opens it for reading only; false
  // when it cannot be opened.
  static bool writeProtected(const std::string& node);

 private:
  std::string sysRoot_;
  ReaderDevice device_;
};
