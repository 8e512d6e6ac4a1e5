// The splash window of start-up.
#pragma once

#include <gtk/gtk.h>

class ConfigRecord;

// Shows "Splash Image" (relative to "Program Path", or an absolute path)
// in an undecorated window titled "Program Name" in the middle of the
// screen, runs a main loop for "Splash Foreground Time" ms (default 3000)
// and returns; the window then stays for "Splash Background Time" ms
// (default 3000) while start-up goes on, and destroys itself.
// Returns the window, or null when "Splash Image" is empty.
GtkWidget* showSplash(const ConfigRecord& config);
