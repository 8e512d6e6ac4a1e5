// Device records: the ConfigRecord form of a device (the media record of
// the chosen medium, and the lines of "mzk-recover --devices"), and the
// "Allowed Bus Types" filter of the device list.
#pragma once

#include <string>
#include <vector>

#include "device/BlockDevices.h"
#include "shell/Config.h"

// "File", "Size", "Sector Size", "Model", "Revision", "Serial", "Bus Type",
// "Description", "Parent Description", "Parent Location", "Partitions"
// (the partition nodes separated by blanks) and "Write Protected" ("1").
// Keys without a value are left out, except the first three.
ConfigRecord deviceRecord(const DeviceInfo& device);
// The keys of deviceRecord in the order they are listed.
const std::vector<std::string>& deviceRecordKeys();

// The setting "Allowed Bus Types": "ALL", or bus names separated by ","
// (compared exactly, blanks included).
bool busAllowed(const std::string& allowedBusTypes, const std::string& busType);
std::vector<DeviceInfo> allowedDevices(const std::vector<DeviceInfo>& devices, const std::string& allowedBusTypes);
