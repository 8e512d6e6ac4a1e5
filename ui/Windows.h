// The two main windows that the run loop alternates.  Each returns true
// to go on (a medium was chosen / back to the selection), false to quit.
#pragma once

#include <gtk/gtk.h>

class ConfigRecord;
class FileCase;

bool runSelectDevice(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase, ConfigRecord& config);
bool runBrowser(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase, ConfigRecord& config);
