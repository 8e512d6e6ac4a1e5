// Small readers of the kernel's text files (sysfs attributes, mountinfo).
// Every reader is bounded and gives an empty result when the file is
// missing, so a device that vanishes mid-walk only drops out of the list.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace sysfs {

// The whole file, at most 16 MiB.
std::string readFile(const std::string& path);
// The first line, without the line end and surrounding blanks.
std::string readLine(const std::string& path);
// A decimal number from the first line; `fallback` when there is none.
uint64_t readNumber(const std::string& path, uint64_t fallback);
// The names in a folder, without "." and "..", sorted.
std::vector<std::string> listFolder(const std::string& path);
// "major:minor" as sysfs and mountinfo write it.
bool parseDeviceNumber(const std::string& text, dev_t& device);
// The last component of a symbolic link's target ("../../bus/usb" -> "usb"),
// empty when `path` is no link.
std::string linkName(const std::string& path);
bool exists(const std::string& path);

}  // namespace sysfs
