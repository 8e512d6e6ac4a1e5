// The window base: its menus and actions, the quit confirmation, the file
// chooser and the offset/size dialog, driven through the real widgets.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "media/ReaderFile.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "tests/support/MemoryReader.h"
#include "tests/ui/WindowTestDriver.h"
#include "ui/OffsetSizeDialog.h"
#include "ui/WindowBase.h"

using namespace wintest;

namespace {

// Records which virtual operation each action reached.
class RecordingWindow : public WindowBase {
 public:
  RecordingWindow(ConfigRecord* media, FileCase* fileCase, ConfigRecord* config, bool browser)
      : WindowBase(nullptr, media, fileCase, config, browser) {}
  bool prepareMedia() override { calls.push_back("prepareMedia"); return false; }
  void selectMedia() override { calls.push_back("selectMedia"); }
  void refresh() override { calls.push_back("refresh"); }
  void scanFile() override { calls.push_back("scanFile"); }
  void eraseCard() override { calls.push_back("eraseCard"); }
  void formatCard() override { calls.push_back("formatCard"); }
  void print() override { calls.push_back("print"); }
  void pageSetup() override { calls.push_back("pageSetup"); }
  void selectAll() override { calls.push_back("selectAll"); }
  void unselectAll() override { calls.push_back("unselectAll"); }
  void recover() override { calls.push_back("recover"); }
  std::vector<std::string> calls;
};

class WindowBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gtkReady()) << "no display: run under xvfb-run";
    config.set("Program Path", MZK_APP_DIR);
    fileCase.reset(new FileCase(config, allFileSystems()));
  }
  void activate(WindowBase& window, const char* name) {
    GtkAction* action = gtk_action_group_get_action(window.actionGroup(), name);
    ASSERT_NE(action, nullptr) << name;
    gtk_action_activate(action);
  }
  ConfigRecord config;
  ConfigRecord media;
  std::unique_ptr<FileCase> fileCase;
};

std::string labelOf(WindowBase& window, const char* name) {
  GtkAction* action = gtk_action_group_get_action(window.actionGroup(), name);
  if (!action) return "<none>";
  const char* label = gtk_action_get_label(action);
  return label ? label : "";
}

}  // namespace

// ---- menus and actions ----

TEST_F(WindowBaseTest, BothWindowsCarryAllTwentyActionsWithTheirLabels) {
  for (bool browser : {false, true}) {
    RecordingWindow window(&media, fileCase.get(), &config, browser);
    GList* actions = gtk_action_group_list_actions(window.actionGroup());
    EXPECT_EQ(g_list_length(actions), 20u);
    g_list_free(actions);
    EXPECT_EQ(labelOf(window, "SaveRawData"), "Save a Card as a File");
    EXPECT_EQ(labelOf(window, "RestoreRawData"), "Restore a Saved Card File");
    EXPECT_EQ(labelOf(window, "Refresh"), "_Look for media cards and cameras");
    EXPECT_EQ(labelOf(window, "Quit"), "_Quit");
    EXPECT_EQ(labelOf(window, "HelpMenu"), "_Help");
  }
}

TEST_F(WindowBaseTest, SelectionWindowShowsItsFileMenuAndHelpButNoEditMenu) {
  DebugLogCapture log;
  RecordingWindow window(&media, fileCase.get(), &config, false);
  for (const char* path :
       {"/MenuBar", "/MenuBar/FileMenu/Refresh", "/MenuBar/FileMenu/SaveRawData",
        "/MenuBar/FileMenu/ScanFile", "/MenuBar/FileMenu/RestoreRawData",
        "/MenuBar/FileMenu/Erase", "/MenuBar/FileMenu/Format", "/MenuBar/FileMenu/Preferences",
        "/MenuBar/FileMenu/SaveDebug", "/MenuBar/FileMenu/Quit", "/MenuBar/HelpMenu/Manual",
        "/MenuBar/HelpMenu/About"})
    EXPECT_NE(window.getWidget(path), nullptr) << path;
  EXPECT_EQ(log.text(), "");
  EXPECT_EQ(window.getWidget("/MenuBar/EditMenu/Recover"), nullptr);
  EXPECT_EQ(window.getWidget("/MenuBar/FileMenu/Print"), nullptr);
  EXPECT_EQ(log.text(),
            "WindowBase(293): /MenuBar/EditMenu/Recover\nWindowBase(293): /MenuBar/FileMenu/Print\n");
}

