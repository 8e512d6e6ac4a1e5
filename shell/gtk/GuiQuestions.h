// The GUI's answer to the engine's questions: a message box.
#pragma once

#include <gtk/gtk.h>

#include "shell/Questions.h"

class GuiQuestions : public Questions {
 public:
  // parent may be null; it is not owned and must outlive the calls.
  explicit GuiQuestions(GtkWindow* parent = nullptr) : parent_(parent) {}
  void setParent(GtkWindow* parent) { parent_ = parent; }

  // text is plain text: it is escaped before it becomes markup, and a
  // leading translated "Warning:" is shown as the red warning mark.
  int ask(Kind kind, const std::string& text, bool defaultNo, const char* checkLabel) override;

  // The markup that ask() shows for a plain text.
  static std::string markupOf(const std::string& text);

 private:
  GtkWindow* parent_;
};
