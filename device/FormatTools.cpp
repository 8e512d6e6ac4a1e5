// Finding and running the format tools.

#include "device/FormatTools.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/InterfaceCallback.h"

extern char** environ;

namespace {

// What the user sees of a failing tool: its last lines.
const size_t kOutputKept = 2000;

std::string findTool(const std::vector<std::string>& folders, const char* name) {
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::string path = folder + "/" + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return std::string();
}

// Output lines to the debug log as they complete ("\r" ends a progress line).
class OutputLog {
 public:
  explicit OutputLog(std::string* kept) : kept_(kept) {}
  ~OutputLog() { flush(); }
  void add(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      char c = data[i];
      if (c == '\n' || c == '\r') {
        flush();
      } else if (line_.size() < 4096) {
        line_ += c;
      }
    }
  }
  void flush() {
    if (line_.find_first_not_of(" \t") == std::string::npos) {
      line_.clear();
      return;
    }
    dlog() << "FormatTools(55): " << line_ << "\n";
    if (kept_) {
      *kept_ += line_ + "\n";
      if (kept_->size() > kOutputKept) kept_->erase(0, kept_->size() - kOutputKept);
    }
    line_.clear();
  }

 private:
  std::string* kept_;
  std::string line_;
};

void endChild(pid_t pid) {
  kill(pid, SIGTERM);
  for (int i = 0; i < 50; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    usleep(20 * 1000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

}  // namespace

int lastPercentage(const std::string& text) {
  int found = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    // A number starts here: not inside another one, nor after its point.
    if (!isdigit(static_cast<unsigned char>(text[i])) ||
        (i > 0 && (isdigit(static_cast<unsigned char>(text[i - 1])) || text[i - 1] == '.')))
      continue;
    size_t end = i;
    int value = 0;
    while (end < text.size() && isdigit(static_cast<unsigned char>(text[end])) && value <= 100)
      value = value * 10 + (text[end++] - '0');
    size_t after = end;
    if (after < text.size() && text[after] == '.')  // "45.3%"
      while (++after < text.size() && isdigit(static_cast<unsigned char>(text[after]))) {
      }
    while (after < text.size() && text[after] == ' ') ++after;
    if (value <= 100 && (text.compare(after, 1, "%") == 0 || text.compare(after, 7, "percent") == 0)) found = value;
  }
  return found;
}

int runTool(const std::vector<std::string>& argv, InterfaceCallback* progress, std::string* output) {
  if (argv.empty()) return -1;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // The tools' own messages stay in English, so that percentages parse.
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e)
    if (strncmp(*e, "LC_ALL=", 7) != 0 && strncmp(*e, "LANGUAGE=", 9) != 0) env.push_back(*e);
  env.push_back("LC_ALL=C");
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(&e[0]);
  envp.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (rc != 0) {
    close(pipeFds[0]);
    dlog() << "FormatTools(122): " << argv[0] << " " << strerror(rc) << "\n";
    if (output) *output = argv[0] + ": " + strerror(rc);
    return -1;
  }
  std::string line;
  for (const std::string& a : argv) line += a + " ";
  dlog() << "FormatTools(127): " << line << "\n";
  OutputLog log(output);
  try {
    for (;;) {
      struct pollfd p = {pipeFds[0], POLLIN, 0};
      int ready = poll(&p, 1, 100);
      if (ready > 0) {
        char buffer[4096];
        ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        log.add(buffer, static_cast<size_t>(n));
        int percent = lastPercentage(std::string(buffer, static_cast<size_t>(n)));
        if (percent >= 0 && progress) progress->setValue(0, 0, static_cast<uint64_t>(percent));
      }
      if (progress) progress->check();
    }
  } catch (const InterruptedException&) {
    close(pipeFds[0]);
    endChild(pid);
    dlog() << "FormatTools(146): " << argv[0] << " ended\n";
    throw;
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  log.flush();
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  dlog() << "FormatTools(155): " << argv[0] << " " << code << "\n";
  return code;
}

const FormatTools& FormatTools::system() {
  static const FormatTools tools(std::string(getenv("PATH") ? getenv("PATH") : "") +
                                 ":/usr/local/sbin:/usr/sbin:/sbin:/usr/bin:/bin");
  return tools;
}

FormatTools::FormatTools(const std::string& searchPath) {
  std::vector<std::string> folders;
  split(searchPath, ':', folders);
  fat_ = findTool(folders, "mkfs.vfat");
  if (fat_.empty()) fat_ = findTool(folders, "mkfs.fat");
  ntfs_ = findTool(folders, "mkfs.ntfs");
  dlog() << "FormatTools(172): " << (fat_.empty() ? "-" : fat_) << " " << (ntfs_.empty() ? "-" : ntfs_) << "\n";
}

size_t FormatTools::labelLimit(const std::string& fileSystem) { return fileSystem == "NTFS" ? 16 : 11; }

const char* FormatTools::toolName(const std::string& fileSystem) {
  return fileSystem == "NTFS" ? "mkfs.ntfs" : "mkfs.vfat";
}

const std::string& FormatTools::toolFor(const std::string& fileSystem) const {
  return fileSystem == "NTFS" ? ntfs_ : fat_;
}

std::vector<std::string> FormatTools::arguments(const FormatRequest& request) const {
  std::vector<std::string> argv;
  const std::string hidden = std::to_string(request.hiddenSectors);
  if (request.fileSystem == "FAT" || request.fileSystem == "FAT32") {
    if (fat_.empty()) return argv;
    // -I: a whole disk without partitions is a volume too.
    argv = {fat_, "-I", "-F", request.fileSystem == "FAT" ? "16" : "32"};
    if (!request.label.empty()) argv.insert(argv.end(), {"-n", request.label});
    if (request.hiddenSectors) argv.insert(argv.end(), {"-h", hidden});
  } else if (request.fileSystem == "NTFS") {
    if (ntfs_.empty()) return argv;
    // -F: the user confirmed; the tool would refuse a whole disk otherwise.
    argv = {ntfs_, "-F"};
    if (!request.label.empty()) argv.insert(argv.end(), {"-L", request.label});
    if (request.hiddenSectors) argv.insert(argv.end(), {"-p", hidden, "-H", "255", "-S", "63"});
  } else {
    return argv;
  }
  argv.push_back(request.target);
  return argv;
}

bool FormatTools::run(const FormatRequest& request, InterfaceCallback* progress, std::string* output) const {
  std::vector<std::string> argv = arguments(request);
  if (argv.empty()) {
    dlog() << "FormatTools(210): " << request.fileSystem << "\n";
    return false;
  }
  return runTool(argv, progress, output) == 0;
}
