// The update check as the user meets it at start-up, against a local server:
// the dialog, its release notes button, the installer download with its
// progress box, and that nothing is opened unless it arrived whole.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>
#include <vector>

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
  // The feed offers `version` with the installer at path.
  bool check(const std::string& path, long length, const std::string& notes = "http://h/notes",
             const std::string& version = "mzk <9> & more") {
    const std::string feed = "<enclosure version=\"" + version + "\" url=\"" + server.url(path) +
                             "\" length=\"" + std::to_string(length) + "\" releaseNotesUrl=\"" + notes;
    server.on("/feed", {LocalHttpServer::response(200, feed + "\"/>")});
    return checkForUpdates(nullptr, server.url("/feed"), "mzk 1.0.0", setup);
  }

  LocalHttpServer server;
  TempFolder temp;
  UpdateCheckSetup setup;
  std::vector<std::string> opened;
};

TEST_F(UpdateCheckTest, NoAddressOrSameVersionAsksNothing) {
  DialogScript script;
  EXPECT_FALSE(checkForUpdates(nullptr, "", "mzk 1.0.0", setup));
  EXPECT_TRUE(server.requests().empty());
  EXPECT_FALSE(check("/dl/mzk.deb", 10, "n", "mzk 1.0.0"));
  EXPECT_EQ(1u, server.requests().size());
  EXPECT_TRUE(script.handled.empty() && script.unexpected.empty());
}

// Presses "Show Release Notes" when it can be pressed, then answers.
DialogScript::Action notesThen(int answer, bool* notesSensitive) {
  return [=](GtkWidget* dialog) {
    for (GtkWidget* b : widgetsOf(dialog, GTK_TYPE_BUTTON))
      if (std::string(gtk_button_get_label(GTK_BUTTON(b))) == "_Show Release Notes" &&
          (*notesSensitive = gtk_widget_is_sensitive(b)))
        gtk_button_clicked(GTK_BUTTON(b));
    return respond(answer)(dialog);
  };
}

TEST_F(UpdateCheckTest, InstallerIsOpenedOnlyWhenWhole) {
  const std::string ok = LocalHttpServer::response(200, kInstaller);
  const long size = long(kInstaller.size());
  const struct {
    const char* name;
    const char* path;
    std::string reply;
    long feedLength;
    int answer;
    const char* notes;
  } cases[] = {
      {"window closed", "/dl/mzk_9.deb", ok, size, GTK_RESPONSE_DELETE_EVENT, ""},
      {"404", "/dl/mzk_9.deb", LocalHttpServer::response(404, kInstaller), size, GTK_RESPONSE_YES,
       "/usr/bin/xterm"},
      {"dropped", "/dl/mzk_9.deb", LocalHttpServer::response(200, kInstaller.substr(0, 999), false),
       size, GTK_RESPONSE_YES, ""},
      {"no file name", "/dl/", ok, size, GTK_RESPONSE_YES, ""},
      {"installed", "/dl/mzk_9.deb", ok, size, GTK_RESPONSE_YES, "http://h/notes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    opened.clear();
    server.on(c.path, {c.reply});
    bool notesSensitive = false;
    DialogScript script;
    script.then("Update", notesThen(c.answer, &notesSensitive));
    const bool installed = c.name == std::string("installed");
    EXPECT_EQ(installed, check(c.path, c.feedLength, c.notes));
    ASSERT_EQ(1u, script.texts.size());
    EXPECT_EQ(0u, script.texts[0].find("mzk <9> & more is available.\nShow Release Notes\n"
                                        "You are using mzk 1.0.0 now."));
    // Only web pages are offered as release notes.
    const bool web = c.notes[0] == 'h';
    EXPECT_EQ(web, notesSensitive);
    ASSERT_EQ(size_t(web) + installed, opened.size());
    if (web) { EXPECT_EQ(c.notes, opened[0]); }
    if (installed) {
      EXPECT_EQ(0u, opened[1].find(temp.path() + "/mzk-update-"));
      EXPECT_EQ(kInstaller, readWhole(opened[1]));
    } else {
      EXPECT_TRUE(temp.names().empty());  // a partial download goes with its folder
    }
  }
}

TEST_F(UpdateCheckTest, CancelDuringTheDownloadEndsTheCheckQuietly) {
  setup.limits.timeoutMs = 20000;
  server.on("/dl/mzk_9.deb", {"", -1});
  DialogScript script;
  script.then("Update", respond(GTK_RESPONSE_YES)).then("Please Wait", respond(GTK_RESPONSE_CANCEL));
  EXPECT_FALSE(check("/dl/mzk_9.deb", 100));
  EXPECT_TRUE(script.finished() && opened.empty() && temp.names().empty());
}

}  // namespace
