// The interface settings: thumbnail size and the smallest image shown.
#pragma once

#include <gtk/gtk.h>

class ConfigRecord;

// One row of the fixed settings table (only spin buttons are used).
struct PreferenceSetting {
  int kind;  // 0 check box, 1 spin button
  const char* key;
  int defaultValue;
  int minimum;
  int maximum;
};

// The four settings in the order the dialog shows them.
const PreferenceSetting* preferenceSettings(int* count);

// Modal.  On OK stores each value (inside its row's range) into config,
// in memory only, and returns true; on Cancel or close changes nothing.
// The next browser window uses the new values.
bool showPreferencesDialog(GtkWindow* parent, ConfigRecord& config);