TEST_F(WindowBaseTest, BrowserShowsFileAndEditMenusThenHelpInOneMenuBar) {
  RecordingWindow window(&media, fileCase.get(), &config, true);
  for (const char* path :
       {"/MenuBar/FileMenu/SelectMedia", "/MenuBar/FileMenu/SaveRawData",
        "/MenuBar/FileMenu/Print", "/MenuBar/FileMenu/PageSetup", "/MenuBar/FileMenu/Quit",
        "/MenuBar/EditMenu/SelectAll", "/MenuBar/EditMenu/UnselectAll",
        "/MenuBar/EditMenu/Recover", "/MenuBar/HelpMenu/Manual"})
    EXPECT_NE(window.getWidget(path), nullptr) << path;
  EXPECT_EQ(window.getWidget("/MenuBar/FileMenu/Erase"), nullptr);
  EXPECT_EQ(window.getWidget("/MenuBar/FileMenu/RestoreRawData"), nullptr);
  // The three menus sit in one bar, File first and Help last.
  GList* items = gtk_container_get_children(GTK_CONTAINER(window.menuBar()));
  ASSERT_EQ(g_list_length(items), 3u);
  EXPECT_EQ(GTK_WIDGET(g_list_nth_data(items, 0)), window.getWidget("/MenuBar/FileMenu"));
  EXPECT_EQ(GTK_WIDGET(g_list_nth_data(items, 2)), window.getWidget("/MenuBar/HelpMenu"));
  g_list_free(items);
}

TEST_F(WindowBaseTest, EachActionReachesItsOwnOperation) {
  RecordingWindow window(&media, fileCase.get(), &config, true);
  const std::vector<std::pair<const char*, const char*>> table = {
      {"SelectMedia", "selectMedia"}, {"Refresh", "refresh"},   {"ScanFile", "scanFile"},
      {"Erase", "eraseCard"},         {"Format", "formatCard"}, {"Print", "print"},
      {"PageSetup", "pageSetup"},     {"SelectAll", "selectAll"},
      {"UnselectAll", "unselectAll"}, {"Recover", "recover"},
      // The raw-data commands start by making sure there is a medium.
      {"SaveRawData", "prepareMedia"}, {"RestoreRawData", "prepareMedia"}};
  for (auto& entry : table) {
    window.calls.clear();
    activate(window, entry.first);
    ASSERT_EQ(window.calls.size(), 1u) << entry.first;
    EXPECT_EQ(window.calls[0], entry.second) << entry.first;
  }
}

TEST_F(WindowBaseTest, SaveDebugIsHiddenUnlessTheLogIsKeptInMemory) {
  {
    DebugLogCapture log;
    RecordingWindow window(&media, fileCase.get(), &config, false);
    EXPECT_TRUE(gtk_widget_get_visible(window.getWidget("/MenuBar/FileMenu/SaveDebug")));
  }
  std::ostream* previous = debugLog;
  const char* previousKind = debugLogKind;
  debugLog = &debugLogNull();
  debugLogKind = "null";
  for (bool browser : {false, true}) {
    RecordingWindow window(&media, fileCase.get(), &config, browser);
    EXPECT_FALSE(gtk_widget_get_visible(window.getWidget("/MenuBar/FileMenu/SaveDebug")));
    // Activated anyway (an accelerator, a script): nothing is offered.
    DialogScript script;
    activate(window, "SaveDebug");
    EXPECT_TRUE(script.handled.empty());
  }
  debugLog = previous;
  debugLogKind = previousKind;
}

TEST_F(WindowBaseTest, PreferencesAndAboutOpenTheirDialogsOverTheWindow) {
  RecordingWindow window(&media, fileCase.get(), &config, false);
  for (const char* name : {"Preferences", "About"}) {
    GtkWindow* parent = nullptr;
    DialogScript script;
    script.then(name, [&parent](GtkWidget* dialog) {
      parent = gtk_window_get_transient_for(GTK_WINDOW(dialog));
      gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
      return true;
    });
    activate(window, name);
    EXPECT_TRUE(script.finished()) << name;
    EXPECT_EQ(parent, window.window()) << name;
  }
}

// ---- quit confirmation ----

TEST_F(WindowBaseTest, ClosingTheWindowAsksAndNoKeepsItOpen) {
  std::unique_ptr<RecordingWindow> window(
      new RecordingWindow(&media, fileCase.get(), &config, false));
  gtk_widget_show_all(GTK_WIDGET(window->window()));
  bool destroyed = false;
  g_signal_connect(window->window(), "destroy",
                   G_CALLBACK(+[](GtkWidget*, gpointer flag) { *static_cast<bool*>(flag) = true; }),
                   &destroyed);
  GdkEvent* event = gdk_event_new(GDK_DELETE);
  event->any.window = GDK_WINDOW(g_object_ref(GTK_WIDGET(window->window())->window));
  for (int answer : {GTK_RESPONSE_REJECT, GTK_RESPONSE_ACCEPT}) {
    DialogScript script;
    script.then("Question", respond(answer));
    // As the window manager's close button arrives.
    gtk_main_do_event(event);
    ASSERT_TRUE(script.finished());
    EXPECT_NE(script.texts[0].find("Do you want to quit the program?"), std::string::npos);
    EXPECT_EQ(destroyed, answer == GTK_RESPONSE_ACCEPT);
  }
  gdk_event_free(event);
  window.reset();  // after the toolkit destroyed its window
}

