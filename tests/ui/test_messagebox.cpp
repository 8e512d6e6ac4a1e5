// Message boxes driven through their real widgets: each answer, the window's
// close button, the default button, the check box, markup and wrapping.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "shell/gtk/GuiQuestions.h"
#include "shell/gtk/MessageBox.h"
#include "shell/gtk/ResizableLabel.h"

// Helpers shared by the GUI tests of this program (declared again in the
// other test files that use them).
namespace uitest {

void ensureGtk() {
  static bool ready = gtk_init_check(nullptr, nullptr);
  ASSERT_TRUE(ready) << "no display: run under xvfb-run";
}

void collect(GtkWidget* widget, GType type, std::vector<GtkWidget*>& out) {
  if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type))
    out.push_back(widget);
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* c = children; c; c = c->next)
      collect(GTK_WIDGET(c->data), type, out);
    g_list_free(children);
  }
}

std::vector<GtkWidget*> findAll(GtkWidget* root, GType type) {
  std::vector<GtkWidget*> out;
  collect(root, type, out);
  return out;
}

// The newest visible modal dialog, or null.
GtkWidget* visibleDialog() {
  GtkWidget* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w; w = w->next) {
    GtkWidget* widget = GTK_WIDGET(w->data);
    if (GTK_IS_DIALOG(widget) && GTK_WIDGET_MAPPED(widget) &&
        gtk_window_get_modal(GTK_WINDOW(widget)))
      found = widget;
  }
  g_list_free(windows);
  return found;
}

// With MZK_UI_SHOTS=<folder>, a picture of the screen for each dialog the
// tests drive, to look at by eye.
void screenshot() {
  const char* folder = getenv("MZK_UI_SHOTS");
  if (!folder)
    return;
  static int count = 0;
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string path = std::string(folder) + "/" + (test ? test->name() : "shot") + "-" +
                     std::to_string(++count) + ".png";
  gdk_window_process_all_updates();
  gdk_flush();
  std::string command = "import -window root '" + path + "'";
  g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, nullptr, nullptr);
}

namespace {
struct Pending {
  std::function<void(GtkWidget*)> action;
  int polls = 0;
};

gboolean poll(gpointer data) {
  Pending* pending = static_cast<Pending*>(data);
  GtkWidget* dialog = visibleDialog();
  // Wait for the first layout as well, so that sizes can be checked.
  if (dialog && GTK_WIDGET(dialog)->allocation.width > 1 && ++pending->polls > 2) {
    screenshot();
    pending->action(dialog);
    delete pending;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

// Runs action on the next modal dialog that appears (from inside the
// dialog's own main loop).
void whenDialogShows(std::function<void(GtkWidget*)> action) {
  Pending* pending = new Pending;
  pending->action = std::move(action);
  g_timeout_add(20, poll, pending);
}

// What the window manager sends when the title bar's close button is pressed.
void closeWindow(GtkWidget* window) {
  GdkEvent* event = gdk_event_new(GDK_DELETE);
  event->any.window = GDK_WINDOW(g_object_ref(window->window));
  event->any.send_event = TRUE;
  gtk_main_do_event(event);
  gdk_event_free(event);
}

std::string labelTextIn(GtkWidget* root) {
  std::string text;
  for (GtkWidget* label : findAll(root, GTK_TYPE_LABEL)) {
    if (!text.empty())
      text += "\n";
    text += gtk_label_get_text(GTK_LABEL(label));
  }
  return text;
}

// The stock ids of the dialog's buttons, in the order they are shown.
std::vector<std::string> buttonStockIds(GtkWidget* dialog) {
  std::vector<std::string> ids;
  for (GtkWidget* b : findAll(GTK_DIALOG(dialog)->action_area, GTK_TYPE_BUTTON))
    if (!GTK_IS_CHECK_BUTTON(b) && gtk_button_get_label(GTK_BUTTON(b)))
      ids.push_back(gtk_button_get_label(GTK_BUTTON(b)));
  return ids;
}

}  // namespace uitest

using namespace uitest;

namespace {

struct Seen {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
  bool hasCheck = false;
  std::string checkLabel;
  int labelWidth = 0;
  int labelLines = 0;
};

// Shows a box, records what it shows, then answers it with `answer`.
int answerBox(int kind, const std::string& markup, bool defaultNo, const char* checkLabel,
              std::function<void(GtkWidget*)> answer, Seen* seen = nullptr) {
  whenDialogShows([answer, seen](GtkWidget* dialog) {
    if (seen) {
      seen->title = gtk_window_get_title(GTK_WINDOW(dialog));
      std::vector<GtkWidget*> labels = findAll(dialog, gtk_resizable_label_get_type());
      if (!labels.empty()) {
        GtkLabel* label = resizableLabelLabel(labels[0]);
        seen->text = gtk_label_get_text(label);
        seen->labelWidth = labels[0]->allocation.width;
        seen->labelLines = pango_layout_get_line_count(gtk_label_get_layout(label));
      }
      seen->buttons = buttonStockIds(dialog);
      std::vector<GtkWidget*> checks = findAll(dialog, GTK_TYPE_CHECK_BUTTON);
      seen->hasCheck = !checks.empty();
      if (seen->hasCheck)
        seen->checkLabel = gtk_button_get_label(GTK_BUTTON(checks[0]));
    }
    answer(dialog);
  });
  return messageBox(kind, markup, nullptr, defaultNo, checkLabel);
}

std::function<void(GtkWidget*)> respond(int response) {
  return [response](GtkWidget* d) { gtk_dialog_response(GTK_DIALOG(d), response); };
}

std::function<void(GtkWidget*)> tickThen(std::function<void(GtkWidget*)> then) {
  return [then](GtkWidget* d) {
    for (GtkWidget* c : findAll(d, GTK_TYPE_CHECK_BUTTON))
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c), TRUE);
    then(d);
  };
}

// Enter in the box: the default button answers.
void pressEnter(GtkWidget* d) { gtk_window_activate_default(GTK_WINDOW(d)); }

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { ensureGtk(); }
};

}  // namespace

