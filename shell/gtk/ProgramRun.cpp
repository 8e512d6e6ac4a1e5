#include "shell/gtk/ProgramRun.h"

#include <exception>
#include <string>

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/Locale.h"
#include "shell/gtk/MessageBox.h"
#include "shell/gtk/Splash.h"

namespace {

// The splash image lives in the language folders; the splash wants it
// relative to "Program Path".
void splashOf(const ConfigRecord& config) {
  std::string image = config.getString("Splash Image");
  if (image.empty())
    return;
  std::string path = Locale::instance().localizedPath(image);
  std::string prefix = config.getString("Program Path") + "/";
  if (path.compare(0, prefix.size(), prefix) == 0)
    path.erase(0, prefix.size());
  ConfigRecord copy = config;
  copy.set("Splash Image", path);
  showSplash(copy);
}

}  // namespace

int runGuarded(const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    messageBox(MessageBoxError, format(_("Exception: %1"), markupEscape(e.what())));
    dlog() << "ProgramRun(51): " << e.what() << "\n";
  } catch (...) {
    messageBox(MessageBoxError, markupEscape(_("Unknown exception")));
    dlog() << "ProgramRun(55)\n";
  }
  return -1;
}

int ProgramRun(ConfigRecord& config, const MainWindows& windows) {
  return runGuarded([&config, &windows]() {
    splashOf(config);
    if (windows.updateCheck && windows.updateCheck(nullptr, config.getString("Update URL"),
                                                   config.getString("Program Name with Version")))
      return 0;
    ConfigRecord media;
    FileCase fileCase(config, allFileSystems());
    bool chosen = !windows.startMedium.empty() && windows.openMedium &&
                  windows.openMedium(windows.startMedium, media, fileCase);
    for (;;) {
      if (!chosen && !(windows.selectDevice && windows.selectDevice(nullptr, media, fileCase, config)))
        break;
      if (!(windows.browser && windows.browser(nullptr, media, fileCase, config))) break;
      chosen = false;
    }
    return 0;
  });
}
