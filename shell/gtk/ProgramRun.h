// The run loop and the program's outer frame.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>

class ConfigRecord;
class FileCase;

// The two main windows that the run loop alternates; each returns true to
// go on.  The entry point passes runSelectDevice and runBrowser
// (ui/Windows.h); tests pass their own.
struct MainWindows {
  typedef bool (*Window)(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase,
                         ConfigRecord& config);
  Window selectDevice = nullptr;
  Window browser = nullptr;
  // The update check before the first window (the entry point passes one
  // built on checkForUpdates, update/gtk/UpdateDialog.h): true when an
  // installer was started and the program ends.  Null: no check.
  typedef bool (*UpdateCheck)(GtkWindow* parent, const std::string& updateUrl,
                              const std::string& currentVersion);
  UpdateCheck updateCheck = nullptr;
  // The image or device named on the command line; when openMedium opens
  // it, the run starts in the browser.  openMedium tells the user itself
  // why a medium cannot be opened (the run then starts in the selection).
  typedef bool (*Opener)(const std::string& path, ConfigRecord& media, FileCase& fileCase);
  Opener openMedium = nullptr;
  std::string startMedium;
};

// Shows the splash and runs the update check (returning 0 at once when it
// started an installer), then creates the media record and the file case and
// alternates the selection and browser windows until either returns false
// (starting with the browser when a medium named on the command line opens).
// 0 after a normal end; -1 after an exception, which is shown in an error
// box ("Exception: %1" or "Unknown exception") and logged as
// "ProgramRun(51): text" or "ProgramRun(55)".
int ProgramRun(ConfigRecord& config, const MainWindows& windows);

// The exception frame alone: runs body and returns its result, or shows and
// logs an escaping exception and returns -1.
int runGuarded(const std::function<int()>& body);