TEST_F(WindowBaseTest, QuitOnYesLeavesTheMainLoop) {
  RecordingWindow window(&media, fileCase.get(), &config, false);
  DialogScript script;
  script.then("Question", respond(GTK_RESPONSE_ACCEPT));
  bool result = false;
  g_idle_add(
      [](gpointer data) -> gboolean {
        auto* w = static_cast<RecordingWindow*>(data);
        GtkAction* action = gtk_action_group_get_action(w->actionGroup(), "Quit");
        gtk_action_activate(action);
        return FALSE;
      },
      &window);
  gtk_main();  // returns only because Yes left it
  result = script.finished();
  EXPECT_TRUE(result);
}

// ---- file chooser ----

TEST_F(WindowBaseTest, ChooserTitlesFollowTheAction) {
  RecordingWindow window(&media, fileCase.get(), &config, false);
  const std::vector<std::pair<GtkFileChooserAction, const char*>> table = {
      {GTK_FILE_CHOOSER_ACTION_OPEN, "Select Source File"},
      {GTK_FILE_CHOOSER_ACTION_SAVE, "Select Destination File"},
      {GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "Select Destination Folder"}};
  for (auto& entry : table) {
    DialogScript script;
    script.then(entry.second, respond(GTK_RESPONSE_CANCEL));
    std::string path = "unchanged";
    EXPECT_FALSE(window.chooseFile(path, entry.first));
    EXPECT_TRUE(script.finished()) << entry.second;
    EXPECT_EQ(path, "unchanged");
  }
}

TEST_F(WindowBaseTest, AcceptedChoiceGivesThePathAndMovesTheLastFolder) {
  TempFolder tmp;
  ASSERT_EQ(mkdir(tmp.file("photos").c_str(), 0755), 0);
  writeWhole(tmp.file("photos/card.img"), "abc");
  RecordingWindow window(&media, fileCase.get(), &config, false);
  EXPECT_EQ(window.lastFolder(), g_get_home_dir());
  DialogScript script;
  script.then("Select Source File", choose(tmp.file("photos/card.img")));
  std::string path;
  ASSERT_TRUE(window.chooseFile(path, GTK_FILE_CHOOSER_ACTION_OPEN));
  EXPECT_EQ(path, tmp.file("photos/card.img"));
  EXPECT_EQ(window.lastFolder(), tmp.file("photos"));
}

TEST_F(WindowBaseTest, ChooserRefusesTheImageBeingScannedAndOpensAgain) {
  TempFolder tmp;
  const std::string image = tmp.file("data.img");
  const std::string bytes = patternBytes(8192);
  writeWhole(image, bytes);
  ReaderFile* reader = new ReaderFile;
  ASSERT_TRUE(reader->open(image.c_str()));
  fileCase->setReader(reader);
  RecordingWindow window(&media, fileCase.get(), &config, false);
  DialogScript script;
  // The toolkit's own overwrite question comes first (an untitled box).
  script.then("Select Destination File", choose(image))
      .then("", respond(GTK_RESPONSE_ACCEPT))
      .then("Error", respond(GTK_RESPONSE_REJECT))
      .then("Select Destination File", respond(GTK_RESPONSE_CANCEL));
  std::string path = "data.img";
  EXPECT_FALSE(window.chooseFile(path, GTK_FILE_CHOOSER_ACTION_SAVE));
  ASSERT_TRUE(script.finished()) << script.handled.size();
  EXPECT_NE(script.texts[2].find("lies on the media"), std::string::npos) << script.texts[2];
  EXPECT_EQ(readWhole(image), bytes);
  // A folder beside it is another matter.
  DialogScript folder;
  folder.then("Select Destination Folder", choose(tmp.path()));
  EXPECT_TRUE(window.chooseFile(path, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER));
  EXPECT_EQ(path, tmp.path());
  EXPECT_TRUE(folder.unexpected.empty());
}

// ---- offset and size dialog ----

