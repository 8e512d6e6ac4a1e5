#include "shell/gtk/GuiQuestions.h"

#include "shell/Intl.h"
#include "shell/gtk/MessageBox.h"

std::string GuiQuestions::markupOf(const std::string& text) {
  const std::string mark = _("Warning:");
  if (!mark.empty() && text.compare(0, mark.size(), mark) == 0)
    return "<span color=\"red\">" + markupEscape(mark) + "</span>" +
           markupEscape(text.substr(mark.size()));
  return markupEscape(text);
}

int GuiQuestions::ask(Kind kind, const std::string& text, bool defaultNo, const char* checkLabel) {
  return messageBox(kind, markupOf(text), parent_, defaultNo, checkLabel);
}
