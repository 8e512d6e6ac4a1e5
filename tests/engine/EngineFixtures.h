// Helpers of the engine tests: a private temporary folder, files in it,
// JPEGs made by ImageMagick, and a module whose answers are scripted.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/FileModule.h"
#include "media/Reader.h"
#include "tests/support/TempDir.h"

typedef mzktest::TempDir TempDir;

inline std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline bool run(const std::string& command) {
  int rc = system((command + " >/dev/null 2>&1").c_str());
  return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

// `convert <args> <dir>/<name>`; empty when ImageMagick is missing or fails.
inline std::vector<uint8_t> makeJpeg(const TempDir& dir, const std::string& args, const std::string& name) {
  if (!run("convert " + args + " '" + dir.file(name) + "'")) return {};
  return readBytes(dir.file(name));
}

// A module whose scan and analyze answers are set by the test; counts calls
// and remembers the window it was given.
class ScriptedModule : public FileModule {
 public:
  bool scan(const uint8_t* sector, uint32_t length) override {
    ++scans;
    return scanResult;
  }
  bool analyze(Reader& reader, File& file) override {
    ++analyses;
    lastReaderSize = reader.size();
    if (!analyzeResult) return false;
    file.attributes.set("t", type);
    file.size = size < reader.size() ? size : reader.size();
    size = size > shrink ? size - shrink : 0;
    return true;
  }
  bool scanResult = true;
  bool analyzeResult = true;
  std::string type = "scripted";
  uint64_t size = 1024;
  uint64_t shrink = 0;  // taken off the size after each file, so later hits end sooner
  int scans = 0;
  int analyses = 0;
  uint64_t lastReaderSize = 0;
};
