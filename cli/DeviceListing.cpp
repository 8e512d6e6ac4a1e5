// The device listing of mzk-recover.

#include "cli/DeviceListing.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/RecoverCommand.h"
#include "device/DeviceRecords.h"
#include "shell/Config.h"

std::string deviceListing(const std::vector<DeviceInfo>& devices) {
  std::string text;
  for (const DeviceInfo& device : devices) {
    if (!text.empty()) text += "\n";
    ConfigRecord record = deviceRecord(device);
    for (const std::string& key : deviceRecordKeys()) {
      std::string value;
      if (!record.get(key, value)) continue;
      // One line per key, whatever the device calls itself.
      for (char& c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
      text += key + ": " + value + "\n";
    }
  }
  return text;
}

int listDeviceRecords(const std::string& programFolder) {
  ConfigRecord config;
  std::string configFile = programFolder + "/mzk.cfg";
  if (access(configFile.c_str(), F_OK) == 0 && !readConfigFile(config, configFile, '#'))
    complain("cannot read " + configFile);
  const std::string allowed = config.getString("Allowed Bus Types", "1394,USB,SD,MMC");
  std::vector<DeviceInfo> devices = allowedDevices(listDevices(), allowed);
  if (devices.empty()) complain("no devices found on the buses " + allowed + " (\"Allowed Bus Types\" in " + configFile + ")");
  fputs(deviceListing(devices).c_str(), stdout);
  if (fflush(stdout) != 0 || ferror(stdout)) {
    complain(std::string("cannot write the list: ") + strerror(errno));
    return kExitEnvironment;
  }
  return kExitDone;
}
