#include "fat/FatFamily.h"

#include <memory>

#include "engine/FileModuleRegistry.h"
#include "fat/FileModuleBootSector.h"
#include "fat/FileModuleSubdirectory.h"

void registerFatFamily(FileModuleRegistry& registry, VolumeHost* host) {
  registry.add("BootSector", std::make_shared<FileModuleBootSector>(host));
  registry.add("Subdirectory", std::make_shared<FileModuleSubdirectory>(host));
}
