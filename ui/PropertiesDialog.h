// The properties of one found file, from the browser's context menu.
#pragma once

#include <gtk/gtk.h>

#include "engine/FileModule.h"

// Modal; returns when the user closes it.  Shows type, offset, size and the
// file-system attributes, and the embedded preview's attributes when the
// file has one.
void showPropertiesDialog(GtkWindow* parent, const FileModule::File& file);
