// One run of mzk-recover: configuration, checks of the input and the
// destination, the scan, then listing or recovering what was found.
#pragma once

#include <string>
#include <vector>

#include "cli/RecoverOptions.h"
#include "engine/FileModule.h"
#include "engine/Pattern.h"

class FileCase;

enum RecoverExit {
  kExitDone = 0,
  kExitEnvironment = 1,  // bad usage, pattern file, destination
  kExitInput = 2,        // medium cannot be opened or read
  kExitInternal = 3,
  kExitStopped = 130,
};

class RecoverCommand {
 public:
  RecoverCommand(const RecoverOptions& options, const std::string& programPath, const std::string& commandLine)
      : options_(options), programPath_(programPath), commandLine_(commandLine) {}
  // The exit status; every problem has been told on stderr.
  int run();

 private:
  bool wanted(const FileModule::File& file) const;
  // The types typed after --types, with the twins of each (jpg and jpeg,
  // tif and tiff, ...).
  static std::vector<std::string> selectedTypes(const std::vector<std::string>& typed);
  void warnUnknownTypes(FileCase& fileCase, const PatternTable& scanPatterns) const;
  bool prepareOutputFolder(const std::string& inputPath);
  void note(int status);

  RecoverOptions options_;
  std::string programPath_;
  std::string commandLine_;
  bool environmentProblem_ = false;
  bool inputProblem_ = false;
  bool stopped_ = false;
  std::vector<std::string> selectedTypes_;
};

// A line of --list for one found file.
// The --list line: offset, size, type, fragmented, deleted, fs, flags (a
// comma-separated list such as "raw,preview=OFFSET+SIZE", or "-"), name.
std::string listFlags(const FileModule::File& file);
std::string listLine(const FileModule::File& file);

// Prints "mzk-recover: <message>" on stderr.
void complain(const std::string& message);
