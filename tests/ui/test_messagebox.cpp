// Message boxes and questions through their real buttons, and opening
// files and addresses with the desktop's programs.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>

#include "shell/gtk/GuiQuestions.h"
#include "shell/gtk/MessageBox.h"
#include "shell/gtk/ResizableLabel.h"
#include "shell/gtk/SystemOpen.h"
#include "tests/ui/WindowTestDriver.h"

using namespace wintest;

namespace {

// The text the box shows, its label's width and line count.
struct Shown {
  std::string text;
  int width = 0, lines = 0;
};

// Presses the button with that stock label, "close" (the title bar) or
// "enter" (the default button); ticks the check box first when asked to.
DialogScript::Action answer(const std::string& how, bool tick, Shown* shown = nullptr) {
  return [=](GtkWidget* dialog) {
    pump();  // the label settles its width after the first layout
    if (shown) {
      std::vector<GtkWidget*> labels = widgetsOf(dialog, gtk_resizable_label_get_type());
      if (labels.empty()) return false;
      GtkLabel* label = resizableLabelLabel(labels[0]);
      *shown = {gtk_label_get_text(label), labels[0]->allocation.width,
                pango_layout_get_line_count(gtk_label_get_layout(label))};
    }
    for (GtkWidget* check : widgetsOf(dialog, GTK_TYPE_CHECK_BUTTON))
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), tick);
    if (how == "close") {
      closeWindow(dialog);
    } else if (how == "enter") {
      gtk_window_activate_default(GTK_WINDOW(dialog));
    } else {
      GtkWidget* button = stockButton(dialog, how.c_str());
      if (button) {
        gtk_button_clicked(GTK_BUTTON(button));
      } else {
        ADD_FAILURE() << "no button " << how;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_NONE);
      }
    }
    return true;
  };
}

typedef WindowTest MessageBoxTest;

}  // namespace

TEST_F(MessageBoxTest, EachKindAnswersWithItsBits) {
  const char* const kAll = "Yes To _All";
  const struct {
    int kind;
    bool defaultNo;
    const char* check;
    bool tick;
    const char* how;
    int result;
    const char* title;
  } cases[] = {
      {MessageBoxQuestion, false, nullptr, false, GTK_STOCK_YES, 0, "Question"},
      {MessageBoxQuestion, false, nullptr, false, GTK_STOCK_NO, MessageBoxNotYes, "Question"},
      {MessageBoxQuestion, false, nullptr, false, "close", MessageBoxNotYes, "Question"},
      {MessageBoxQuestion, false, nullptr, false, "enter", 0, "Question"},
      {MessageBoxQuestion, true, nullptr, false, "enter", MessageBoxNotYes, "Question"},
      {MessageBoxWarning, true, nullptr, false, "enter", MessageBoxNotYes, "Warning"},
      {MessageBoxWarning, false, nullptr, false, GTK_STOCK_YES, 0, "Warning"},
      {MessageBoxQuestion, true, kAll, true, GTK_STOCK_YES, MessageBoxChecked, "Question"},
      {MessageBoxQuestion, true, kAll, true, GTK_STOCK_NO, MessageBoxChecked | MessageBoxNotYes, "Question"},
      {MessageBoxWarning, true, kAll, true, "close", MessageBoxChecked | MessageBoxNotYes, "Warning"},
      {MessageBoxQuestion, true, kAll, false, GTK_STOCK_NO, MessageBoxNotYes, "Question"},
      // Kinds without Yes give no "not yes", whatever closes them.
      {MessageBoxError, false, "_Skip the rest", true, GTK_STOCK_CLOSE, MessageBoxChecked, "Error"},
      {MessageBoxError, true, nullptr, false, "close", 0, "Error"},
      {MessageBoxInformation, true, nullptr, false, "enter", 0, "Information"},
      {MessageBoxNotice, false, nullptr, false, GTK_STOCK_OK, 0, "Information"},
      {7, false, nullptr, false, GTK_STOCK_CLOSE, 0, "Error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.title) + " " + c.how + (c.defaultNo ? " default no" : "") +
                 (c.tick ? " ticked" : ""));
    DialogScript script;
    script.then(c.title, answer(c.how, c.tick));
    EXPECT_EQ(messageBox(c.kind, "Go on?", nullptr, c.defaultNo, c.check), c.result);
    EXPECT_TRUE(script.finished() && script.unexpected.empty());
  }
}

TEST_F(MessageBoxTest, MarkupShowsAsTextAndLongTextWraps) {
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "recovered ";
  Shown markup, wrapped;
  DialogScript script;
  script.then("Information", answer(GTK_STOCK_CLOSE, false, &markup))
      .then("Information", answer(GTK_STOCK_CLOSE, false, &wrapped));
  messageBox(MessageBoxInformation, "<b>Saved</b> to <i>/tmp</i>", nullptr, false, nullptr);
  messageBox(MessageBoxInformation, longText, nullptr, false, nullptr);
  EXPECT_EQ(markup.text, "Saved to /tmp");
  EXPECT_EQ(markup.lines, 1);
  EXPECT_LT(markup.width, 200);
  EXPECT_GT(wrapped.lines, 1);
  EXPECT_GE(wrapped.width, 400);
  EXPECT_LE(wrapped.width, 520);
}

TEST_F(MessageBoxTest, QuestionsShowTheirPlainTextUnchanged) {
  // A warning mark is shown in red; the rest is never taken for markup.
  for (const std::string text : {"Cannot write /media/Fotos & Videos <2009>/IMG_1.JPG. Retry?",
                                 "Warning: <b>a</b> & b"}) {
    Shown shown;
    DialogScript script;
    script.then("Question", answer(GTK_STOCK_NO, true, &shown));
    GuiQuestions questions;
    EXPECT_EQ(questions.ask(Questions::Question, text, true, "Yes To _All"),
              Questions::NotYes | Questions::Checked);
    EXPECT_EQ(shown.text, text);
  }
  EXPECT_EQ(GuiQuestions::markupOf("Warning: a & b"), "<span color=\"red\">Warning:</span> a &amp; b");
}

TEST_F(MessageBoxTest, FilesBecomeFileAddressesAndUnknownSchemesAreTold) {
  gchar* current = g_get_current_dir();
  const struct {
    std::string given, opened;  // opened: the address, or the file it names
  } cases[] = {{"https://example.org/manual.html", "https://example.org/manual.html"},
               {"mailto:mzk@localhost", "mailto:mzk@localhost"},
               {"/tmp/Fotos & Videos/Bild #1 ü.jpg", "/tmp/Fotos & Videos/Bild #1 ü.jpg"},
               {"manual.html", std::string(current) + "/manual.html"},
               {"/tmp/bad\xff\xfe name", ""}};
  g_free(current);
  for (const auto& c : cases) {
    const std::string uri = systemOpenUri(c.given);
    gchar* file = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
    EXPECT_EQ(file ? std::string(file) : uri, c.opened) << uri;
    g_free(file);
  }
  Shown shown;
  DialogScript script;
  script.then("Information", answer(GTK_STOCK_CLOSE, false, &shown));
  systemOpen("mzk-no-such-scheme:card & <1>");
  EXPECT_NE(shown.text.find("\"mzk-no-such-scheme:card & <1>\""), std::string::npos) << shown.text;
}
