// The program's entry point.
#include <memory>
#include <string>

#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/ProgramInit.h"
#include "shell/gtk/ProgramInitGui.h"
#include "shell/gtk/ProgramRun.h"
#include "ui/BrowserStart.h"
#include "ui/ProgressBox.h"
#include "ui/Windows.h"
#include "update/gtk/UpdateDialog.h"

namespace {

// The update check with the "Please Wait" box of the user interface.
bool runUpdateCheck(GtkWindow* parent, const std::string& updateUrl,
                    const std::string& currentVersion) {
  UpdateCheckSetup setup;
  setup.openProgressBox = [](GtkWindow* over, int style, uint64_t total, int width) {
    return std::unique_ptr<InterfaceCallback>(new gtk::ProgressBox(over, style, total, 0, width));
  };
  return checkForUpdates(parent, updateUrl, currentVersion, setup);
}

}  // namespace

int main(int argc, char** argv) {
  openDebugLog(debugTargetOfArguments(argc, argv));
  writeBanner();
  int result;
  {
    ConfigRecord config;
    result = ProgramInit(config, &argc, &argv);
    if (result == 0) {
      MainWindows windows;
      windows.selectDevice = runSelectDevice;
      windows.browser = runBrowser;
      windows.updateCheck = runUpdateCheck;
      // "mzk card.img" (or "Open with" in a file manager) starts in the browser.
      windows.openMedium = openMediumNamed;
      windows.startMedium = mediumOfArguments(argc, argv);
      result = ProgramRun(config, windows);
    }
  }
  return result;
}
