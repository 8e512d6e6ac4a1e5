#include "tests/cli/CliSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

std::string recoverProgram() { return std::string(MZK_APP_DIR) + "/mzk-recover"; }

namespace {

pid_t spawn(const std::vector<std::string>& args, const std::string& folder, const std::string& workingFolder) {
  std::vector<std::string> all = {recoverProgram()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = open((folder + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open((folder + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0)) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

}  // namespace

ToolResult runRecover(const std::vector<std::string>& args, const std::string& workingFolder) {
  mzktest::TempDir io;
  return finishRecover(spawn(args, io.path(), workingFolder), io.path());
}

pid_t startRecover(const std::vector<std::string>& args, const std::string& folder) { return spawn(args, folder, ""); }

void waitUntilRead(pid_t pid, uint64_t bytes) {
  for (int i = 0; i < 3000; ++i) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    uint64_t value = 0;
    while (in >> key >> value && key != "rchar:") {
    }
    if (key == "rchar:" && value >= bytes) return;
    usleep(10000);
  }
}

ToolResult finishRecover(pid_t pid, const std::string& folder) {
  ToolResult result;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
  result.out = mzktest::readFile(folder + "/stdout");
  result.err = mzktest::readFile(folder + "/stderr");
  return result;
}

std::vector<std::vector<std::string>> listRows(const std::string& out) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    rows.emplace_back();
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      rows.back().push_back(line.substr(start, tab - start));
    rows.back().push_back(line.substr(start));
  }
  return rows;
}
