// The program's entry point.
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/ProgramInit.h"
#include "shell/gtk/ProgramInitGui.h"
#include "shell/gtk/ProgramRun.h"
#include "ui/BrowserStart.h"
#include "ui/Windows.h"

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
      // "mzk card.img" (or "Open with" in a file manager) starts in the browser.
      windows.openMedium = openMediumNamed;
      windows.startMedium = mediumOfArguments(argc, argv);
      result = ProgramRun(config, windows);
    }
  }
  return result;
}
