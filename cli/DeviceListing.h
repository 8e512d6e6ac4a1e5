// "mzk-recover --devices": the device records that the selection window
// of the mzk program lists, as blocks of "Key: value" lines.
#pragma once

#include <string>
#include <vector>

#include "device/BlockDevices.h"

// The text of the listing: one block per device, blank lines between.
std::string deviceListing(const std::vector<DeviceInfo>& devices);

// Lists the devices on the buses that "Allowed Bus Types" of
// programFolder/mzk.cfg allows; the exit status.
int listDeviceRecords(const std::string& programFolder);