TEST_F(MessageBoxTest, QuestionAndWarningAnswers) {
  for (int kind : {MessageBoxQuestion, MessageBoxWarning}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(0, answerBox(kind, "Go on?", false, nullptr, respond(GTK_RESPONSE_ACCEPT)));
    EXPECT_EQ(1, answerBox(kind, "Go on?", false, nullptr, respond(GTK_RESPONSE_REJECT)));
    EXPECT_EQ(1, answerBox(kind, "Go on?", false, nullptr, closeWindow));
  }
}

TEST_F(MessageBoxTest, DefaultButtonIsYesUnlessDefaultNo) {
  EXPECT_EQ(0, answerBox(MessageBoxQuestion, "Go on?", false, nullptr, pressEnter));
  EXPECT_EQ(1, answerBox(MessageBoxQuestion, "Go on?", true, nullptr, pressEnter));
  EXPECT_EQ(1, answerBox(MessageBoxWarning, "Go on?", true, nullptr, pressEnter));
}

TEST_F(MessageBoxTest, TickedCheckBoxAddsItsBit) {
  Seen seen;
  EXPECT_EQ(0x10, answerBox(MessageBoxQuestion, "Again?", true, "Yes To _All",
                            tickThen(respond(GTK_RESPONSE_ACCEPT)), &seen));
  EXPECT_TRUE(seen.hasCheck);
  EXPECT_EQ("Yes To _All", seen.checkLabel);
  EXPECT_EQ(0x11, answerBox(MessageBoxQuestion, "Again?", true, "Yes To _All",
                            tickThen(respond(GTK_RESPONSE_REJECT))));
  EXPECT_EQ(0x11, answerBox(MessageBoxWarning, "Again?", true, "Yes To _All",
                            tickThen(closeWindow)));
  // Shown but left unticked: no bit.
  EXPECT_EQ(1, answerBox(MessageBoxQuestion, "Again?", true, "Yes To _All",
                         respond(GTK_RESPONSE_REJECT)));
  // A box with a single button still reports the check box.
  EXPECT_EQ(0x10, answerBox(MessageBoxError, "Failed.", false, "_Skip the rest",
                            tickThen(respond(GTK_RESPONSE_REJECT))));
}

TEST_F(MessageBoxTest, NoCheckBoxWithoutLabel) {
  Seen seen;
  answerBox(MessageBoxQuestion, "Go on?", false, nullptr, respond(GTK_RESPONSE_ACCEPT), &seen);
  EXPECT_FALSE(seen.hasCheck);
}

