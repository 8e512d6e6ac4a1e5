// The update check at start-up: the "Looking for updates" box, the dialog
// that offers a newer release, and the download and start of its
// installer.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "shell/InterfaceCallback.h"
#include "update/Update.h"
#include "update/UpdateInfo.h"

struct UpdateCheckSetup {
  // Opens a progress box over parent (style 0 activity, 2 file copy) and
  // hands it over; destroying it closes it.  The user interface passes its
  // "Please Wait" box.  Unset: the check shows no box and cannot be
  // cancelled.
  typedef std::function<std::unique_ptr<InterfaceCallback>(GtkWindow* parent, int style,
                                                           uint64_t total, int width)>
      OpenProgressBox;
  OpenProgressBox openProgressBox;
  // Opens a web page or a file with the desktop's program.  Unset:
  // systemOpen.
  std::function<void(const std::string&)> open;
  Update::Limits limits;
  // Where the private folder for the installer is made.  Empty: the
  // system's temporary folder.
  std::string temporaryFolder;
};

// The modal "Update" dialog: info's version is available, a button opens
// its release notes (web addresses only), and the question whether to
// install it.  True when the user answers Yes.
bool askToInstall(GtkWindow* parent, const UpdateInfo& info, const std::string& currentVersion,
                  const std::function<void(const std::string&)>& open);

// The whole check.  An empty updateUrl touches nothing.  Otherwise the feed
// is fetched; when it names a version other than currentVersion the user is
// asked, and on Yes the installer is downloaded into a new private folder
// under the temporary folder and opened, but only when the server answered
// with success and exactly the feed's length arrived.  True only then: the
// caller ends the program so that the installer can replace it.  Failures
// and a cancel are debug-log lines and a false result; a partial download
// is removed with its folder.
bool checkForUpdates(GtkWindow* parent, const std::string& updateUrl,
                     const std::string& currentVersion, const UpdateCheckSetup& setup);
