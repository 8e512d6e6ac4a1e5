// Start-up with the toolkit: the exception frame, the run loop, the splash
// window and the default icon.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/InterfaceCallback.h"
#include "shell/Locale.h"
#include "shell/gtk/ProgramInitGui.h"
#include "shell/gtk/ProgramRun.h"
#include "shell/gtk/ResizableLabel.h"
#include "shell/gtk/Splash.h"
#include "ui/BrowserStart.h"

namespace uitest {
void ensureGtk();
std::vector<GtkWidget*> findAll(GtkWidget* root, GType type);
void whenDialogShows(std::function<void(GtkWidget*)> action);
void screenshot();
}  // namespace uitest

using namespace uitest;

namespace {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    gchar* path = g_dir_make_tmp("mzk-startup-XXXXXX", nullptr);
    path_ = path ? path : "";
    g_free(path);
  }
  ~TempFolder() {
    std::string command = "rm -rf '" + path_ + "'";
    g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, nullptr, nullptr);
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name), std::ios::binary) << text;
  }

 private:
  std::string path_;
};

// A small picture of a known size, saved as PNG.
void writePicture(const std::string& path, int width, int height) {
  gchar* folder = g_path_get_dirname(path.c_str());
  g_mkdir_with_parents(folder, 0700);
  g_free(folder);
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  gdk_pixbuf_fill(pixbuf, 0x3366ccff);
  ASSERT_TRUE(gdk_pixbuf_save(pixbuf, path.c_str(), "png", nullptr, nullptr));
  g_object_unref(pixbuf);
}

struct ErrorBox {
  bool shown = false;
  std::string title;
  std::string text;
  std::string logWhileShown;
};

// Records the next message box and closes it.
void recordNextBox(ErrorBox& box, DebugLogCapture* log) {
  whenDialogShows([&box, log](GtkWidget* dialog) {
    box.shown = true;
    box.title = gtk_window_get_title(GTK_WINDOW(dialog));
    std::vector<GtkWidget*> labels = findAll(dialog, gtk_resizable_label_get_type());
    if (!labels.empty())
      box.text = gtk_label_get_text(resizableLabelLabel(labels[0]));
    if (log)
      box.logWhileShown = log->text();
    screenshot();
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_REJECT);
  });
}

// Windows of the run loop that follow a script of answers.
struct Script {
  std::vector<bool> selectAnswers;
  std::vector<bool> browserAnswers;
  std::vector<std::string> calls;
  std::string mediaSeenByBrowser;
  std::string splashTitleSeen;
  bool throwInBrowser = false;
};
Script* script = nullptr;

bool nextAnswer(std::vector<bool>& answers) {
  if (answers.empty())
    return false;
  bool answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

bool fakeSelect(GtkWindow* parent, ConfigRecord& media, FileCase&, ConfigRecord&) {
  script->calls.push_back("select");
  media.set("File", "/dev/card" + std::to_string(script->calls.size()));
  // The splash is still on screen while the first window comes up.
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w; w = w->next)
    if (GTK_WIDGET_VISIBLE(w->data) && !gtk_window_get_decorated(GTK_WINDOW(w->data)))
      script->splashTitleSeen = gtk_window_get_title(GTK_WINDOW(w->data));
  g_list_free(windows);
  return nextAnswer(script->selectAnswers);
}

bool fakeBrowser(GtkWindow* parent, ConfigRecord& media, FileCase&, ConfigRecord&) {
  script->calls.push_back("browser");
  script->mediaSeenByBrowser = media.getString("File");
  if (script->throwInBrowser)
    throw std::runtime_error("FileCase(54)");
  return nextAnswer(script->browserAnswers);
}

MainWindows fakeWindows() {
  MainWindows windows;
  windows.selectDevice = fakeSelect;
  windows.browser = fakeBrowser;
  return windows;
}

// A program folder with the file-system patterns that the file case loads.
void writeFsPatterns(const TempFolder& folder) {
  std::ifstream source(std::string(MZK_SOURCE_DIR) + "/data/FsScanner.cfg", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
  folder.write("FsScanner.cfg", text);
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureGtk();
    script = &script_;
  }
  void TearDown() override { script = nullptr; }
  Script script_;
};

}  // namespace

// --- the exception frame ---------------------------------------------------

