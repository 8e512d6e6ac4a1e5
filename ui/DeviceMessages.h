// What the user is told when a device cannot be opened or written.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "device/DeviceClaim.h"

// Claims `node` for writing (see DeviceClaim); on failure the user is told
// why (write-protected, in use, no permission) and false is returned.
bool claimForWriting(DeviceClaim& claim, const std::string& node, GtkWindow* parent);

// Tells the user that the medium is write-protected.
void tellWriteProtected(GtkWindow* parent);

// The text that tells a user without the right to open a device what to do.
std::string privilegeAdvice();
