// Module names of the pattern files.

#include "engine/FileModuleRegistry.h"

#include "engine/modules/FileModuleJpeg.h"
#include "engine/modules/FileModuleRiff.h"
#include "engine/modules/FileModuleRiffLocal.h"

FileModuleRegistry::FileModuleRegistry() {
  // The one table of format modules: a new module is added here, under all
  // of its names (names sharing a line share one stateless instance).
  add("jpeg", std::make_shared<FileModuleJpeg>());
  auto riff = std::make_shared<FileModuleRiff>();
  for (const char* name : {"riff", "avi", "wav", "rmi", "ani"}) add(name, riff);
  // Modules that only "FsScanner.cfg" names.
  add("RiffLocal", std::make_shared<FileModuleRiffLocal>());
}

void FileModuleRegistry::add(const std::string& name, std::shared_ptr<FileModule> module) {
  modules_[name] = std::move(module);
}

FileModule* FileModuleRegistry::findModule(const std::string& name) const {
  auto it = modules_.find(name);
  return it == modules_.end() ? nullptr : it->second.get();
}
