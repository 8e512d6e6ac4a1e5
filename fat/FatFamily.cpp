#include "fat/FatFamily.h"

#include <memory>

#include "engine/FileModuleRegistry.h"
#include "fat/FileModuleBootSector.h"
#include "fat/FileModuleSubdirectory.h"
#include "fat/FsFatFormer.h"

void registerFatFamily(FileModuleRegistry& registry, VolumeHost* host) {
  registry.add("BootSector", std::make_shared<FileModuleBootSector>(host));
  registry.add("Subdirectory", std::make_shared<FileModuleSubdirectory>(host));
  // Directory clusters that no volume claims may prove the volume the card
  // held before it was formatted again.
  if (host) host->addUnclaimedDirectoryHandler(openFormerFatVolume);
}