TEST_F(MessageBoxTest, KindsShowTheirTitleAndButtons) {
  struct Case {
    int kind;
    const char* title;
    std::vector<std::string> buttons;
  } cases[] = {
      {MessageBoxError, "Error", {GTK_STOCK_CLOSE}},
      {MessageBoxQuestion, "Question", {GTK_STOCK_NO, GTK_STOCK_YES}},
      {MessageBoxWarning, "Warning", {GTK_STOCK_NO, GTK_STOCK_YES}},
      {MessageBoxInformation, "Information", {GTK_STOCK_CLOSE}},
      {MessageBoxNotice, "Information", {GTK_STOCK_OK}},
      {7, "Error", {GTK_STOCK_CLOSE}},
      {-1, "Error", {GTK_STOCK_CLOSE}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    Seen seen;
    answerBox(c.kind, "Text", false, nullptr, respond(GTK_RESPONSE_REJECT), &seen);
    EXPECT_EQ(c.title, seen.title);
    std::vector<std::string> sorted = seen.buttons;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> expected = c.buttons;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, sorted);
  }
}

TEST_F(MessageBoxTest, KindsWithoutYesAlwaysGiveZero) {
  for (int kind : {MessageBoxError, MessageBoxInformation, MessageBoxNotice}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(0, answerBox(kind, "Done.", false, nullptr, respond(GTK_RESPONSE_REJECT)));
    EXPECT_EQ(0, answerBox(kind, "Done.", true, nullptr, closeWindow));
    EXPECT_EQ(0, answerBox(kind, "Done.", false, nullptr, pressEnter));
  }
}

TEST_F(MessageBoxTest, MarkupIsShownAsText) {
  Seen seen;
  answerBox(MessageBoxInformation, "<b>Saved</b> to <i>/tmp</i>", false, nullptr,
            respond(GTK_RESPONSE_REJECT), &seen);
  EXPECT_EQ("Saved to /tmp", seen.text);
}

TEST_F(MessageBoxTest, LongTextWrapsShortTextKeepsItsWidth) {
  std::string longText;
  for (int i = 0; i < 40; ++i)
    longText += "recovered ";
  Seen wrapped;
  answerBox(MessageBoxInformation, longText, false, nullptr, respond(GTK_RESPONSE_REJECT),
            &wrapped);
  EXPECT_GT(wrapped.labelLines, 1);
  EXPECT_LE(wrapped.labelWidth, 520);
  EXPECT_GE(wrapped.labelWidth, 400);

  Seen single;
  answerBox(MessageBoxInformation, "Done.", false, nullptr, respond(GTK_RESPONSE_REJECT), &single);
  EXPECT_EQ(1, single.labelLines);
  EXPECT_LT(single.labelWidth, 200);
}

TEST(ResizableLabel, RegisteredAsLayout) {
  ensureGtk();
  GType type = g_type_from_name("GtkResizableLabel");
  ASSERT_NE(0u, type);
  EXPECT_EQ(type, gtk_resizable_label_get_type());
  EXPECT_TRUE(g_type_is_a(type, GTK_TYPE_LAYOUT));
  GtkWidget* label = resizableLabelNew("a <b>b</b>", 500);
  g_object_ref_sink(label);
  EXPECT_STREQ("a b", gtk_label_get_text(resizableLabelLabel(label)));
  EXPECT_TRUE(gtk_label_get_line_wrap(resizableLabelLabel(label)));
  gtk_widget_destroy(label);
  g_object_unref(label);
}

TEST(ResizableLabel, MinimumWidthIsTheSmallerOfTextAndMaximum) {
  ensureGtk();
  std::string longText(300, 'x');
  longText = "word " + longText;
  GtkWidget* wide = resizableLabelNew(longText.c_str(), 500);
  GtkWidget* narrow = resizableLabelNew("ok", 500);
  g_object_ref_sink(wide);
  g_object_ref_sink(narrow);
  EXPECT_EQ(500, reinterpret_cast<GtkResizableLabel*>(wide)->minWidth);
  int natural = reinterpret_cast<GtkResizableLabel*>(narrow)->minWidth;
  EXPECT_GT(natural, 0);
  EXPECT_LT(natural, 100);
  resizableLabelSetMinWidth(wide, 100);
  EXPECT_EQ(100, reinterpret_cast<GtkResizableLabel*>(wide)->minWidth);
  int w = 0;
  gtk_widget_get_size_request(wide, &w, nullptr);
  EXPECT_EQ(100, w);
  gtk_widget_destroy(wide);
  gtk_widget_destroy(narrow);
  g_object_unref(wide);
  g_object_unref(narrow);
}