TEST(OffsetSizeRule, AcceptsANonEmptyRangeInsideTheEnd) {
  int64_t offset = 5, size = 95;
  EXPECT_TRUE(reviewOffsetAndSize(offset, size, 100));
  EXPECT_EQ(offset, 5);
  EXPECT_EQ(size, 95);
  offset = 0, size = 100;
  EXPECT_TRUE(reviewOffsetAndSize(offset, size, 100));
}

TEST(OffsetSizeRule, RangePastTheEndGetsTheSizeThatFits) {
  int64_t offset = 5, size = 100;
  EXPECT_FALSE(reviewOffsetAndSize(offset, size, 100));
  EXPECT_EQ(offset, 5);
  EXPECT_EQ(size, 95);
}

TEST(OffsetSizeRule, OffsetPastTheEndIsClampedWithSizeZero) {
  int64_t offset = 250, size = 10;
  EXPECT_FALSE(reviewOffsetAndSize(offset, size, 100));
  EXPECT_EQ(offset, 100);
  EXPECT_EQ(size, 0);
  // And the corrected values are asked again, not accepted.
  EXPECT_FALSE(reviewOffsetAndSize(offset, size, 100));
}

TEST(OffsetSizeRule, EmptyRangeIsAskedAgain) {
  int64_t offset = 7, size = 0;
  EXPECT_FALSE(reviewOffsetAndSize(offset, size, 100));
  EXPECT_EQ(offset, 7);
  EXPECT_EQ(size, 0);
}

TEST(OffsetSizeRule, SumsNearTheTopDoNotWrap) {
  int64_t offset = INT64_MAX - 1, size = 10;
  EXPECT_FALSE(reviewOffsetAndSize(offset, size, INT64_MAX));
  EXPECT_EQ(offset, INT64_MAX - 1);
  EXPECT_EQ(size, 1);
}

TEST_F(WindowBaseTest, DialogReopensWithTheSizeThatFitsThenAccepts) {
  RecordingWindow window(&media, fileCase.get(), &config, false);
  std::vector<std::pair<double, double>> shown;
  DialogScript script;
  script.then("Range", enterRange(5, 100, &shown))
      .then("Range", noteRange(&shown, GTK_RESPONSE_OK));
  int64_t offset = 0, size = 100;
  ASSERT_TRUE(window.askOffsetAndSize("Range", window.window(), offset, size, 100, 100));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], std::make_pair(0.0, 100.0));  // the values given
  EXPECT_EQ(shown[1], std::make_pair(5.0, 95.0));   // corrected, asked again
  EXPECT_EQ(offset, 5);
  EXPECT_EQ(size, 95);
}

TEST_F(WindowBaseTest, DialogReopensOnSizeZeroUntilARangeIsGiven) {
  RecordingWindow window(&media, fileCase.get(), &config, false);
  std::vector<std::pair<double, double>> shown;
  DialogScript script;
  script.then("Range", enterRange(10, 0))
      .then("Range", enterRange(10, 0, &shown))
      .then("Range", enterRange(20, 30, &shown));
  int64_t offset = 0, size = 100;
  ASSERT_TRUE(window.askOffsetAndSize("Range", window.window(), offset, size, 100, 100));
  ASSERT_TRUE(script.finished());
  EXPECT_EQ(shown[0], std::make_pair(10.0, 0.0));
  EXPECT_EQ(offset, 20);
  EXPECT_EQ(size, 30);
}

TEST_F(WindowBaseTest, DialogSpinButtonsKeepToTheirLimits) {
  // Size limit 40 (an image file), end limit 100 (the medium).
  RecordingWindow window(&media, fileCase.get(), &config, false);
  std::vector<std::pair<double, double>> shown;
  DialogScript script;
  script.then("Range", enterRange(500, 500))
      .then("Range", noteRange(&shown, GTK_RESPONSE_CANCEL));
  int64_t offset = 0, size = 40;
  EXPECT_FALSE(window.askOffsetAndSize("Range", window.window(), offset, size, 40, 100));
  // The spin buttons stop at 100 and 40; that range ends past the medium,
  // so the dialog comes back with the size that is left there: none.
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], std::make_pair(100.0, 0.0));
  EXPECT_EQ(offset, 0);
  EXPECT_EQ(size, 40);
}

TEST_F(WindowBaseTest, CancelLeavesTheValuesAlone) {
  RecordingWindow window(&media, fileCase.get(), &config, false);
  DialogScript script;
  script.then("Range", respond(GTK_RESPONSE_CANCEL));
  int64_t offset = 3, size = 4;
  EXPECT_FALSE(window.askOffsetAndSize("Range", window.window(), offset, size, 100, 100));
  EXPECT_EQ(offset, 3);
  EXPECT_EQ(size, 4);
}
