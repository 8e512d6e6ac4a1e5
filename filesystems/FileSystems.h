// The file-system families that media are read with: one line each.
#pragma once

#include "engine/VolumeHost.h"

FileSystemFamilies allFileSystems();
