// Running the built mzk-recover in the tests, and the files they make.
#pragma once

#include "tests/support/TempDir.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct ToolResult {
  int status = -1;   // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// The program in the build's program folder.
std::string recoverProgram();

// Runs mzk-recover with `args` (no shell) and waits for it.
ToolResult runRecover(const std::vector<std::string>& args, const std::string& workingFolder = "");
// Starts it with output going to files in `folder`; returns the process id.
pid_t startRecover(const std::vector<std::string>& args, const std::string& folder);
// Waits for a started process; reads back its output.
ToolResult finishRecover(pid_t pid, const std::string& folder);
// Bytes the process has read so far (/proc/PID/io "rchar"), 0 if unknown.
uint64_t bytesReadBy(pid_t pid);

// A shell command for building fixtures; true on exit status 0.
bool shell(const std::string& command);
std::string shellOutput(const std::string& command);
bool haveTool(const std::string& name);

typedef mzktest::TempDir CliTempDir;

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
std::vector<std::string> namesIn(const std::string& folder);
// sha256sum of a file, or empty.
std::string sha256Of(const std::string& path);
std::string md5Of(const std::string& path);

// A raw card image assembled from pieces at sector-aligned offsets, the
// gaps filled with random sectors.
class CardImage {
 public:
  struct Placed {
    std::string name;
    uint64_t offset;
    uint64_t size;
  };
  // Appends `gapSectors` random sectors, then the file (padded with random
  // bytes to a whole sector).  Returns the offset where the file starts.
  uint64_t add(const std::string& name, const std::string& bytes, unsigned gapSectors);
  void addRandomSectors(unsigned sectors);
  bool write(const std::string& path) const;
  const std::vector<Placed>& placed() const { return placed_; }

 private:
  std::string bytes_;
  std::vector<Placed> placed_;
  uint32_t seed_ = 12345;
};
