#include "fat/FileSystemModules.h"

#include <memory>

#include "engine/FileModuleRegistry.h"
#include "engine/modules/FileModuleRiff.h"
#include "fat/FileModuleBootSector.h"
#include "fat/FileModuleRiffLocal.h"
#include "fat/FileModuleSubdirectory.h"

void registerFileSystemModules(FileModuleRegistry& registry, FileCase* fileCase) {
  registry.add("BootSector", std::make_shared<FileModuleBootSector>(fileCase));
  registry.add("Subdirectory", std::make_shared<FileModuleSubdirectory>(fileCase));
  registry.add("RiffLocal", std::make_shared<FileModuleRiffLocal>());
  // The RIFF names, so that the pattern files can name them whatever the
  // format table of the registry holds.
  auto riff = std::make_shared<FileModuleRiff>();
  for (const char* name : {"riff", "avi", "wav", "rmi", "ani"}) registry.add(name, riff);
}
