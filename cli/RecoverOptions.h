// The command line of mzk-recover.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RecoverOptions {
  std::string input;
  std::string outputFolder = "recovered";
  bool list = false;
  std::vector<std::string> types;  // lower case; empty: every type
  uint64_t minSize = 0;
  bool keepNames = false;
  bool keepPartial = false;  // write files not proven whole too
  std::string reportPath;
  std::string configFolder;  // empty: the program's folder
  std::string debugTarget = "null";
  std::string simulateBad;   // OFFSET:LENGTH,... read as unreadable (testing)
  bool stats = false;        // tell the bytes read from the medium at the end
  bool devices = false;      // list the devices instead of recovering
  bool help = false;
  bool version = false;
};

// False with a one-line reason on bad usage.  "dbg=TARGET" arguments are
// taken as --debug-log TARGET.
bool parseRecoverOptions(int argc, char** argv, RecoverOptions& options, std::string& error);

// The manual page shown by --help.
const char* recoverUsageText();

// "12345", "64k", "3M", "1G" (powers of 1024); false for anything else.
bool parseByteCount(const std::string& text, uint64_t& value);
