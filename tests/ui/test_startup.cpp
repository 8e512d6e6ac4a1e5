// Start-up with the toolkit: the exception frame, the run loop, the splash
// window, the default icon and the program without a display.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <sys/wait.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "shell/DebugLog.h"
#include "shell/InterfaceCallback.h"
#include "shell/Locale.h"
#include "shell/gtk/ProgramInitGui.h"
#include "shell/gtk/ProgramRun.h"
#include "shell/gtk/Splash.h"
#include "tests/support/Tools.h"
#include "tests/ui/WindowTestDriver.h"
#include "ui/BrowserStart.h"

using namespace wintest;

namespace {

// A picture `width` pixels wide, saved as PNG.
void writePicture(const std::string& path, int width) {
  gchar* folder = g_path_get_dirname(path.c_str());
  g_mkdir_with_parents(folder, 0700);
  g_free(folder);
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, width / 2);
  gdk_pixbuf_fill(pixbuf, 0x3366ccff);
  ASSERT_TRUE(gdk_pixbuf_save(pixbuf, path.c_str(), "png", nullptr, nullptr));
  g_object_unref(pixbuf);
}

// The two windows of the run loop, answering from a script.
struct Script {
  Script(std::vector<bool> s = {}, std::vector<bool> b = {}, bool t = false) : select(s), browser(b), throwInBrowser(t) {}
  std::vector<bool> select, browser;
  bool throwInBrowser;
  std::vector<std::string> calls;
  std::string mediaSeenByBrowser, splashSeen;
} script;

bool next(std::vector<bool>& answers) {
  const bool answer = !answers.empty() && answers.front();
  if (!answers.empty()) answers.erase(answers.begin());
  return answer;
}

bool fakeSelect(GtkWindow*, ConfigRecord& media, FileCase&, ConfigRecord&) {
  script.calls.push_back("select");
  media.set("File", "/dev/card" + std::to_string(script.calls.size()));
  // The splash is still on screen while the first window comes up.
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w; w = w->next)
    if (gtk_widget_get_visible(GTK_WIDGET(w->data)) && !gtk_window_get_decorated(GTK_WINDOW(w->data)))
      script.splashSeen = titleOf(GTK_WIDGET(w->data));
  g_list_free(windows);
  return next(script.select);
}

bool fakeBrowser(GtkWindow*, ConfigRecord& media, FileCase&, ConfigRecord&) {
  script.calls.push_back("browser");
  script.mediaSeenByBrowser = media.getString("File");
  if (script.throwInBrowser) throw std::runtime_error("FileCase(54)");
  return next(script.browser);
}

// A program folder holding the file-system patterns the file case loads.
class StartupTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    script = Script();
    config.set("Program Path", tmp.path());
    tmp.write("FsScanner.cfg", mzktest::readFile(std::string(MZK_SOURCE_DIR) + "/data/FsScanner.cfg"));
  }
  MainWindows windows() const {
    MainWindows w;
    w.selectDevice = fakeSelect;
    w.browser = fakeBrowser;
    w.openMedium = openMediumNamed;
    return w;
  }
};

// Notes the texts of the error box and closes it.
DialogScript::Action noteError(std::string* text) {
  return [text](GtkWidget* dialog) {
    *text = labelTexts(dialog);
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_REJECT);
    return true;
  };
}

}  // namespace

