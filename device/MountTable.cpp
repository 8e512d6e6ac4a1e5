// Reading the mount table and unmounting.

#include "device/MountTable.h"

#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "device/SysfsFiles.h"
#include "shell/DebugLog.h"

namespace {

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

std::vector<MountRecord> parseMountInfo(const std::string& text) {
  std::vector<MountRecord> entries;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, devno, root, mountPoint;
    if (!(fields >> id >> parent >> devno >> root >> mountPoint)) continue;
    MountRecord entry;
    if (!sysfs::parseDeviceNumber(devno, entry.device)) continue;
    entry.mountPoint = decodeOctalEscapes(mountPoint);
    if (entry.mountPoint.empty() || entry.mountPoint[0] != '/') continue;
    // Optional fields up to the lone "-", then type and source.
    std::string word;
    while (fields >> word && word != "-") {
    }
    if (word == "-" && fields >> entry.fsType) {
      if (fields >> word) entry.source = decodeOctalEscapes(word);
    }
    entries.push_back(entry);
  }
  return entries;
}

void resolveMountSources(std::vector<MountRecord>& mounts) {
  for (MountRecord& mount : mounts) {
    if (mount.source.empty() || mount.source[0] != '/') continue;
    struct stat st;
    if (stat(mount.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) mount.device = st.st_rdev;
  }
}

std::vector<MountRecord> readMountTable(const std::string& path) {
  std::vector<MountRecord> mounts = parseMountInfo(sysfs::readFile(path));
  resolveMountSources(mounts);
  return mounts;
}

std::vector<MountRecord> mountsOn(const std::vector<MountRecord>& mounts, const std::vector<dev_t>& devices) {
  std::vector<MountRecord> out;
  for (const MountRecord& mount : mounts)
    for (dev_t d : devices)
      if (mount.device == d) {
        out.push_back(mount);
        break;
      }
  return out;
}

std::vector<MountEntry> mountEntriesOf(const std::vector<MountRecord>& mounts) {
  std::vector<MountEntry> out;
  for (const MountRecord& mount : mounts) out.push_back({mount.device, mount.mountPoint});
  return out;
}

bool unmountPoint(const std::string& mountPoint, std::string* error) {
  if (umount2(mountPoint.c_str(), 0) == 0) return true;
  int code = errno;
  dlog() << "MountTable(95): " << mountPoint << " " << strerror(code) << "\n";
  if (error) *error = strerror(code);
  return false;
}
