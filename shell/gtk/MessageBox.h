// The one message box through which the program asks and tells the user.
#pragma once

#include <gtk/gtk.h>

#include <string>

enum MessageBoxKind {
  MessageBoxError = 0,        // "gtk-close"; also any kind outside 1..4
  MessageBoxQuestion = 1,     // "gtk-no", "gtk-yes"
  MessageBoxWarning = 2,      // "gtk-no", "gtk-yes"
  MessageBoxInformation = 3,  // "gtk-close"
  MessageBoxNotice = 4,       // "gtk-ok"
};

// Result bits.
const int MessageBoxNotYes = 0x01;   // kinds 1 and 2: anything but Yes (No, window closed)
const int MessageBoxChecked = 0x10;  // the check box was shown and ticked

// Runs a modal box and returns its result bits.  text is Pango markup that
// the caller has translated; every value inserted into it must have gone
// through markupEscape.  parent may be null.  defaultNo makes No the
// default of kinds 1 and 2.  checkLabel, when not null, is the mnemonic
// label of an unticked check box ("Yes To _All").
int messageBox(int kind, const std::string& text, GtkWindow* parent = nullptr,
               bool defaultNo = false, const char* checkLabel = nullptr);

// The text with "&", "<", ">", quotes escaped for Pango markup.
std::string markupEscape(const std::string& text);
