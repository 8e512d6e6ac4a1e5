// Is a destination on the medium being recovered?

#include "recover/MediumGuard.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

MediumIdentity mediumIdentityOf(dev_t device, ino_t inode) {
  MediumIdentity identity;
  identity.known = true;
  identity.device = device;
  identity.inode = inode;
  return identity;
}

bool pathIsUnder(const std::string& path, const std::string& folder) {
  if (folder == "/") return !path.empty() && path[0] == '/';
  if (path.compare(0, folder.size(), folder) != 0) return false;
  return path.size() == folder.size() || path[folder.size()] == '/';
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
  return destinationOnDevices(path, medium, medium.devices, medium.mounts, why);
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