TEST_F(StartupTest, RuntimeErrorIsShownLoggedAndGivesMinusOne) {
  DebugLogCapture log;
  ErrorBox box;
  recordNextBox(box, &log);
  int result = runGuarded([]() -> int { throw std::runtime_error("PatternsFile(17)"); });
  EXPECT_EQ(-1, result);
  ASSERT_TRUE(box.shown);
  EXPECT_EQ("Error", box.title);
  EXPECT_EQ("Exception: PatternsFile(17)", box.text);
  // The log line follows the closing of the box.
  EXPECT_EQ(std::string::npos, box.logWhileShown.find("ProgramRun(51)"));
  EXPECT_NE(std::string::npos, log.text().find("ProgramRun(51): PatternsFile(17)\n"));
}

TEST_F(StartupTest, AnythingElseIsAnUnknownException) {
  DebugLogCapture log;
  ErrorBox box;
  recordNextBox(box, &log);
  EXPECT_EQ(-1, runGuarded([]() -> int { throw 42; }));
  EXPECT_EQ("Unknown exception", box.text);
  EXPECT_NE(std::string::npos, log.text().find("ProgramRun(55)\n"));
}

TEST_F(StartupTest, ExceptionTextWithMarkupCharactersIsShownAsIs) {
  ErrorBox box;
  recordNextBox(box, nullptr);
  EXPECT_EQ(-1, runGuarded([]() -> int { throw std::runtime_error("Fotos & <Videos>"); }));
  EXPECT_EQ("Exception: Fotos & <Videos>", box.text);
}

TEST_F(StartupTest, EscapedCancelIsReportedWithTheBaseText) {
  ErrorBox box;
  recordNextBox(box, nullptr);
  EXPECT_EQ(-1, runGuarded([]() -> int { throw InterruptedException(); }));
  EXPECT_EQ(std::string("Exception: ") + std::exception().what(), box.text);
}

TEST_F(StartupTest, NormalEndShowsNothing) {
  DebugLogCapture log;
  EXPECT_EQ(7, runGuarded([]() { return 7; }));
  EXPECT_EQ(std::string::npos, log.text().find("ProgramRun("));
}

// --- the run loop ------------------------------------------------------------

TEST_F(StartupTest, MissingPatternFileEndsTheRunWithTheException) {
  TempFolder folder;
  ConfigRecord config;
  config.set("Program Path", folder.path());
  ErrorBox box;
  recordNextBox(box, nullptr);
  EXPECT_EQ(-1, ProgramRun(config, fakeWindows()));
  EXPECT_EQ("Exception: PatternsFile(17)", box.text);
  EXPECT_TRUE(script_.calls.empty());
}

TEST_F(StartupTest, WindowsAlternateUntilOneReturnsFalse) {
  TempFolder folder;
  writeFsPatterns(folder);
  ConfigRecord config;
  config.set("Program Path", folder.path());
  script_.selectAnswers = {true, true};
  script_.browserAnswers = {true, false};
  EXPECT_EQ(0, ProgramRun(config, fakeWindows()));
  EXPECT_EQ((std::vector<std::string>{"select", "browser", "select", "browser"}), script_.calls);
  // One media record for the whole run: the browser sees what the selection set.
  EXPECT_EQ("/dev/card3", script_.mediaSeenByBrowser);
}

TEST_F(StartupTest, QuittingTheSelectionSkipsTheBrowser) {
  TempFolder folder;
  writeFsPatterns(folder);
  ConfigRecord config;
  config.set("Program Path", folder.path());
  script_.selectAnswers = {false};
  EXPECT_EQ(0, ProgramRun(config, fakeWindows()));
  EXPECT_EQ((std::vector<std::string>{"select"}), script_.calls);
}

TEST_F(StartupTest, ExceptionInAWindowEndsTheLoop) {
  TempFolder folder;
  writeFsPatterns(folder);
  ConfigRecord config;
  config.set("Program Path", folder.path());
  script_.selectAnswers = {true, true};
  script_.throwInBrowser = true;
  ErrorBox box;
  recordNextBox(box, nullptr);
  EXPECT_EQ(-1, ProgramRun(config, fakeWindows()));
  EXPECT_EQ("Exception: FileCase(54)", box.text);
  EXPECT_EQ((std::vector<std::string>{"select", "browser"}), script_.calls);
}

