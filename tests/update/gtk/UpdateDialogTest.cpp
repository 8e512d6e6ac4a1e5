// The update check as the user meets it at start-up, against a local server:
// the dialog, its release notes button, the installer download with its
// progress box, and that nothing is opened unless it arrived whole.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "shell/Config.h"
#include "shell/gtk/ProgramRun.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/ui/WindowTestDriver.h"
#include "ui/ProgressBox.h"
#include "update/gtk/UpdateDialog.h"

using mzktest::LocalHttpServer;
using namespace wintest;

namespace {

const std::string kInstaller = patternBytes(300000);

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gtkReady());
    setup.openProgressBox = [](GtkWindow* parent, int style, uint64_t total, int width) {
      return std::unique_ptr<InterfaceCallback>(new gtk::ProgressBox(parent, style, total, 0, width));
    };
    setup.open = [this](const std::string& path) { opened.push_back(path); };
    setup.limits.port = server.port();
    setup.limits.timeoutMs = 500;
    setup.temporaryFolder = temp.path();
  }

  void serveFeed(const std::string& installerPath, long length,
                 const std::string& notes = "http://127.0.0.1/notes.html",
                 const std::string& version = "mzk 9") {
    server.on("/feed.xml", {LocalHttpServer::response(
                               200, "<item><enclosure version=\"" + version + "\" url=\"" +
                                        server.url(installerPath) + "\" length=\"" +
                                        std::to_string(length) + "\" releaseNotesUrl=\"" + notes +
                                        "\"/></item>")});
  }

  bool check(const std::string& url = "http://127.0.0.1/feed.xml") {
    return checkForUpdates(nullptr, url, "mzk 1.0.0", setup);
  }

  size_t installerRequests() const {
    size_t n = 0;
    for (const std::string& r : server.requests()) n += r.find("GET /dl/") == 0;
    return n;
  }

  LocalHttpServer server;
  TempFolder temp;
  UpdateCheckSetup setup;
  std::vector<std::string> opened;
};

TEST_F(UpdateCheckTest, NoAddressOrSameVersionAsksNothing) {
  DialogScript script;
  EXPECT_FALSE(check(""));
  EXPECT_TRUE(server.requests().empty());
  serveFeed("/dl/mzk_9.deb", 10, "n", "mzk 1.0.0");
  EXPECT_FALSE(check());
  EXPECT_EQ(1u, server.requests().size());
  EXPECT_TRUE(script.handled.empty());
  EXPECT_TRUE(script.unexpected.empty());
}

