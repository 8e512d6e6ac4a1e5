// A file case over a medium, scanned the way the program scans a card: with
// the program's own pattern files (those of the build's program folder)
// and every file-system family.
#pragma once

#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "engine/ScanRun.h"
#include "shell/Config.h"

namespace mzktest {

// "Program Path" set to the build's program folder.
ConfigRecord programConfig();

class ScannedCase {
 public:
  // No medium yet: give one to fileCase() and let the modules meet it.
  ScannedCase();
  // Takes the reader and scans it.
  explicit ScannedCase(Reader* medium);
  // An image file; opened() tells whether it could be read.
  explicit ScannedCase(const std::string& path);

  bool opened() const { return opened_; }
  FileCase& fileCase() { return fileCase_; }
  const ScanReport& report() const { return report_; }
  // The found file whose "fn" is `name`, or null.
  const FileModule::File* byName(const std::string& name) const;
  // The "fn" of every found file that has one, in the order found.
  std::vector<std::string> names() const;
  // The whole file read through the case; false when it cannot be read.
  bool readBack(const FileModule::File& file, std::string& bytes);

 private:
  void scan(Reader* medium);

  ConfigRecord config_;
  FileCase fileCase_;
  ScanReport report_;
  bool opened_ = false;
};

}  // namespace mzktest
