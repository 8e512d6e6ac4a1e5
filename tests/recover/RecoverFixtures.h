// Helpers of the recovery tests: a private folder, a file case over an
// in-memory medium, a progress recorder.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "shell/Config.h"
#include "shell/InterfaceCallback.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/TempDir.h"

typedef mzktest::TempDir RecoverTempDir;

inline std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Bytes that differ at every position, so an off-by-one piece shows.
inline std::vector<uint8_t> patternBytes(size_t size, uint32_t seed = 1) {
  std::vector<uint8_t> bytes(size);
  uint32_t x = seed * 2654435761u + 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345;
    bytes[i] = static_cast<uint8_t>(x >> 16);
  }
  return bytes;
}

// A file case whose medium is `medium` seen through a fault injector.  The
// case reads an empty "FsScanner.cfg" from its own folder.
class CaseOverMemory {
 public:
  explicit CaseOverMemory(std::vector<uint8_t> bytes) : memory_(std::move(bytes)) {
    dir_.write("FsScanner.cfg", "");
    config_.set("Program Path", dir_.path());
    fileCase_.reset(new FileCase(config_, {}));
    faults_ = new FaultReader(&memory_);
    fileCase_->setReader(faults_);
  }
  FileCase& fileCase() { return *fileCase_; }
  FaultReader& faults() { return *faults_; }
  MemoryReader& memory() { return memory_; }

 private:
  RecoverTempDir dir_;
  ConfigRecord config_;
  MemoryReader memory_;
  FaultReader* faults_;  // owned by the case
  std::unique_ptr<FileCase> fileCase_;
};

inline FileModule::File foundFile(uint64_t offset, uint64_t size, const std::string& type = "jpeg") {
  FileModule::File file;
  file.offset = offset;
  file.size = size;
  if (!type.empty()) file.attributes.set("t", type);
  return file;
}

// Records what a worker reports; check() throws once `stopAfter` calls
// have been made.
class ProgressRecorder : public InterfaceCallback {
 public:
  void check() override {
    ++checks;
    if (checks > stopAfter) throw InterruptedException();
  }
  void setText(int line, int channel, const std::string& text) override {
    if (channel == 0 && line >= 0 && line < 3) texts[line] = text;
  }
  void setValue(int op, int channel, uint64_t value) override {
    if (channel != 0) return;
    if (op == 0) position = value;
    if (op == 1) position += value;
  }
  uint64_t checks = 0;
  uint64_t stopAfter = UINT64_MAX;
  uint64_t position = 0;
  std::string texts[3];
};
