// Is a destination on the medium being recovered?

#include "recover/MediumGuard.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "shell/DebugLog.h"

namespace {

std::string readSmallFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string();
  std::string text;
  char buffer[4096];
  // Bounded: sysfs attributes and mountinfo are small; a runaway file is cut.
  while (in && text.size() < (1u << 24)) {
    in.read(buffer, sizeof buffer);
    text.append(buffer, static_cast<size_t>(in.gcount()));
  }
  return text;
}

bool parseDeviceNumber(const std::string& text, dev_t& device) {
  unsigned major = 0, minor = 0;
  char extra = 0;
  if (sscanf(text.c_str(), "%u:%u%c", &major, &minor, &extra) < 2) return false;
  device = makedev(major, minor);
  return true;
}

std::string sysBlockPath(const std::string& sysRoot, dev_t device) {
  return sysRoot + "/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
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
  return names;
}

// The device, its partitions and the devices stacked on any of them
// (device mapper, md), a few levels deep.
void addWithDependents(const std::string& sysRoot, dev_t device, std::set<dev_t>& out, int depth) {
  if (!out.insert(device).second || depth > 4) return;
  std::string base = sysBlockPath(sysRoot, device);
  for (const std::string& name : listFolder(base)) {
    std::string sub = base + "/" + name;
    struct stat st;
    if (stat((sub + "/partition").c_str(), &st) != 0) continue;
    dev_t part;
    if (parseDeviceNumber(readSmallFile(sub + "/dev"), part)) addWithDependents(sysRoot, part, out, depth + 1);
  }
  for (const std::string& name : listFolder(base + "/holders")) {
    dev_t holder;
    if (parseDeviceNumber(readSmallFile(sysRoot + "/class/block/" + name + "/dev"), holder))
      addWithDependents(sysRoot, holder, out, depth + 1);
  }
}

std::string trimLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::string decodeOctalEscapes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && text.size() - i >= 4) {
      const char* d = text.c_str() + i + 1;
      if (d[0] >= '0' && d[0] <= '3' && d[1] >= '0' && d[1] <= '7' && d[2] >= '0' && d[2] <= '7') {
        out += static_cast<char>((d[0] - '0') * 64 + (d[1] - '0') * 8 + (d[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

namespace {

bool identityOfStat(const struct stat& st, MediumIdentity& identity) {
  identity.known = true;
  identity.device = st.st_dev;
  identity.inode = st.st_ino;
  identity.blockDevice = S_ISBLK(st.st_mode);
  identity.rdev = identity.blockDevice ? st.st_rdev : 0;
  return true;
}

}  // namespace

bool identifyMedium(const std::string& path, MediumIdentity& identity) {
  identity = MediumIdentity();
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  return identityOfStat(st, identity);
}

bool identifyOpenMedium(int fd, MediumIdentity& identity) {
  identity = MediumIdentity();
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) return false;
  return identityOfStat(st, identity);
}

MediumIdentity mediumIdentityOf(dev_t device, ino_t inode) {
  MediumIdentity identity;
  identity.known = true;
  identity.device = device;
  identity.inode = inode;
  return identity;
}

std::vector<MountEntry> parseMountInfo(const std::string& text) {
  std::vector<MountEntry> entries;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, devno, root, mountPoint;
    if (!(fields >> id >> parent >> devno >> root >> mountPoint)) continue;
    MountEntry entry;
    if (!parseDeviceNumber(devno, entry.device)) continue;
    entry.mountPoint = decodeOctalEscapes(mountPoint);
    if (entry.mountPoint.empty() || entry.mountPoint[0] != '/') continue;
    entries.push_back(entry);
  }
  return entries;
}

bool pathIsUnder(const std::string& path, const std::string& folder) {
  if (folder == "/") return !path.empty() && path[0] == '/';
  if (path.compare(0, folder.size(), folder) != 0) return false;
  return path.size() == folder.size() || path[folder.size()] == '/';
}

std::vector<dev_t> devicesOfMedium(const MediumIdentity& medium, const std::string& sysRoot) {
  std::set<dev_t> devices;
  if (!medium.known) return {};
  if (medium.blockDevice) {
    addWithDependents(sysRoot, medium.rdev, devices, 0);
  } else {
    // An image file may be attached to loop devices (and mounted from there).
    for (const std::string& name : listFolder(sysRoot + "/block")) {
      if (name.compare(0, 4, "loop") != 0) continue;
      std::string backing = trimLine(readSmallFile(sysRoot + "/block/" + name + "/loop/backing_file"));
      if (backing.empty()) continue;
      struct stat st;
      if (stat(backing.c_str(), &st) != 0 || st.st_dev != medium.device || st.st_ino != medium.inode) continue;
      dev_t loop;
      if (parseDeviceNumber(readSmallFile(sysRoot + "/block/" + name + "/dev"), loop))
        addWithDependents(sysRoot, loop, devices, 0);
    }
  }
  return std::vector<dev_t>(devices.begin(), devices.end());
}

std::string existingAncestor(const std::string& path) {
  std::string p = path.empty() ? "." : path;
  if (p[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) p = std::string(cwd) + "/" + p;
  }
  for (;;) {
    char resolved[PATH_MAX];
    if (realpath(p.c_str(), resolved)) return resolved;
    size_t slash = p.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    p.resize(slash);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
  }
}

bool destinationOnMedium(const std::string& path, const MediumIdentity& medium, std::string* why) {
  if (!medium.known) return false;
  std::vector<dev_t> devices = devicesOfMedium(medium);
  std::vector<MountEntry> mounts;
  if (!devices.empty()) mounts = parseMountInfo(readSmallFile("/proc/self/mountinfo"));
  return destinationOnDevices(path, medium, devices, mounts, why);
}

bool destinationOnDevices(const std::string& path, const MediumIdentity& medium,
                          const std::vector<dev_t>& devices, const std::vector<MountEntry>& mounts,
                          std::string* why) {
  if (!medium.known) return false;
  std::string existing = existingAncestor(path);
  struct stat st;
  if (stat(existing.c_str(), &st) != 0) return false;
  if ((st.st_dev == medium.device && st.st_ino == medium.inode) ||
      (medium.blockDevice && S_ISBLK(st.st_mode) && st.st_rdev == medium.rdev)) {
    if (why) *why = existing + " is the medium being recovered";
    return true;
  }
  for (dev_t d : devices) {
    if (st.st_dev == d) {
      if (why) *why = existing + " lies on a file system of the medium being recovered";
      return true;
    }
  }
  for (const MountEntry& mount : mounts) {
    bool ofMedium = false;
    for (dev_t d : devices) ofMedium = ofMedium || mount.device == d;
    if (ofMedium && pathIsUnder(existing, mount.mountPoint)) {
      if (why) *why = existing + " lies under " + mount.mountPoint + ", a mount point of the medium being recovered";
      return true;
    }
  }
  return false;
}
