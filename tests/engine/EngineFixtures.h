// Helpers of the engine tests: a module whose answers are set by the test,
// and JPEGs made by ImageMagick.
#pragma once

#include <cstdint>
#include <string>

#include "engine/FileModule.h"
#include "media/Reader.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

// Answers scan() with scanResult; analyze() finds a file of `type` and
// `size` (cut to the reader) unless analyzeResult is false.  Counts calls.
class ScriptedModule : public FileModule {
 public:
  bool scan(const uint8_t* sector, uint32_t length) override {
    ++scans;
    return scanResult;
  }
  bool analyze(Reader& reader, File& file) override {
    ++analyses;
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
};

// The bytes of `convert <args> x.jpg`; empty when ImageMagick fails.
inline std::string makeJpeg(const mzktest::TempDir& dir, const std::string& args) {
  if (!mzktest::sh("convert " + args + " " + mzktest::quote(dir.file("x.jpg")))) return std::string();
  return mzktest::readFile(dir.file("x.jpg"));
}
