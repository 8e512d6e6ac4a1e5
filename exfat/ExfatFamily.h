// The exFAT file-system family: the modules through which the sector walk
// meets exFAT boot regions ("ExfatBootRegion") and directory clusters
// ("ExfatDirectory"), bound to the file case that hosts the volumes.
#pragma once

#include "engine/VolumeHost.h"

void registerExfatFamily(FileModuleRegistry& registry, VolumeHost* host);
