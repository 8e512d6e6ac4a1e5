// The window base: its menus and actions, the quit confirmation, the file
// chooser and the offset/size dialog, driven through the real widgets.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "media/ReaderFile.h"
#include "shell/DebugLog.h"
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
  bool prepareMedia() override {
    note("prepareMedia");
    return false;
  }
  void selectMedia() override { note("selectMedia"); }
  void refresh() override { note("refresh"); }
  void scanFile() override { note("scanFile"); }
  void eraseCard() override { note("eraseCard"); }
  void formatCard() override { note("formatCard"); }
  void print() override { note("print"); }
  void pageSetup() override { note("pageSetup"); }
  void selectAll() override { note("selectAll"); }
  void unselectAll() override { note("unselectAll"); }
  void recover() override { note("recover"); }
  void note(const char* call) { calls.push_back(call); }
  void activate(const char* name) { gtk_action_activate(gtk_action_group_get_action(actionGroup(), name)); }
  std::vector<std::string> calls;
};

class WindowBaseTest : public WindowTest {
 protected:
  RecordingWindow* open(bool browser) {
    window.reset(new RecordingWindow(&media, fileCase.get(), &config, browser));
    return window.get();
  }
  std::unique_ptr<RecordingWindow> window;
};

}  // namespace

TEST_F(WindowBaseTest, EachWindowOffersItsCommandsAndEachReachesItsOperation) {
  const struct {
    bool browser;
    std::vector<std::pair<const char*, const char*>> items;  // menu item, operation reached
    std::vector<const char*> absent;
  } cases[] = {
      {false,
       {{"FileMenu/Refresh", "refresh"}, {"FileMenu/ScanFile", "scanFile"}, {"FileMenu/Erase", "eraseCard"},
        {"FileMenu/Format", "formatCard"},
        // The raw-data commands start by making sure there is a medium.
        {"FileMenu/SaveRawData", "prepareMedia"}, {"FileMenu/RestoreRawData", "prepareMedia"},
        {"FileMenu/Preferences", ""}, {"FileMenu/Quit", ""}, {"HelpMenu/Manual", ""}, {"HelpMenu/About", ""}},
       {"EditMenu", "FileMenu/Print", "FileMenu/SelectMedia"}},
      {true,
       {{"FileMenu/SelectMedia", "selectMedia"}, {"FileMenu/SaveRawData", "prepareMedia"},
        {"FileMenu/Print", "print"}, {"FileMenu/PageSetup", "pageSetup"}, {"EditMenu/SelectAll", "selectAll"},
        {"EditMenu/UnselectAll", "unselectAll"}, {"EditMenu/Recover", "recover"}, {"FileMenu/Quit", ""},
        {"HelpMenu/About", ""}},
       {"FileMenu/Erase", "FileMenu/Format", "FileMenu/RestoreRawData", "FileMenu/ScanFile"}},
  };
  for (const auto& c : cases) {
    RecordingWindow* w = open(c.browser);
    for (const auto& item : c.items) {
      const std::string path = std::string("/MenuBar/") + item.first;
      GtkWidget* widget = w->getWidget(path.c_str());
      ASSERT_NE(widget, nullptr) << path;
      if (!*item.second) continue;
      w->calls.clear();
      gtk_menu_item_activate(GTK_MENU_ITEM(widget));
      EXPECT_EQ(w->calls, std::vector<std::string>{item.second}) << path;
    }
    for (const char* path : c.absent)
      EXPECT_EQ(w->getWidget((std::string("/MenuBar/") + path).c_str()), nullptr) << path;
    // Help comes last.
    GList* menus = gtk_container_get_children(GTK_CONTAINER(w->menuBar()));
    EXPECT_EQ(g_list_last(menus)->data, w->getWidget("/MenuBar/HelpMenu"));
    g_list_free(menus);
  }
}

TEST_F(WindowBaseTest, SaveDebugIsOfferedOnlyWhileTheLogIsKeptInMemory) {
  {
    DebugLogCapture log;
    EXPECT_TRUE(gtk_widget_get_visible(open(false)->getWidget("/MenuBar/FileMenu/SaveDebug")));
  }
  std::ostream* previous = debugLog;
  const char* previousKind = debugLogKind;
  debugLog = &debugLogNull();
  debugLogKind = "null";
  for (bool browser : {false, true}) {
    RecordingWindow* w = open(browser);
    EXPECT_FALSE(gtk_widget_get_visible(w->getWidget("/MenuBar/FileMenu/SaveDebug")));
    // Activated anyway (an accelerator, a script): nothing is offered.
    DialogScript script;
    w->activate("SaveDebug");
    EXPECT_TRUE(script.handled.empty() && script.unexpected.empty());
  }
  debugLog = previous;
  debugLogKind = previousKind;
}

namespace {
void markerHook(GtkLinkButton*, const gchar*, gpointer) {}
}  // namespace

