// Questions and messages from the engine to the user.
//
// The engine never shows anything itself: when a block cannot be written or
// a file cannot be recovered it asks through this interface.  The GUI answers
// with a message box, the command line by its options, tests by a script.
// Texts are plain (already translated) text, not markup: a GUI
// implementation escapes them before they enter a label.
#pragma once

#include <string>

class Questions {
 public:
  enum Kind { Error = 0, Question = 1, Warning = 2, Information = 3, Notice = 4 };
  // Result bits as the message box gives them:
  static constexpr int NotYes = 0x01;   // the user did not answer Yes
  static constexpr int Checked = 0x10;  // the check box was shown and ticked

  virtual ~Questions() {}
  // checkLabel: a mnemonic label for an extra check box ("Yes To _All"), or nullptr.
  virtual int ask(Kind kind, const std::string& text, bool defaultNo, const char* checkLabel) = 0;
};