TEST_F(StartupTest, AnEscapingExceptionIsShownThenLoggedAndGivesMinusOne) {
  const struct {
    std::function<int()> body;
    std::string shown;
  } cases[] = {{[]() -> int { throw std::runtime_error("PatternsFile(17)"); }, "Exception: PatternsFile(17)"},
               {[]() -> int { throw std::runtime_error("Fotos & <Videos>"); }, "Exception: Fotos & <Videos>"},
               {[]() -> int { throw InterruptedException(); }, std::string("Exception: ") + std::exception().what()},
               {[]() -> int { throw 42; }, "Unknown exception"},
               {[]() { return 7; }, ""}};
  for (const auto& c : cases) {
    DebugLogCapture log;
    std::string shown, logWhileShown = "none";
    DialogScript script;
    script.then("Error", [&](GtkWidget* dialog) {
      logWhileShown = log.text();
      return noteError(&shown)(dialog);
    });
    EXPECT_EQ(runGuarded(c.body), c.shown.empty() ? 7 : -1);
    EXPECT_NE(shown.find(c.shown), std::string::npos) << shown;
    // The log line follows the closing of the box.
    EXPECT_EQ(logWhileShown, c.shown.empty() ? "none" : "");
    EXPECT_EQ(log.text().empty(), c.shown.empty());
  }
}

TEST_F(StartupTest, WindowsAlternateUntilOneSaysNo) {
  tmp.write("card.img", std::string(4096, '\0'));
  const struct {
    std::vector<bool> select, browser;
    bool throwInBrowser;
    std::string medium;  // named on the command line
    std::vector<std::string> calls;
    int result;
    std::string error;  // a part of the error box's text
  } cases[] = {
      {{true, true}, {true, false}, false, "", {"select", "browser", "select", "browser"}, 0, ""},
      {{false}, {}, false, "", {"select"}, 0, ""},
      {{true, true}, {}, true, "", {"select", "browser"}, -1, "Exception: FileCase(54)"},
      {{true}, {true, false}, false, tmp.file("card.img"), {"browser", "select", "browser"}, 0, ""},
      {{true}, {true, false}, false, tmp.file("none.img"), {"select", "browser", "select"}, 0, "none.img"},
      {{true}, {true, false}, false, tmp.path(), {"select", "browser", "select"}, 0, tmp.path()},
      {{true}, {}, false, "<no patterns>", {}, -1, "Exception: PatternsFile(17)"},
  };
  for (const auto& c : cases) {
    script = Script(c.select, c.browser, c.throwInBrowser);
    MainWindows w = windows();
    w.startMedium = c.medium == "<no patterns>" ? "" : c.medium;
    if (c.medium == "<no patterns>") config.set("Program Path", tmp.file("nothing"));
    std::string error = "none";
    DialogScript dialogs;
    dialogs.then("Error", noteError(&error));
    EXPECT_EQ(ProgramRun(config, w), c.result) << c.calls.size();
    EXPECT_EQ(script.calls, c.calls);
    EXPECT_NE(error.find(c.error.empty() ? "none" : c.error), std::string::npos) << error;
  }
  // One media record for the whole run: the browser sees what the selection set.
  script = Script({true, true}, {true, false});
  config.set("Program Path", tmp.path());
  ProgramRun(config, windows());
  EXPECT_EQ(script.mediaSeenByBrowser, "/dev/card3");
}

TEST_F(StartupTest, SplashShowsItsImageUntilTheBackgroundTimeIsOver) {
  writePicture(tmp.file("splash.png"), 64);
  config.set("Splash Image", "splash.png");
  config.set("Splash Foreground Time", "0");
  EXPECT_EQ(showSplash(ConfigRecord()), nullptr);  // no image, no splash
  for (const std::string background : {"60000", "50"}) {
    config.set("Splash Background Time", background);
    GtkWidget* window = showSplash(config);
    ASSERT_NE(window, nullptr);
    const gpointer splash = window;  // the data of its timer
    g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(&window));
    EXPECT_EQ(titleOf(window), "mzk");
    EXPECT_FALSE(gtk_window_get_decorated(GTK_WINDOW(window)));
    std::vector<GtkWidget*> images = widgetsOf(window, GTK_TYPE_IMAGE);
    ASSERT_EQ(images.size(), 1u);
    ASSERT_EQ(gtk_image_get_storage_type(GTK_IMAGE(images[0])), GTK_IMAGE_PIXBUF);
    EXPECT_EQ(gdk_pixbuf_get_width(gtk_image_get_pixbuf(GTK_IMAGE(images[0]))), 64);
    // Timers never fire early: after 200 ms a splash of a minute is still there.
    const bool brief = background == "50";
    bool later = false;
    g_timeout_add(200, +[](gpointer flag) -> gboolean { return *static_cast<bool*>(flag) = true, FALSE; }, &later);
    EXPECT_TRUE(waitFor([&]() { return later && (!brief || !window); }));
    EXPECT_EQ(window == nullptr, brief);
    // Destroyed early by someone else, its timer goes with it.
    if (window) gtk_widget_destroy(window);
    GSource* timer = g_main_context_find_source_by_user_data(nullptr, splash);
    EXPECT_EQ(timer, nullptr);
    if (timer) g_source_destroy(timer);
  }
}

