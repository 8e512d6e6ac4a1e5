// The FAT file-system family: the modules through which the sector walk
// meets FAT boot sectors ("BootSector") and subdirectory clusters
// ("Subdirectory"), bound to the file case that hosts the volumes, and the
// handler that opens a card's former volume from directory clusters no
// volume claims.
#pragma once

#include "engine/VolumeHost.h"

void registerFatFamily(FileModuleRegistry& registry, VolumeHost* host);
