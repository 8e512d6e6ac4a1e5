// Module names of the pattern files, mapped to shared module instances.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "engine/FileModule.h"

class FileModuleRegistry {
 public:
  // Registers every format module under its names.
  FileModuleRegistry();
  // Enters or replaces `name`.
  void add(const std::string& name, std::shared_ptr<FileModule> module);
  FileModule* findModule(const std::string& name) const;
  const std::map<std::string, std::shared_ptr<FileModule>>& modules() const { return modules_; }

 private:
  std::map<std::string, std::shared_ptr<FileModule>> modules_;
};
