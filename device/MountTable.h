// The mount table of the system (/proc/self/mountinfo) and unmounting.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "media/MediumIdentity.h"

struct MountRecord {
  dev_t device = 0;        // field 3, "major:minor" (see resolveMountSources)
  std::string mountPoint;  // field 5, octal escapes ("\040") decoded
  std::string fsType;      // after the " - " separator
  std::string source;      // the mount source, escapes decoded
};

// The lines of a mountinfo text.  Lines that do not parse, or whose mount
// point is not absolute, are skipped.
std::vector<MountRecord> parseMountInfo(const std::string& text);

// A FUSE file system (fusefat, ntfs-3g mounted as "fuse") gets a device
// number of its own; its source names the block device it lives on.  Such
// mounts take the device number of a source that is a block device node.
void resolveMountSources(std::vector<MountRecord>& mounts);

// /proc/self/mountinfo, parsed and resolved; empty when it cannot be read.
std::vector<MountRecord> readMountTable(const std::string& path = "/proc/self/mountinfo");

// The mounts whose device is one of `devices`, in table order.
std::vector<MountRecord> mountsOn(const std::vector<MountRecord>& mounts, const std::vector<dev_t>& devices);

// The records as the destination guard takes them.
std::vector<MountEntry> mountEntriesOf(const std::vector<MountRecord>& mounts);

// Unmounts `mountPoint` (no lazy detach: a file system that is in use stays
// and false is returned with the system's reason in `error`).
bool unmountPoint(const std::string& mountPoint, std::string* error);
