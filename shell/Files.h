// Creating output files without ever replacing one.
#pragma once

#include <string>
#include <sys/types.h>

// Creates `path` for writing; fails (-1, errno EEXIST) when anything, a
// symbolic link included, is already there.  The descriptor is close-on-exec.
int createExclusive(const std::string& path, mode_t mode = 0644);
