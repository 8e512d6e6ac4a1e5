// Helpers of the recovery tests: a file case over a medium in memory seen
// through a fault injector, found files, and a progress recorder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/FileCase.h"
#include "shell/Config.h"
#include "shell/InterfaceCallback.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

typedef mzktest::TempDir RecoverTempDir;

// The case reads an empty "FsScanner.cfg" from a folder of its own.
class CaseOverMemory {
 public:
  explicit CaseOverMemory(const std::string& bytes) : memory_(bytes.data(), bytes.size()) {
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
    if (++checks > stopAfter) throw InterruptedException();
  }
  void setText(int line, int channel, const std::string& text) override {
    if (channel == 0 && line >= 0 && line < 2) texts[line] = text;
  }
  void setValue(int op, int channel, uint64_t value) override { position = op == 0 ? value : position + value; }
  uint64_t checks = 0;
  uint64_t stopAfter = UINT64_MAX;
  uint64_t position = 0;
  std::string texts[2];
};