TEST_F(StartupTest, TheRunShowsTheLocalisedSplashBeforeTheFirstWindow) {
  writePicture(tmp.file("lib/locale/en/splash.png"), 32);
  config.set("Splash Image", "splash.png");
  config.set("Splash Foreground Time", "0");
  config.set("Splash Background Time", "60000");
  const std::string previous = Locale::instance().folder();
  Locale::instance().setFolder(tmp.file("lib/locale"));
  EXPECT_EQ(ProgramRun(config, windows()), 0);
  Locale::instance().setFolder(previous);
  EXPECT_EQ(script.splashSeen, "mzk");
  EXPECT_EQ(config.getString("Splash Image"), "splash.png");  // the program's own value is kept
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* w = toplevels; w; w = w->next)
    if (!gtk_window_get_decorated(GTK_WINDOW(w->data))) gtk_widget_destroy(GTK_WIDGET(w->data));
  g_list_free(toplevels);
}

TEST_F(StartupTest, ProgramInitReadsTheConfigurationBesideTheProgramAndSetsTheIcon) {
  writePicture(tmp.file("prog.png"), 16);
  tmp.write("tool.new.cfg", "Program Icon: prog.png\nProgram Name: Tool\n");
  std::string argv0 = tmp.file("tool.new.exe");
  char* args[] = {&argv0[0], nullptr};
  int argc = 1;
  char** argv = args;
  ConfigRecord read;
  EXPECT_EQ(ProgramInit(read, &argc, &argv), 0);
  EXPECT_EQ(read.getString("Program Path"), tmp.path());
  EXPECT_EQ(read.getString("Program Name"), "Tool");
  read.set("Program Icon", "none.png");
  EXPECT_FALSE(setDefaultWindowIcon(read));  // a missing icon leaves the one that is set
  GList* icons = gtk_window_get_default_icon_list();
  ASSERT_EQ(g_list_length(icons), 1u);
  EXPECT_EQ(gdk_pixbuf_get_width(GDK_PIXBUF(icons->data)), 16);
  g_list_free(icons);
}

TEST_F(StartupTest, TheProgramWithoutDisplayEndsWithMinusOneAndSaysWhatWorks) {
  const std::string program = std::string(MZK_APP_DIR) + "/mzk", log = "dbg=" + tmp.file("mzk.log");
  gchar* argv[] = {const_cast<gchar*>(program.c_str()), const_cast<gchar*>("DBG=null"), const_cast<gchar*>(log.c_str()),
                   nullptr};
  gchar** env = g_environ_unsetenv(g_environ_unsetenv(g_get_environ(), "DISPLAY"), "WAYLAND_DISPLAY");
  gint status = 0;
  gchar* said = nullptr;
  ASSERT_TRUE(g_spawn_sync(nullptr, argv, env, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &said, &status, nullptr));
  g_strfreev(env);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 255) << status;
  EXPECT_NE(std::string(said ? said : "").find("mzk-recover"), std::string::npos) << said;
  g_free(said);
  // The log starts with the banner.
  EXPECT_EQ(readWhole(tmp.file("mzk.log")).find("main(20): mzk (revision 100218)\n"), 0u);
}
