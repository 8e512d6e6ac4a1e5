// Walking /sys/block for the device list.

#include "device/BlockDevices.h"

#include <limits.h>
#include <stdlib.h>

#include <cctype>

#include "device/SysfsFiles.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"

namespace {

std::string parentOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joined(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + " " + b;
}

bool isAtaPort(const std::string& name) {
  if (name.size() < 4 || name.compare(0, 3, "ata") != 0) return false;
  for (size_t i = 3; i < name.size(); ++i)
    if (!isdigit(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

// The first ancestor of `from` (itself included) that has a driver bound,
// as the "attached to" of buses without a better name.
void describeController(const std::string& from, const std::string& top, DeviceInfo& info) {
  for (std::string dir = from; dir.size() > top.size(); dir = parentOf(dir)) {
    std::string driver = sysfs::linkName(dir + "/driver");
    if (driver.empty()) continue;
    info.parentDescription = driver;
    info.parentLocation = baseOf(dir);
    return;
  }
}

// Bus, identity and parent from the chain of devices above the disk.
void describeBus(const std::string& sysRoot, const std::string& block, DeviceInfo& info) {
  char resolved[PATH_MAX];
  if (!realpath((block + "/device").c_str(), resolved)) return;
  char top[PATH_MAX];
  std::string devices = realpath((sysRoot + "/devices").c_str(), top) ? std::string(top) : sysRoot + "/devices";
  const std::string start = resolved;
  // SCSI disks (USB, ATA and card readers included) describe themselves
  // in the device folder; elsewhere "vendor" may be a number.
  const bool scsi = sysfs::linkName(start + "/subsystem") == "scsi";
  if (scsi) {
    info.vendor = sysfs::readLine(start + "/vendor");
    info.model = sysfs::readLine(start + "/model");
    info.revision = sysfs::readLine(start + "/rev");
  }
  for (std::string dir = start; dir.size() > devices.size(); dir = parentOf(dir)) {
    const std::string subsystem = sysfs::linkName(dir + "/subsystem");
    if (subsystem == "usb") {
      info.busType = "USB";
      // The interface hangs below the USB device, which carries the names.
      std::string usb = sysfs::exists(dir + "/idVendor") ? dir : parentOf(dir);
      std::string name = joined(sysfs::readLine(usb + "/manufacturer"), sysfs::readLine(usb + "/product"));
      if (name.empty())
        name = format(_("USB device %1:%2"), sysfs::readLine(usb + "/idVendor"), sysfs::readLine(usb + "/idProduct"));
      info.parentDescription = name;
      info.parentLocation =
          format(_("USB bus %1, port %2"), sysfs::readLine(usb + "/busnum"), sysfs::readLine(usb + "/devpath"));
      if (info.serial.empty()) info.serial = sysfs::readLine(usb + "/serial");
      return;
    }
    if (subsystem == "mmc") {
      // The card: "SD" or "MMC" by its type; its controller is the parent.
      info.busType = sysfs::readLine(dir + "/type") == "MMC" ? "MMC" : "SD";
      info.model = sysfs::readLine(dir + "/name");
      info.serial = sysfs::readLine(dir + "/serial");
      info.revision = sysfs::readLine(dir + "/fwrev");
      describeController(parentOf(dir), devices, info);
      return;
    }
    if (subsystem == "firewire" || subsystem == "ieee1394") {
      info.busType = "1394";
      describeController(dir, devices, info);
      return;
    }
    if (subsystem == "nvme") {
      info.busType = "NVMe";
      info.model = sysfs::readLine(dir + "/model");
      info.serial = sysfs::readLine(dir + "/serial");
      info.revision = sysfs::readLine(dir + "/firmware_rev");
      describeController(parentOf(dir), devices, info);
      return;
    }
    if (subsystem == "virtio") {
      info.busType = "Virtio";
      info.serial = sysfs::readLine(block + "/serial");
      describeController(parentOf(dir), devices, info);
      return;
    }
    if (isAtaPort(baseOf(dir))) {
      info.busType = "ATA";
      describeController(parentOf(dir), devices, info);
      return;
    }
  }
  if (scsi) {
    info.busType = "SCSI";
    describeController(parentOf(start), devices, info);
  }
}

void addPartitions(const std::string& block, const std::string& devRoot, DeviceInfo& info) {
  for (const std::string& name : sysfs::listFolder(block)) {
    const std::string dir = block + "/" + name;
    if (!sysfs::exists(dir + "/partition")) continue;
    PartitionInfo part;
    part.name = name;
    part.node = devRoot + "/" + name;
    if (!sysfs::parseDeviceNumber(sysfs::readFile(dir + "/dev"), part.device)) continue;
    // sysfs counts in units of 512 bytes whatever the sector size.
    part.start = sysfs::readNumber(dir + "/start", 0) * 512;
    part.size = sysfs::readNumber(dir + "/size", 0) * 512;
    info.partitions.push_back(part);
  }
}

}  // namespace

std::vector<DeviceInfo> listDevices(const std::string& sysRoot, const std::string& devRoot) {
  std::vector<DeviceInfo> list;
  for (const std::string& name : sysfs::listFolder(sysRoot + "/block")) {
    const std::string block = sysRoot + "/block/" + name;
    const bool loop = name.compare(0, 4, "loop") == 0;
    // Hardware disks have a device behind them; RAM disks, zram, device
    // mapper and md have none and are no media to recover.
    if (!loop && !sysfs::exists(block + "/device")) continue;
    DeviceInfo info;
    info.name = name;
    info.node = devRoot + "/" + name;
    if (!sysfs::parseDeviceNumber(sysfs::readFile(block + "/dev"), info.device)) {
      dlog() << "BlockDevices(160): " << name << "\n";
      continue;
    }
    info.size = sysfs::readNumber(block + "/size", 0) * 512;
    info.sectorSize = sysfs::readNumber(block + "/queue/logical_block_size", 512);
    if (info.size == 0 || info.sectorSize == 0 || info.size % info.sectorSize != 0) {
      dlog() << "BlockDevices(166): " << name << " " << info.size << " " << info.sectorSize << "\n";
      continue;
    }
    info.writeProtected = sysfs::readNumber(block + "/ro", 0) != 0;
    info.removable = sysfs::readNumber(block + "/removable", 0) != 0;
    if (loop) {
      info.busType = "Loop";
      std::string backing = sysfs::readFile(block + "/loop/backing_file");
      while (!backing.empty() && backing.back() == '\n') backing.pop_back();
      info.parentDescription = backing;
    } else {
      describeBus(sysRoot, block, info);
    }
    addPartitions(block, devRoot, info);
    if (sysRoot == "/sys") addUdevDetails(info);
    dlog() << "BlockDevices(180): " << info.node << " " << info.size << " " << info.sectorSize << " "
           << info.busType << "\n";
    list.push_back(info);
  }
  return list;
}

std::string deviceDescription(const DeviceInfo& device) {
  std::string name = joined(device.vendor, device.model);
  if (name.empty()) {
    if (device.busType == "Loop")
      name = _("Loop device");
    else if (device.busType == "SD")
      name = _("SD card");
    else if (device.busType == "MMC")
      name = _("MMC card");
    else
      name = _("Disk");
  }
  return name + " (" + device.node + ")";
}