TEST(MarkupEscape, EscapesEveryMarkupCharacter) {
  EXPECT_EQ("Fotos &amp; Videos &lt;1&gt;", markupEscape("Fotos & Videos <1>"));
  EXPECT_EQ("&quot;a&apos;", markupEscape("\"a'"));
  EXPECT_EQ("", markupEscape(""));
}

TEST_F(MessageBoxTest, QuestionsShowPlainTextUnchanged) {
  const std::string path = "/media/card/Fotos & Videos <2009>/IMG_0001.JPG";
  std::string shown;
  int askedKind = -1;
  whenDialogShows([&](GtkWidget* dialog) {
    std::vector<GtkWidget*> labels = findAll(dialog, gtk_resizable_label_get_type());
    if (!labels.empty())
      shown = gtk_label_get_text(resizableLabelLabel(labels[0]));
    askedKind = buttonStockIds(dialog).size() == 2 ? 1 : 0;
    for (GtkWidget* c : findAll(dialog, GTK_TYPE_CHECK_BUTTON))
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c), TRUE);
    gtk_window_activate_default(GTK_WINDOW(dialog));
  });
  GuiQuestions questions;
  int result = questions.ask(Questions::Question, "Cannot write " + path + ". Retry?", true,
                             "Yes To _All");
  EXPECT_EQ("Cannot write " + path + ". Retry?", shown);
  EXPECT_EQ(1, askedKind);
  EXPECT_EQ(Questions::NotYes | Questions::Checked, result);
}

TEST(GuiQuestionsMarkup, WarningMarkIsRedAndTheRestEscaped) {
  EXPECT_EQ("<span color=\"red\">Warning:</span> a &amp; b",
            GuiQuestions::markupOf("Warning: a & b"));
  EXPECT_EQ("No &lt;warning&gt; here", GuiQuestions::markupOf("No <warning> here"));
  // The markup parses and shows the plain text back.
  gchar* text = nullptr;
  ASSERT_TRUE(pango_parse_markup(GuiQuestions::markupOf("Warning: <&>").c_str(), -1, 0, nullptr,
                                 &text, nullptr, nullptr));
  EXPECT_STREQ("Warning: <&>", text);
  g_free(text);
}

// --- opening with the desktop's programs ---------------------------------------

#include "shell/DebugLog.h"
#include "shell/gtk/SystemOpen.h"

TEST(SystemOpenUri, AddressesStayFilesBecomeFileUris) {
  EXPECT_EQ("https://example.org/manual.html", systemOpenUri("https://example.org/manual.html"));
  EXPECT_EQ("mailto:mzk@localhost", systemOpenUri("mailto:mzk@localhost"));

  const std::string path = "/tmp/Fotos & Videos/Bild #1 ü.jpg";
  std::string uri = systemOpenUri(path);
  ASSERT_EQ(0u, uri.find("file:///"));
  gchar* back = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(path, back);
  g_free(back);
}

TEST(SystemOpenUri, RelativePathsAreTakenFromTheCurrentFolder) {
  gchar* current = g_get_current_dir();
  std::string uri = systemOpenUri("manual.html");
  gchar* back = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(std::string(current) + "/manual.html", back);
  g_free(back);
  g_free(current);
}

TEST(SystemOpenUri, InvalidTextIsLoggedAndNotOpened) {
  DebugLogCapture log;
  EXPECT_EQ("", systemOpenUri("/tmp/bad\xff\xfe name"));
  EXPECT_NE(std::string::npos, log.text().find("SystemOpen(14): "));
}

TEST_F(MessageBoxTest, NothingAssociatedTellsTheUser) {
  DebugLogCapture log;
  std::string shown;
  whenDialogShows([&](GtkWidget* dialog) {
    std::vector<GtkWidget*> labels = findAll(dialog, gtk_resizable_label_get_type());
    if (!labels.empty())
      shown = gtk_label_get_text(resizableLabelLabel(labels[0]));
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_REJECT);
  });
  systemOpen("mzk-no-such-scheme:card & <1>");
  EXPECT_NE(std::string::npos, shown.find("\"mzk-no-such-scheme:card & <1>\""));
  EXPECT_NE(std::string::npos, log.text().find("SystemOpen(21): mzk-no-such-scheme:card & <1>"));
}
