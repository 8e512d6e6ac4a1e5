#include "tests/cli/CliSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

extern char** environ;

std::string recoverProgram() { return std::string(MZK_APP_DIR) + "/mzk-recover"; }

namespace {

pid_t spawnWithFiles(const std::vector<std::string>& args, const std::string& outPath, const std::string& errPath,
                     const std::string& workingFolder) {
  std::vector<std::string> all = {recoverProgram()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0) _exit(127);
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

int waitStatus(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ToolResult runRecover(const std::vector<std::string>& args, const std::string& workingFolder) {
  CliTempDir io;
  pid_t pid = spawnWithFiles(args, io.file("out"), io.file("err"), workingFolder);
  ToolResult result;
  result.status = waitStatus(pid);
  result.out = readFile(io.file("out"));
  result.err = readFile(io.file("err"));
  return result;
}

pid_t startRecover(const std::vector<std::string>& args, const std::string& folder) {
  return spawnWithFiles(args, folder + "/stdout", folder + "/stderr", "");
}

ToolResult finishRecover(pid_t pid, const std::string& folder) {
  ToolResult result;
  result.status = waitStatus(pid);
  result.out = readFile(folder + "/stdout");
  result.err = readFile(folder + "/stderr");
  return result;
}

uint64_t bytesReadBy(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/io");
  std::string key;
  uint64_t value;
  while (in >> key >> value)
    if (key == "rchar:") return value;
  return 0;
}

bool shell(const std::string& command) {
  int rc = system((command + " >/dev/null 2>&1").c_str());
  return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

std::string shellOutput(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return std::string();
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

bool haveTool(const std::string& name) { return shell("command -v '" + name + "'"); }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string sha256Of(const std::string& path) {
  std::string out = shellOutput("sha256sum < '" + path + "'");
  return out.size() >= 64 ? out.substr(0, 64) : std::string();
}

std::string md5Of(const std::string& path) {
  std::string out = shellOutput("md5sum < '" + path + "'");
  return out.size() >= 32 ? out.substr(0, 32) : std::string();
}

void CardImage::addRandomSectors(unsigned sectors) {
  for (unsigned i = 0; i < sectors * 512; ++i) {
    seed_ = seed_ * 1103515245u + 12345;
    bytes_ += static_cast<char>(seed_ >> 16);
  }
}

uint64_t CardImage::add(const std::string& name, const std::string& bytes, unsigned gapSectors) {
  addRandomSectors(gapSectors);
  uint64_t offset = bytes_.size();
  bytes_ += bytes;
  size_t tail = bytes_.size() % 512;
  if (tail) {
    // Random bytes after the file up to the sector end, as on a card.
    for (size_t i = tail; i < 512; ++i) {
      seed_ = seed_ * 1103515245u + 12345;
      bytes_ += static_cast<char>(seed_ >> 16);
    }
  }
  placed_.push_back({name, offset, bytes.size()});
  return offset;
}

bool CardImage::write(const std::string& path) const {
  std::ofstream out(path, std::ios::binary);
  out << bytes_;
  return static_cast<bool>(out);
}