TEST_F(WindowBaseTest, PreferencesApplyToTheProgramAndAboutShowsNameRevisionAndLinks) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 48, 40);
  ASSERT_TRUE(gdk_pixbuf_save(pixbuf, tmp.file("mzk.png").c_str(), "png", nullptr, nullptr));
  g_object_unref(pixbuf);
  config.set("Program Path", tmp.path());
  config.set("Program Name with Version", "mzk 1.0 & <friends>");
  RecordingWindow* w = open(false);
  std::vector<GtkWindow*> parents;
  int links = 0, iconWidth = 0;
  GtkLinkButtonUriFunc hookWhileShown = nullptr;
  auto look = [&](GtkWidget* dialog) {
    parents.push_back(gtk_window_get_transient_for(GTK_WINDOW(dialog)));
    for (GtkWidget* spin : widgetsOf(dialog, GTK_TYPE_SPIN_BUTTON)) gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), 123);
    links = widgetsOf(dialog, GTK_TYPE_LINK_BUTTON).size();
    std::vector<GtkWidget*> images = widgetsOf(GTK_DIALOG(dialog)->vbox, GTK_TYPE_IMAGE);
    if (!images.empty() && gtk_image_get_storage_type(GTK_IMAGE(images[0])) == GTK_IMAGE_PIXBUF)
      iconWidth = gdk_pixbuf_get_width(gtk_image_get_pixbuf(GTK_IMAGE(images[0])));
    hookWhileShown = gtk_link_button_set_uri_hook(nullptr, nullptr, nullptr);
    gtk_link_button_set_uri_hook(hookWhileShown, nullptr, nullptr);
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    return true;
  };
  DialogScript script;
  script.then("Preferences", look);
  w->activate("Preferences");
  EXPECT_EQ(config.getInt("Icon Width", -1), 123);
  gtk_link_button_set_uri_hook(markerHook, nullptr, nullptr);
  for (const char* icon : {"mzk.png", "none.png"}) {
    config.set("Program Icon", icon);
    script.then("About", look);
    w->activate("About");
    EXPECT_EQ(iconWidth, std::string(icon) == "mzk.png" ? 48 : 0);
    iconWidth = 0;
  }
  ASSERT_TRUE(script.finished());
  EXPECT_EQ(parents, std::vector<GtkWindow*>(3, w->window()));
  EXPECT_NE(script.texts[1].find("mzk 1.0 & <friends>\n(revision 100218)"), std::string::npos) << script.texts[1];
  EXPECT_EQ(links, 2);
  // The dialog opens its links itself while it runs; the hook before it is back afterwards.
  EXPECT_NE(reinterpret_cast<void*>(hookWhileShown), reinterpret_cast<void*>(markerHook));
  EXPECT_EQ(reinterpret_cast<void*>(gtk_link_button_set_uri_hook(nullptr, nullptr, nullptr)),
            reinterpret_cast<void*>(markerHook));
}

TEST_F(WindowBaseTest, QuitAsksAndOnlyYesEndsTheProgram) {
  RecordingWindow* w = open(false);
  gtk_widget_show_all(GTK_WIDGET(w->window()));
  bool destroyed = false;
  g_signal_connect(w->window(), "destroy",
                   G_CALLBACK(+[](GtkWidget*, gpointer flag) { *static_cast<bool*>(flag) = true; }), &destroyed);
  // The title bar's close button: No keeps the window, Yes closes it.
  for (int answer : {GTK_RESPONSE_REJECT, GTK_RESPONSE_ACCEPT}) {
    DialogScript script;
    script.then("Question", respond(answer));
    closeWindow(GTK_WIDGET(w->window()));
    ASSERT_TRUE(script.finished());
    EXPECT_NE(script.texts[0].find("Do you want to quit the program?"), std::string::npos);
    EXPECT_EQ(destroyed, answer == GTK_RESPONSE_ACCEPT);
  }
  // Quit in the menu, inside the window's main loop: Yes leaves it.
  DialogScript script;
  script.then("Question", respond(GTK_RESPONSE_ACCEPT));
  g_idle_add(+[](gpointer w) -> gboolean {
    static_cast<RecordingWindow*>(w)->activate("Quit");
    return FALSE;
  }, open(false));
  bool guard = false;  // a loop nobody leaves fails instead of hanging
  guint timer = g_timeout_add_seconds(kPatience, +[](gpointer flag) -> gboolean {
    *static_cast<bool*>(flag) = true;
    gtk_main_quit();
    return FALSE;
  }, &guard);
  gtk_main();
  if (!guard) g_source_remove(timer);
  EXPECT_FALSE(guard);
  EXPECT_TRUE(script.finished());
}

