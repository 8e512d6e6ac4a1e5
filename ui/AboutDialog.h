// The about box of both main windows.
#pragma once

#include <gtk/gtk.h>

class ConfigRecord;

// Modal.  Shows the program icon ("Program Path"/"Program Icon"), "Program
// Name with Version" and the revision, the brand and credits with their
// link buttons; the links open with systemOpen while the box runs.
void showAboutDialog(GtkWindow* parent, const ConfigRecord& config);