TEST_F(UpdateCheckTest, InstallerIsOpenedOnlyWhenWhole) {
  struct Case {
    const char* name;
    const char* path;
    LocalHttpServer::Reply reply;
    long feedLength;
    int answer;
    bool installed;
    size_t requests;
  } cases[] = {
      {"yes", "/dl/mzk_9.deb", {LocalHttpServer::response(200, kInstaller)}, long(kInstaller.size()),
       GTK_RESPONSE_YES, true, 1},
      {"no", "/dl/mzk_9.deb", {LocalHttpServer::response(200, kInstaller)}, long(kInstaller.size()),
       GTK_RESPONSE_NO, false, 0},
      {"closed", "/dl/mzk_9.deb", {LocalHttpServer::response(200, kInstaller)},
       long(kInstaller.size()), GTK_RESPONSE_DELETE_EVENT, false, 0},
      {"404", "/dl/mzk_9.deb", {LocalHttpServer::response(404, kInstaller)}, long(kInstaller.size()),
       GTK_RESPONSE_YES, false, 1},
      {"connection dropped", "/dl/mzk_9.deb", {LocalHttpServer::response(200, kInstaller.substr(0, 1000), false)},
       long(kInstaller.size()), GTK_RESPONSE_YES, false, 1},
      {"feed length differs", "/dl/mzk_9.deb", {LocalHttpServer::response(200, kInstaller)},
       long(kInstaller.size()) + 1, GTK_RESPONSE_YES, false, 1},
      {"no file name", "/dl/", {LocalHttpServer::response(200, kInstaller)}, long(kInstaller.size()),
       GTK_RESPONSE_YES, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    opened.clear();
    TempFolder folder;
    setup.temporaryFolder = folder.path();
    LocalHttpServer::Reply reply = c.reply;
    server.on(c.path, reply);
    serveFeed(c.path, c.feedLength);
    const size_t before = installerRequests();
    DialogScript script;
    script.then("Update", respond(c.answer));
    EXPECT_EQ(c.installed, check());
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(c.requests, installerRequests() - before);
    if (c.installed) {
      ASSERT_EQ(1u, opened.size());
      EXPECT_EQ(0u, opened[0].find(folder.path() + "/mzk-update-"));
      EXPECT_EQ(kInstaller, readWhole(opened[0]));
    } else {
      EXPECT_TRUE(opened.empty());
      EXPECT_TRUE(folder.names().empty());  // a partial download goes with its folder
    }
  }
}

TEST_F(UpdateCheckTest, DialogShowsTheVersionsAndOpensOnlyWebNotes) {
  for (const std::string notes : {"http://127.0.0.1/notes.html", "/usr/bin/xterm"}) {
    opened.clear();
    serveFeed("/dl/mzk_9.deb", 10, notes, "mzk <9> & more");
    bool sensitive = false;
    DialogScript script;
    script.then("Update", [&](GtkWidget* dialog) {
      for (GtkWidget* b : widgetsOf(dialog, GTK_TYPE_BUTTON))
        if (std::string(gtk_button_get_label(GTK_BUTTON(b))) == "_Show Release Notes") {
          sensitive = gtk_widget_is_sensitive(b);
          gtk_button_clicked(GTK_BUTTON(b));
        }
      gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_NO);
      return true;
    });
    EXPECT_FALSE(check());
    ASSERT_EQ(1u, script.texts.size());
    EXPECT_NE(std::string::npos, script.texts[0].find("mzk <9> & more is available."));
    EXPECT_NE(std::string::npos, script.texts[0].find("You are using mzk 1.0.0 now."));
    const bool web = notes[0] == 'h';
    EXPECT_EQ(web, sensitive);
    EXPECT_EQ(web ? std::vector<std::string>{notes} : std::vector<std::string>{}, opened);
  }
}

TEST_F(UpdateCheckTest, CancelInEitherBoxEndsTheCheckQuietly) {
  setup.limits.timeoutMs = 20000;
  serveFeed("/dl/mzk_9.deb", long(kInstaller.size()));
  server.on("/dl/mzk_9.deb", {"", true});
  server.on("/silent.xml", {"", true});
  for (bool duringDownload : {false, true}) {
    SCOPED_TRACE(duringDownload ? "download" : "feed");
    DialogScript script;
    if (duringDownload) script.then("Update", respond(GTK_RESPONSE_YES));
    script.then("Please Wait", respond(GTK_RESPONSE_CANCEL));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(check(duringDownload ? "http://127.0.0.1/feed.xml" : "http://127.0.0.1/silent.xml"));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(temp.names().empty());
  }
}

// Start-up hands the configured address and version to the check and shows
// no window once an installer was started.
std::vector<std::string> checkArguments;
bool installerStarted(GtkWindow*, const std::string& url, const std::string& version) {
  checkArguments = {url, version};
  return true;
}
bool windowShown = false;
bool anyWindow(GtkWindow*, ConfigRecord&, FileCase&, ConfigRecord&) { return windowShown = true; }

TEST(StartUp, EndsWhenAnInstallerWasStarted) {
  ASSERT_TRUE(gtkReady());
  ConfigRecord config;
  config.set("Update URL", "http://127.0.0.1/feed.xml");
  config.set("Program Name with Version", "mzk 1.0.0");
  MainWindows windows;
  windows.selectDevice = anyWindow;
  windows.browser = anyWindow;
  windows.updateCheck = installerStarted;
  EXPECT_EQ(0, ProgramRun(config, windows));
  EXPECT_EQ((std::vector<std::string>{"http://127.0.0.1/feed.xml", "mzk 1.0.0"}), checkArguments);
  EXPECT_FALSE(windowShown);
}

}  // namespace