TEST_F(WindowBaseTest, ChooserGivesThePathAndRefusesTheMediumBeingRecovered) {
  ASSERT_EQ(mkdir(tmp.file("photos").c_str(), 0755), 0);
  const std::string bytes = patternBytes(8192);
  writeWhole(tmp.file("photos/card.img"), bytes);
  ReaderFile* reader = new ReaderFile;
  ASSERT_TRUE(reader->open(tmp.file("photos/card.img").c_str()));
  fileCase->setReader(reader);
  RecordingWindow* w = open(false);
  EXPECT_EQ(w->lastFolder(), g_get_home_dir());

  // Each action has its title; Cancel gives nothing back.
  for (auto action : {GTK_FILE_CHOOSER_ACTION_OPEN, GTK_FILE_CHOOSER_ACTION_SAVE,
                      GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER}) {
    DialogScript script;
    script.then(action == GTK_FILE_CHOOSER_ACTION_OPEN ? "Select Source File"
                : action == GTK_FILE_CHOOSER_ACTION_SAVE ? "Select Destination File"
                                                         : "Select Destination Folder",
                respond(GTK_RESPONSE_CANCEL));
    std::string path = "unchanged";
    EXPECT_FALSE(w->chooseFile(path, action));
    EXPECT_TRUE(script.finished()) << action;
    EXPECT_EQ(path, "unchanged");
  }
  // Reading is fine and moves the folder the next chooser opens in.
  DialogScript open;
  open.then("Select Source File", choose(tmp.file("photos/card.img")));
  std::string path;
  ASSERT_TRUE(w->chooseFile(path, GTK_FILE_CHOOSER_ACTION_OPEN));
  EXPECT_EQ(path, tmp.file("photos/card.img"));
  EXPECT_EQ(w->lastFolder(), tmp.file("photos"));

  // Writing onto the medium is refused and the chooser opens again (the
  // toolkit's own overwrite question, an untitled box, comes first).
  DialogScript save;
  save.then("Select Destination File", choose(tmp.file("photos/card.img")))
      .then("", respond(GTK_RESPONSE_ACCEPT))
      .then("Error", respond(GTK_RESPONSE_REJECT))
      .then("Select Destination File", respond(GTK_RESPONSE_CANCEL));
  EXPECT_FALSE(w->chooseFile(path, GTK_FILE_CHOOSER_ACTION_SAVE));
  ASSERT_TRUE(save.finished()) << save.handled.size();
  EXPECT_NE(save.texts[2].find("lies on the media"), std::string::npos) << save.texts[2];
  EXPECT_EQ(readWhole(tmp.file("photos/card.img")), bytes);
  // A folder beside it is another matter.
  DialogScript folder;
  folder.then("Select Destination Folder", choose(tmp.path()));
  EXPECT_TRUE(w->chooseFile(path, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER));
  EXPECT_EQ(path, tmp.path());
  EXPECT_TRUE(folder.unexpected.empty());
}

TEST(OffsetSizeRule, AcceptsANonEmptyRangeInsideTheEndAndCorrectsTheRest) {
  const struct {
    int64_t offset, size, end;
    bool accepted;
    int64_t offsetAfter, sizeAfter;
  } cases[] = {
      {5, 95, 100, true, 5, 95},
      {0, 100, 100, true, 0, 100},
      {5, 100, 100, false, 5, 95},    // past the end: the size that fits
      {250, 10, 100, false, 100, 0},  // offset past the end: clamped
      {100, 0, 100, false, 100, 0},   // and asked again, not accepted
      {7, 0, 100, false, 7, 0},       // empty
      {INT64_MAX - 1, 10, INT64_MAX, false, INT64_MAX - 1, 1},  // no wrap near the top
  };
  for (const auto& c : cases) {
    int64_t offset = c.offset, size = c.size;
    EXPECT_EQ(reviewOffsetAndSize(offset, size, c.end), c.accepted) << c.offset << "+" << c.size;
    EXPECT_EQ(offset, c.offsetAfter) << c.offset << "+" << c.size;
    EXPECT_EQ(size, c.sizeAfter) << c.offset << "+" << c.size;
  }
}

TEST_F(WindowBaseTest, RangeDialogAsksAgainUntilTheRangeFits) {
  typedef std::vector<std::pair<double, double>> Shown;
  const struct {
    std::vector<std::pair<double, double>> typed;  // one per showing; the last is cancelled when `ok` is false
    bool ok;
    int64_t sizeLimit;
    Shown shown;
    int64_t offset, size;
  } cases[] = {
      {{{5, 100}, {-1, -1}}, true, 100, {{0, 100}, {5, 95}}, 5, 95},
      {{{10, 0}, {10, 0}, {20, 30}}, true, 100, {{0, 100}, {10, 0}, {10, 0}}, 20, 30},
      // The spin buttons stop at 100 (the end) and 40 (the size limit);
      // that range ends past the medium: shown again with none left.
      {{{500, 500}, {-1, -1}}, false, 40, {{0, 40}, {100, 0}}, 0, 40},
      {{{-1, -1}}, false, 100, {{0, 100}}, 0, 100},
  };
  RecordingWindow* w = open(false);
  for (const auto& c : cases) {
    Shown shown;
    DialogScript script;
    for (size_t i = 0; i < c.typed.size(); ++i) {
      const bool last = i + 1 == c.typed.size();
      script.then("Range", enterRange(c.typed[i].first, c.typed[i].second, &shown,
                                      last && !c.ok ? GTK_RESPONSE_CANCEL : GTK_RESPONSE_OK));
    }
    int64_t offset = 0, size = c.sizeLimit;
    EXPECT_EQ(w->askOffsetAndSize("Range", w->window(), offset, size, c.sizeLimit, 100), c.ok);
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(offset, c.offset);
    EXPECT_EQ(size, c.size);
  }
}