TEST_F(StartupTest, MediumOnTheCommandLineStartsInTheBrowser) {
  TempFolder folder;
  writeFsPatterns(folder);
  folder.write("card.img", std::string(4096, '\0'));
  ConfigRecord config;
  config.set("Program Path", folder.path());
  const struct {
    std::string medium;
    std::vector<std::string> calls;
    bool error;
  } cases[] = {{folder.file("card.img"), {"browser", "select", "browser"}, false},
               {folder.file("missing.img"), {"select", "browser", "select"}, true},
               {folder.path(), {"select", "browser", "select"}, true}};  // a folder
  for (const auto& c : cases) {
    SCOPED_TRACE(c.medium);
    script_.calls.clear();
    script_.selectAnswers = {true};
    script_.browserAnswers = {true, false};
    MainWindows windows = fakeWindows();
    windows.openMedium = openMediumNamed;
    windows.startMedium = c.medium;
    ErrorBox box;
    if (c.error) recordNextBox(box, nullptr);
    EXPECT_EQ(0, ProgramRun(config, windows));
    EXPECT_EQ(c.calls, script_.calls);
    EXPECT_EQ(c.error, box.shown);
    if (c.error) {
      EXPECT_NE(std::string::npos, box.text.find(c.medium)) << box.text;
    }
  }
}

// --- the splash window -------------------------------------------------------

TEST_F(StartupTest, SplashShowsItsImageThenGoesAway) {
  TempFolder folder;
  writePicture(folder.file("splash.png"), 64, 48);
  ConfigRecord config;
  config.set("Program Path", folder.path());
  config.set("Program Name", "mzk");
  config.set("Splash Image", "splash.png");
  config.set("Splash Foreground Time", "0");
  config.set("Splash Background Time", "50");
  GtkWidget* window = showSplash(config);
  ASSERT_NE(nullptr, window);
  g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(&window));
  EXPECT_STREQ("mzk", gtk_window_get_title(GTK_WINDOW(window)));
  EXPECT_FALSE(gtk_window_get_decorated(GTK_WINDOW(window)));
  EXPECT_TRUE(GTK_WIDGET_VISIBLE(window));
  std::vector<GtkWidget*> images = findAll(window, GTK_TYPE_IMAGE);
  ASSERT_EQ(1u, images.size());
  ASSERT_EQ(GTK_IMAGE_PIXBUF, gtk_image_get_storage_type(GTK_IMAGE(images[0])));
  GdkPixbuf* shown = gtk_image_get_pixbuf(GTK_IMAGE(images[0]));
  EXPECT_EQ(64, gdk_pixbuf_get_width(shown));
  EXPECT_EQ(48, gdk_pixbuf_get_height(shown));

  // The background timer removes it while start-up goes on.
  gint64 deadline = g_get_monotonic_time() + 20 * G_USEC_PER_SEC;
  while (window && g_get_monotonic_time() < deadline)
    g_main_context_iteration(nullptr, TRUE);
  EXPECT_EQ(nullptr, window);
}

TEST_F(StartupTest, NoSplashWithoutImage) {
  ConfigRecord config;
  EXPECT_EQ(nullptr, showSplash(config));
  config.set("Splash Image", "");
  EXPECT_EQ(nullptr, showSplash(config));
}

TEST_F(StartupTest, SplashDestroyedEarlyIsNotDestroyedAgain) {
  TempFolder folder;
  writePicture(folder.file("s.png"), 8, 8);
  ConfigRecord config;
  config.set("Program Path", folder.path());
  config.set("Splash Image", "s.png");
  config.set("Splash Foreground Time", "0");
  config.set("Splash Background Time", "20");
  GtkWidget* window = showSplash(config);
  ASSERT_NE(nullptr, window);
  gtk_widget_destroy(window);
  // Give the removed timer its chance to fire; it must not.
  g_usleep(50000);
  while (g_main_context_pending(nullptr))
    g_main_context_iteration(nullptr, FALSE);
  SUCCEED();
}

TEST_F(StartupTest, RunShowsTheLocalisedSplashBeforeTheFirstWindow) {
  TempFolder folder;
  writeFsPatterns(folder);
  writePicture(folder.file("lib/locale/en/splash.png"), 32, 32);
  ConfigRecord config;
  config.set("Program Path", folder.path());
  config.set("Program Name", "mzk splash");
  config.set("Splash Image", "splash.png");
  config.set("Splash Foreground Time", "0");
  config.set("Splash Background Time", "60000");
  std::string previousFolder = Locale::instance().folder();
  Locale::instance().setFolder(folder.file("lib/locale"));
  script_.selectAnswers = {false};
  EXPECT_EQ(0, ProgramRun(config, fakeWindows()));
  Locale::instance().setFolder(previousFolder);
  EXPECT_EQ("mzk splash", script_.splashTitleSeen);
  // The program's own configuration keeps its value.
  EXPECT_EQ("splash.png", config.getString("Splash Image"));
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w; w = w->next)
    if (!gtk_window_get_decorated(GTK_WINDOW(w->data)))
      gtk_widget_destroy(GTK_WIDGET(w->data));
  g_list_free(windows);
}

