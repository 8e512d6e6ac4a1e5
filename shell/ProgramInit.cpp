// Start-up steps that need no toolkit.

#include "shell/ProgramInit.h"

#include <glib.h>
#include <libintl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Locale.h"

#ifndef MZK_REVISION
#define MZK_REVISION "100218"
#endif

const char* debugTargetOfArguments(int argc, char** argv) {
  const char* target = nullptr;
  for (int i = 1; i < argc && argv; ++i)
    if (argv[i] && strncmp(argv[i], "dbg=", 4) == 0) target = argv[i] + 4;
  return target;
}

std::string mediumOfArguments(int argc, char** argv) {
  for (int i = 1; i < argc && argv; ++i) {
    const char* arg = argv[i];
    if (!arg || !*arg || strncmp(arg, "dbg=", 4) == 0) continue;
    if (arg[0] == '-') {
      dlog() << "ProgramInit(60): " << arg << "\n";
      continue;
    }
    if (strncmp(arg, "file://", 7) == 0) {
      gchar* host = nullptr;
      gchar* name = g_filename_from_uri(arg, &host, nullptr);
      // A file on another machine is not a medium this program can read.
      const bool local = !host || strcmp(host, "localhost") == 0;
      std::string path = name && local ? name : "";
      g_free(name);
      g_free(host);
      if (path.empty()) dlog() << "ProgramInit(61): " << arg << "\n";
      return path;
    }
    return arg;
  }
  return std::string();
}

void writeBanner() { dlog() << "main(20): " << "mzk" << " (revision " << MZK_REVISION << ")\n"; }

namespace {

std::string folderPart(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The running executable's own path; empty when the kernel does not say.
std::string executablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    if (buffer.size() >= (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::string programFolderOf(const char* argv0) {
  std::string path = argv0 ? argv0 : "";
  if (path.find('/') != std::string::npos) return folderPart(path);
  // Started through PATH: the argument names no folder.
  std::string exe = executablePath();
  if (exe.find('/') != std::string::npos) return folderPart(exe);
  return ".";
}

std::string programNameOf(const char* argv0) {
  std::string path = argv0 ? argv0 : "";
  size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

int programInitCore(ConfigRecord& config, int argc, char** argv) {
  if (argc < 1 || !argv || !argv[0]) {
    dlog() << "ProgramInit(13)\n";
    return -1;
  }
  std::string folder = programFolderOf(argv[0]);
  std::string name = programNameOf(argv[0]);
  std::string configPath = folder + "/" + name + ".cfg";
  config.set("Program Path", folder, true);
  if (!readConfigFile(config, configPath, '#')) dlog() << "ProgramInit(30): " << configPath << "\n";
  std::string locale;
  if (config.get("Locale", locale)) setenv("LC_ALL", locale.c_str(), 1);
  std::string catalogue = folder + "/lib/locale";
  bindtextdomain("mzk", catalogue.c_str());
  bind_textdomain_codeset("mzk", "UTF-8");
  textdomain("mzk");
  return 0;
}

void programInitLocale(const ConfigRecord& config) {
  Locale& locale = Locale::instance();
  locale.detect();
  locale.setFolder(config.getString("Program Path") + "/lib/locale");
}
