#include "exfat/ExfatFamily.h"

#include <memory>

#include "engine/FileModuleRegistry.h"
#include "exfat/FileModuleExfatBootRegion.h"
#include "exfat/FileModuleExfatDirectory.h"

void registerExfatFamily(FileModuleRegistry& registry, VolumeHost* host) {
  registry.add("ExfatBootRegion", std::make_shared<FileModuleExfatBootRegion>(host));
  registry.add("ExfatDirectory", std::make_shared<FileModuleExfatDirectory>(host));
}
