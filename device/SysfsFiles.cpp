// Bounded readers of the kernel's text files.

#include "device/SysfsFiles.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace sysfs {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string();
  std::string text;
  char buffer[4096];
  // Bounded: attributes and mountinfo are small; a runaway file is cut.
  while (in && text.size() < (1u << 24)) {
    in.read(buffer, sizeof buffer);
    text.append(buffer, static_cast<size_t>(in.gcount()));
  }
  return text;
}

std::string readLine(const std::string& path) {
  std::string text = readFile(path);
  size_t end = text.find('\n');
  if (end != std::string::npos) text.resize(end);
  size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

uint64_t readNumber(const std::string& path, uint64_t fallback) {
  std::string text = readLine(path);
  if (text.empty() || text.size() > 20) return fallback;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return fallback;
    unsigned digit = static_cast<unsigned>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return fallback;
    value = value * 10 + digit;
  }
  return value;
}

std::vector<std::string> listFolder(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (!dir) return names;
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

bool parseDeviceNumber(const std::string& text, dev_t& device) {
  unsigned major = 0, minor = 0;
  if (sscanf(text.c_str(), "%u:%u", &major, &minor) != 2) return false;
  device = makedev(major, minor);
  return true;
}

std::string linkName(const std::string& path) {
  char target[PATH_MAX];
  ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
  if (n <= 0) return std::string();
  std::string text(target, static_cast<size_t>(n));
  size_t slash = text.find_last_of('/');
  return slash == std::string::npos ? text : text.substr(slash + 1);
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace sysfs
