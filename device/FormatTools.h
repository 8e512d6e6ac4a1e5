// Formatting through the system's tools: mkfs.vfat (or mkfs.fat) for "FAT"
// and "FAT32", mkfs.ntfs (ntfs-3g) for "NTFS".  The tools are looked up
// once, at start-up, in PATH and the system folders; they run from an
// argument vector, never through a shell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class InterfaceCallback;

struct FormatRequest {
  std::string target;      // the device node to format
  std::string fileSystem;  // "FAT", "FAT32" or "NTFS"
  std::string label;
  uint64_t hiddenSectors = 0;  // where the volume starts on its disk, in sectors
};

class FormatTools {
 public:
  // The tools of this system, found on first use.
  static const FormatTools& system();
  // Looks in the folders of `searchPath` (":"-separated).
  explicit FormatTools(const std::string& searchPath);

  // The most characters a label of the file system holds (FAT: 11).
  static size_t labelLimit(const std::string& fileSystem);
  // The tool a file system needs, e.g. "mkfs.ntfs", for messages.
  static const char* toolName(const std::string& fileSystem);

  // The full path of the tool for the file system; empty when missing.
  const std::string& toolFor(const std::string& fileSystem) const;
  // The argument vector that formats the request; empty when the tool is
  // missing or the file system unknown.
  std::vector<std::string> arguments(const FormatRequest& request) const;

  // Runs the tool.  Its output goes to the debug log and, in the last
  // lines, to `output`; percentages it prints reach `progress` (op 0,
  // 0..100).  `progress->check()` runs between reads: when it throws, the
  // tool is ended and the InterruptedException passes on.  True when the
  // tool ran and reported success.
  bool run(const FormatRequest& request, InterfaceCallback* progress, std::string* output) const;

 private:
  std::string fat_;
  std::string ntfs_;
};

// Runs argv[0] (a full path) with argv; standard input is empty, standard
// output and error are read together.  The exit status, or -1 when the
// program could not be started.  For progress and cancel see
// FormatTools::run.
int runTool(const std::vector<std::string>& argv, InterfaceCallback* progress, std::string* output);

// The last percentage ("45%", "45 percent") in a piece of tool output, or -1.
int lastPercentage(const std::string& text);
