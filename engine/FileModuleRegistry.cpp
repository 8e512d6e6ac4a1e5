// Module names of the pattern files.

#include "engine/FileModuleRegistry.h"

#include "engine/modules/FileModuleArj.h"
#include "engine/modules/FileModuleDbx.h"
#include "engine/modules/FileModuleJpeg.h"
#include "engine/modules/FileModuleLzh.h"
#include "engine/modules/FileModuleOle.h"
#include "engine/modules/FileModulePlainText.h"
#include "engine/modules/FileModuleRar.h"
#include "engine/modules/FileModuleRiff.h"
#include "engine/modules/FileModuleRiffLocal.h"
#include "engine/modules/FileModuleText.h"
#include "engine/modules/FileModuleZip.h"

FileModuleRegistry::FileModuleRegistry() {
  // The one table of format modules: a new module is added here, under all
  // of its names (names sharing a line share one stateless instance).
  add("jpeg", std::make_shared<FileModuleJpeg>());
  auto riff = std::make_shared<FileModuleRiff>();
  for (const char* name : {"riff", "avi", "wav", "rmi", "ani"}) add(name, riff);
  // Archives and documents.
  add("arj", std::make_shared<FileModuleArj>());
  add("dbx", std::make_shared<FileModuleDbx>());
  add("lzh", std::make_shared<FileModuleLzh>());
  auto ole = std::make_shared<FileModuleOle>();
  for (const char* name : {"ole", "doc", "xls", "ppt", "fla", "pub", "vsd", "mpp", "vsmacros", "rpt", "suo"})
    add(name, ole);
  add("rar", std::make_shared<FileModuleRar>());
  auto text = std::make_shared<FileModuleText>();
  for (const char* name : {"text", "html", "xml"}) add(name, text);
  add("txt", std::make_shared<FileModulePlainText>());
  add("zip", std::make_shared<FileModuleZip>());
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
