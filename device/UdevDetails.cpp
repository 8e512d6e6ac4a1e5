// What the udev database adds to the sysfs facts of a device.

#include <libudev.h>

#include <string>

#include "device/BlockDevices.h"

namespace {

std::string property(struct udev_device* device, const char* key) {
  const char* value = device ? udev_device_get_property_value(device, key) : nullptr;
  return value ? value : "";
}

}  // namespace

void addUdevDetails(DeviceInfo& info) {
  struct udev* udev = udev_new();
  if (!udev) return;
  struct udev_device* disk = udev_device_new_from_subsystem_sysname(udev, "block", info.name.c_str());
  if (disk) {
    if (const char* node = udev_device_get_devnode(disk)) info.node = node;
    // Decoded from the device's own descriptors by udev's rules; sysfs has
    // no serial number for ATA and USB disks.
    std::string model = property(disk, "ID_MODEL");
    if (!model.empty() && info.model.empty()) info.model = model;
    std::string revision = property(disk, "ID_REVISION");
    if (!revision.empty() && info.revision.empty()) info.revision = revision;
    std::string serial = property(disk, "ID_SERIAL_SHORT");
    if (!serial.empty()) info.serial = serial;
    // The controller's name from the hardware database, where it is known.
    for (struct udev_device* parent = udev_device_get_parent(disk); parent;
         parent = udev_device_get_parent(parent)) {
      std::string name = property(parent, "ID_MODEL_FROM_DATABASE");
      if (name.empty()) continue;
      if (info.busType != "USB") {
        std::string vendor = property(parent, "ID_VENDOR_FROM_DATABASE");
        info.parentDescription = vendor.empty() ? name : vendor + " " + name;
      }
      break;
    }
    std::string path = property(disk, "ID_PATH");
    if (!path.empty() && info.parentLocation.empty()) info.parentLocation = path;
    udev_device_unref(disk);
  }
  udev_unref(udev);
}