// --- start-up and the default icon -------------------------------------------

TEST_F(StartupTest, DefaultIconFromProgramIcon) {
  TempFolder folder;
  writePicture(folder.file("icons/mzk.png"), 24, 24);
  ConfigRecord config;
  config.set("Program Path", folder.path());
  config.set("Program Icon", "icons/mzk.png");
  ASSERT_TRUE(setDefaultWindowIcon(config));
  GList* icons = gtk_window_get_default_icon_list();
  ASSERT_EQ(1u, g_list_length(icons));
  EXPECT_EQ(24, gdk_pixbuf_get_width(GDK_PIXBUF(icons->data)));
  g_list_free(icons);

  // A missing icon leaves the one that is set.
  config.set("Program Icon", "icons/none.png");
  EXPECT_FALSE(setDefaultWindowIcon(config));
  icons = gtk_window_get_default_icon_list();
  EXPECT_EQ(1u, g_list_length(icons));
  g_list_free(icons);
}

TEST_F(StartupTest, ProgramInitReadsTheConfigurationBesideTheProgram) {
  TempFolder folder;
  writePicture(folder.file("prog.png"), 16, 16);
  folder.write("tool.new.cfg", "Program Icon: prog.png\nProgram Name: Tool\n");
  std::string argv0 = folder.file("tool.new.exe");
  std::vector<char> arg(argv0.begin(), argv0.end());
  arg.push_back('\0');
  char* args[] = {arg.data(), nullptr};
  int argc = 1;
  char** argv = args;
  ConfigRecord config;
  EXPECT_EQ(0, ProgramInit(config, &argc, &argv));
  EXPECT_EQ(folder.path(), config.getString("Program Path"));
  EXPECT_EQ("Tool", config.getString("Program Name"));
  GList* icons = gtk_window_get_default_icon_list();
  ASSERT_EQ(1u, g_list_length(icons));
  EXPECT_EQ(16, gdk_pixbuf_get_width(GDK_PIXBUF(icons->data)));
  g_list_free(icons);
}

TEST_F(StartupTest, ProgramInitWithoutProgramNameStops) {
  DebugLogCapture log;
  int argc = 0;
  char* args[] = {nullptr};
  char** argv = args;
  ConfigRecord config;
  EXPECT_EQ(-1, ProgramInit(config, &argc, &argv));
  EXPECT_NE(std::string::npos, log.text().find("ProgramInit(13)\n"));
  EXPECT_FALSE(config.has("Program Path"));
}

// --- the program itself --------------------------------------------------------

TEST_F(StartupTest, ProgramWithoutDisplayEndsWithMinusOneAndSaysWhy) {
  TempFolder folder;
  std::string program = std::string(MZK_APP_DIR) + "/mzk";
  ASSERT_TRUE(g_file_test(program.c_str(), G_FILE_TEST_IS_EXECUTABLE));
  std::string log = folder.file("mzk.log");
  std::string target = "dbg=" + log;
  gchar* argv[] = {const_cast<gchar*>(program.c_str()), const_cast<gchar*>("DBG=null"),
                   const_cast<gchar*>(target.c_str()), nullptr};
  gchar** env = g_get_environ();
  env = g_environ_unsetenv(env, "DISPLAY");
  env = g_environ_unsetenv(env, "WAYLAND_DISPLAY");
  gint status = 0;
  gchar* said = nullptr;
  ASSERT_TRUE(g_spawn_sync(nullptr, argv, env, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &said,
                           &status, nullptr));
  g_strfreev(env);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(255, WEXITSTATUS(status));
  // Standard error names the program that works without a display.
  EXPECT_NE(std::string::npos, std::string(said ? said : "").find("mzk-recover")) << said;
  g_free(said);
  gchar* text = nullptr;
  ASSERT_TRUE(g_file_get_contents(log.c_str(), &text, nullptr, nullptr));
  std::string logText = text;
  g_free(text);
  EXPECT_EQ(0u, logText.find("main(20): mzk (revision 100218)\n"));
  EXPECT_NE(std::string::npos, logText.find("ProgramInit(44)\n"));
}
