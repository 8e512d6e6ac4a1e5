// Start-up steps that need no toolkit: the "dbg=" argument, the program's
// folder, the configuration and the message catalogue.
#pragma once

#include <string>

class ConfigRecord;

// The debug target named by the last argument that starts with "dbg="
// (case-sensitive), or nullptr when there is none.
const char* debugTargetOfArguments(int argc, char** argv);

// The medium named on the command line ("mzk card.img", "mzk /dev/sdb", or
// a "file://" address as a file manager may pass): the first argument that
// is neither "dbg=..." nor an option (starting with "-").  Empty when none.
std::string mediumOfArguments(int argc, char** argv);

// Writes "main(20): mzk (revision 100218)\n".
void writeBanner();

// The folder of the running program: the folder part of argv0, or the
// folder of /proc/self/exe when argv0 has none (a program found through PATH).
std::string programFolderOf(const char* argv0);
// argv0's last component without its last ".suffix".
std::string programNameOf(const char* argv0);

// Steps before the toolkit: "Program Path", the configuration file, "Locale"
// into LC_ALL, the catalogue binding.  -1 when argc < 1, else 0.
int programInitCore(ConfigRecord& config, int argc, char** argv);
// Steps after the toolkit: Locale::detect and the localised-files folder.
void programInitLocale(const ConfigRecord& config);
