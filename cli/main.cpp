// mzk-recover: recovers files from a memory card or its image without a
// display, with the engine of the mzk program.

#include <cstdio>
#include <exception>
#include <string>

#include "cli/DeviceListing.h"
#include "cli/RecoverCommand.h"
#include "cli/RecoverOptions.h"
#include "shell/DebugLog.h"
#include "shell/ProgramInit.h"

int main(int argc, char** argv) {
  RecoverOptions options;
  std::string error;
  if (!parseRecoverOptions(argc, argv, options, error)) {
    complain(error);
    fprintf(stderr, "Try 'mzk-recover --help' for more information.\n");
    return kExitEnvironment;
  }
  if (options.help) {
    fputs(recoverUsageText(), stdout);
    return kExitDone;
  }
  if (options.version) {
    printf("mzk-recover (mzk revision %s)\n", MZK_REVISION);
    return kExitDone;
  }
  try {
    openDebugLog(options.debugTarget.c_str());
    // A log file that cannot be created is an error here, not a quiet
    // switch to the terminal: the user asked for the file.
    if (std::string(debugLogKind) == "stderr" && options.debugTarget != "stderr") {
      complain("cannot create the debug log " + options.debugTarget);
      return kExitEnvironment;
    }
    writeBanner();
    std::string folder = options.configFolder.empty() ? programFolderOf(argc > 0 ? argv[0] : "") : options.configFolder;
    std::string commandLine;
    for (int i = 0; i < argc; ++i) commandLine += (i ? " " : "") + std::string(argv[i]);
    if (options.devices) return listDeviceRecords(folder);
    RecoverCommand command(options, folder, commandLine);
    return command.run();
  } catch (std::exception& e) {
    complain(std::string("internal error: ") + e.what());
  } catch (...) {
    complain("internal error");
  }
  return kExitInternal;
}
