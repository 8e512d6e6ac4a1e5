// Device records and the bus-type filter.

#include "device/DeviceRecords.h"

#include "shell/Format.h"

ConfigRecord deviceRecord(const DeviceInfo& device) {
  ConfigRecord record;
  record.set("File", device.node);
  record.set("Size", static_cast<int64_t>(device.size));
  record.set("Sector Size", static_cast<int64_t>(device.sectorSize));
  std::string partitions;
  for (const PartitionInfo& part : device.partitions) partitions += (partitions.empty() ? "" : " ") + part.node;
  const std::pair<const char*, std::string> optional[] = {
      {"Model", device.model},
      {"Revision", device.revision},
      {"Serial", device.serial},
      {"Bus Type", device.busType},
      {"Description", deviceDescription(device)},
      {"Parent Description", device.parentDescription},
      {"Parent Location", device.parentLocation},
      {"Partitions", partitions},
      {"Write Protected", device.writeProtected ? "1" : ""}};
  for (const auto& item : optional)
    if (!item.second.empty()) record.set(item.first, item.second);
  return record;
}

const std::vector<std::string>& deviceRecordKeys() {
  static const std::vector<std::string> keys = {
      "File",        "Size",        "Sector Size",        "Model",           "Revision",   "Serial",
      "Bus Type",    "Description", "Parent Description", "Parent Location", "Partitions", "Write Protected"};
  return keys;
}

bool busAllowed(const std::string& allowedBusTypes, const std::string& busType) {
  if (allowedBusTypes == "ALL") return true;
  std::vector<std::string> pieces;
  split(allowedBusTypes, ',', pieces);
  for (const std::string& piece : pieces)
    if (piece == busType) return true;
  return false;
}

std::vector<DeviceInfo> allowedDevices(const std::vector<DeviceInfo>& devices, const std::string& allowedBusTypes) {
  std::vector<DeviceInfo> out;
  for (const DeviceInfo& device : devices)
    if (busAllowed(allowedBusTypes, device.busType)) out.push_back(device);
  return out;
}
