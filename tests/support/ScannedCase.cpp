#include "tests/support/ScannedCase.h"

#include "filesystems/FileSystems.h"
#include "media/ReaderFile.h"

namespace mzktest {

ConfigRecord programConfig() {
  ConfigRecord config;
  config.set("Program Path", MZK_APP_DIR);
  return config;
}

ScannedCase::ScannedCase() : config_(programConfig()), fileCase_(config_, allFileSystems()) {}

ScannedCase::ScannedCase(Reader* medium) : config_(programConfig()), fileCase_(config_, allFileSystems()) {
  scan(medium);
}

ScannedCase::ScannedCase(const std::string& path) : config_(programConfig()), fileCase_(config_, allFileSystems()) {
  auto* file = new ReaderFile();
  if (file->open(path.c_str())) {
    scan(file);
  } else {
    delete file;
  }
}

void ScannedCase::scan(Reader* medium) {
  fileCase_.setReader(medium);
  opened_ = true;
  report_ = runScan(fileCase_, config_, nullptr);
}

const FileModule::File* ScannedCase::byName(const std::string& name) const {
  for (const std::string& key : fileCase_.order()) {
    const FileModule::File* file = fileCase_.findFile(key);
    if (file->attributes.getString("fn") == name) return file;
  }
  return nullptr;
}

std::vector<std::string> ScannedCase::names() const {
  std::vector<std::string> names;
  for (const std::string& key : fileCase_.order()) {
    const FileModule::File* file = fileCase_.findFile(key);
    if (file->attributes.has("fn")) names.push_back(file->attributes.getString("fn"));
  }
  return names;
}

bool ScannedCase::readBack(const FileModule::File& file, std::string& bytes) {
  bytes.assign(file.size, '\0');
  if (file.size == 0) return true;
  Reader* reader = fileCase_.readerFor(file);
  return reader && reader->read(0, &bytes[0], file.size);
}

}  // namespace mzktest
