// Running the built mzk-recover in the tests.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct ToolResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// The program in the build's program folder.
std::string recoverProgram();

// Runs mzk-recover with `args` (no shell) and waits for it.
ToolResult runRecover(const std::vector<std::string>& args, const std::string& workingFolder = "");
// Starts it with its output going to files in `folder`; the process id.
pid_t startRecover(const std::vector<std::string>& args, const std::string& folder);
// Waits until the started process has read `bytes` of its input (or thirty
// seconds have passed), so that a signal finds the scan under way.
void waitUntilRead(pid_t pid, uint64_t bytes);
// Waits for a started process and reads back its output.
ToolResult finishRecover(pid_t pid, const std::string& folder);

// The tab-separated fields of each line of --list output.
std::vector<std::vector<std::string>> listRows(const std::string& out);
