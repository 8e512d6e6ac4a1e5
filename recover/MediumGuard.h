// Keeps recovered files off the medium they come from.
//
// A destination is refused when it is the medium itself (same device and
// inode), when it lies on a file system of the medium (one of its block
// devices), or under a mount point of one of those devices.  The facts
// about the system come in with the MediumIdentity, gathered by the
// platform layer; everything here is decided from them and from the
// destination path alone.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "media/MediumIdentity.h"

// A known identity of an image file, without devices or mounts.
MediumIdentity mediumIdentityOf(dev_t device, ino_t inode);

// True when `path` is `folder` or lies below it (component-wise; both
// absolute and normalised).
bool pathIsUnder(const std::string& path, const std::string& folder);

// The longest existing prefix of `path`, made absolute and resolved.
std::string existingAncestor(const std::string& path);

// True when writing at `path` (a file or folder, existing or still to be
// created) would write to the medium; `why` gets a one-line reason.
// Uses the devices and mounts carried by the identity.
bool destinationOnMedium(const std::string& path, const MediumIdentity& medium, std::string* why);
// The same with the medium's devices and the mount table given.
bool destinationOnDevices(const std::string& path, const MediumIdentity& medium,
                          const std::vector<dev_t>& devices, const std::vector<MountEntry>& mounts,
                          std::string* why);
