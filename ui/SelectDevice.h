// The media selection window: the first window, and the one the browser
// returns to.  It opens the medium to scan - a saved card file (a raw image)
// or a card reader's device node - as the reader of the shared file case.
#pragma once

#include <string>

#include "ui/WindowBase.h"

class SelectDevice : public WindowBase {
 public:
  SelectDevice(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase, ConfigRecord& config);
  // Shows the window and runs its main loop; true once a medium was opened.
  bool run();

  // Asks for the medium (image file or device node) and opens it.
  bool prepareMedia() override;
  void scanFile() override;

  bool started() const { return started_; }

 private:
  // Opens `path` read-only as the file case's medium; false (and the
  // error box) when it cannot be opened.
  bool openMedium(const std::string& path);
  static void onScanClicked(GtkButton*, gpointer self);

  bool started_ = false;
};
