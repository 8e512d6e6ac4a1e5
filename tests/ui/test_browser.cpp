// The browser window over a real image: the scan fills the list, the
// status line counts, and the selected files come back byte for byte with a
// summary that tells what happened.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "media/ReaderFile.h"
#include "shell/Config.h"
#include "tests/ui/WindowTestDriver.h"
#include "ui/Browser.h"

using namespace wintest;

namespace {

// A JPEG made by ImageMagick, or empty when it is not installed.
std::string makeJpeg(const TempFolder& tmp, const std::string& name, const char* colour) {
  const std::string path = tmp.file(name);
  const std::string command = std::string("convert -size 80x60 xc:") + colour + " '" + path + "'";
  if (system(command.c_str()) != 0) return std::string();
  return readWhole(path);
}

// Shots for looking at the window by eye: MZK_SHOT_DIR=/tmp/shots.
void screenshot(const char* name) {
  const char* folder = getenv("MZK_SHOT_DIR");
  if (!folder) return;
  while (gtk_events_pending()) gtk_main_iteration();
  const std::string command = std::string("import -window root '") + folder + "/" + name + ".png'";
  if (system(command.c_str()) != 0) ADD_FAILURE() << command;
}

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gtkReady()) << "no display: run under xvfb-run";
    config.set("Program Path", MZK_APP_DIR);
    config.set("Program Name", "mzk");
    fileCase.reset(new FileCase(config, allFileSystems()));
    red = makeJpeg(tmp, "red.jpg", "red");
    blue = makeJpeg(tmp, "blue.jpg", "blue");
    if (red.empty() || blue.empty()) GTEST_SKIP() << "ImageMagick is needed";
    // Two photos on sector boundaries in a card of noise-free zeros.
    image.assign(256 * 1024, '\0');
    image.replace(16 * 512, red.size(), red);
    image.replace(200 * 512, blue.size(), blue);
    writeWhole(tmp.file("card.img"), image);
    ReaderFile* reader = new ReaderFile;
    ASSERT_TRUE(reader->open(tmp.file("card.img").c_str()));
    fileCase->setReader(reader);
    media.set("Description", tmp.file("card.img"));
  }
  ConfigRecord config, media;
  std::unique_ptr<FileCase> fileCase;
  TempFolder tmp;
  std::string red, blue, image;
};

}  // namespace

TEST_F(BrowserTest, ScanListsTheFoundFilesAndSaysComplete) {
  Browser browser(nullptr, media, *fileCase, config);
  EXPECT_EQ(gtk_window_get_title(browser.window()), "mzk (" + tmp.file("card.img") + ")");
  DialogScript script;
  script.then("Information", [](GtkWidget* box) {
    screenshot("browser-scan-complete");
    gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_REJECT);
    return true;
  });
  browser.scan();
  ASSERT_TRUE(script.finished());
  EXPECT_NE(script.texts[0].find("Scan complete"), std::string::npos) << script.texts[0];
  EXPECT_EQ(browser.shownCount(), 2u);
  EXPECT_EQ(browser.statusText(), "2 files found");
  browser.selectAll();
  EXPECT_EQ(browser.statusText(), "2 files found / All files selected");
  screenshot("browser-selected");
}

TEST_F(BrowserTest, SelectedFilesAreRecoveredByteForByte) {
  Browser browser(nullptr, media, *fileCase, config);
  DialogScript script;
  script.then("Information", respond(GTK_RESPONSE_REJECT))
      .then("Select Destination Folder", choose(tmp.path() + "/out"))
      .then("Information", [](GtkWidget* box) {
        screenshot("browser-recovered");
        gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_REJECT);
        return true;
      });
  ASSERT_EQ(mkdir((tmp.path() + "/out").c_str(), 0755), 0);
  browser.scan();
  browser.selectAll();
  gtk_action_activate(gtk_action_group_get_action(browser.actionGroup(), "Recover"));
  ASSERT_TRUE(script.finished()) << script.handled.size();
  EXPECT_NE(script.texts[2].find("Complete"), std::string::npos) << script.texts[2];
  EXPECT_NE(script.texts[2].find("2 files were recovered"), std::string::npos) << script.texts[2];
  const std::string redOut = readWhole(tmp.file("out/" + std::to_string(16 * 512) + "-" +
                                                std::to_string(red.size()) + ".jpeg"));
  const std::string blueOut = readWhole(tmp.file("out/" + std::to_string(200 * 512) + "-" +
                                                 std::to_string(blue.size()) + ".jpeg"));
  EXPECT_EQ(redOut, red);
  EXPECT_EQ(blueOut, blue);
}

TEST_F(BrowserTest, SecondRecoveryIntoTheImagesFolderKeepsBothCopiesAndTheImage) {
  Browser browser(nullptr, media, *fileCase, config);
  DialogScript script;
  script.then("Information", respond(GTK_RESPONSE_REJECT));
  browser.scan();
  // Recovering twice into one folder keeps both copies.
  std::vector<std::string> keys = fileCase->order();
  RecoverySummary first = browser.recoverInto(keys, tmp.path());
  RecoverySummary second = browser.recoverInto(keys, tmp.path());
  EXPECT_EQ(first.recovered, 2u);
  EXPECT_EQ(second.recovered, 2u);
  EXPECT_EQ(readWhole(tmp.file(std::to_string(16 * 512) + "-" + std::to_string(red.size()) +
                               "-1.jpeg")),
            red);
  EXPECT_EQ(readWhole(tmp.file("card.img")), image);  // the medium untouched
}

// ---- the closing summary ----

TEST(RecoverySummaryText, CompleteOnlyWhenEverythingCameBackWhole) {
  RecoverySummary s;
  s.requested = s.recovered = 3;
  EXPECT_EQ(recoverySummaryText(s, "/out"), "Complete\n\n3 files were recovered to /out.");
  s.requested = s.recovered = 1;
  EXPECT_EQ(recoverySummaryText(s, "/out"), "Complete\n\nOne file was recovered to /out.");
}

TEST(RecoverySummaryText, ZeroFilledPartsAreCountedAndNamed) {
  RecoverySummary s;
  s.requested = s.recovered = 4;
  s.damaged = 2;
  s.unreadableBytes = 1536;
  const std::string text = recoverySummaryText(s, "/out");
  EXPECT_EQ(text.find("Complete"), std::string::npos) << text;
  EXPECT_NE(text.find("4 of 4 files were recovered"), std::string::npos) << text;
  EXPECT_NE(text.find("2 recovered files have parts that could not be read"), std::string::npos);
  EXPECT_NE(text.find("1536 bytes"), std::string::npos);
}

TEST(RecoverySummaryText, StoppedAndFailedRunsSaySo) {
  RecoverySummary s;
  s.requested = 10;
  s.recovered = 3;
  s.failed = 1;
  s.stopped = true;
  const std::string text = recoverySummaryText(s, "/out");
  EXPECT_NE(text.find("stopped"), std::string::npos) << text;
  EXPECT_NE(text.find("3 of 10 files"), std::string::npos) << text;
  EXPECT_NE(text.find("One file could not be recovered."), std::string::npos) << text;
}

TEST(RecoverySummaryText, FolderNamesAreEscapedForMarkup) {
  RecoverySummary s;
  s.requested = s.recovered = 2;
  const std::string text = recoverySummaryText(s, "/home/u/Fotos & <Videos>");
  EXPECT_NE(text.find("Fotos &amp; &lt;Videos&gt;"), std::string::npos) << text;
  EXPECT_TRUE(pango_parse_markup(text.c_str(), -1, 0, nullptr, nullptr, nullptr, nullptr));
}

// ---- leaving the browser, and the selection window ----

TEST_F(BrowserTest, SelectMediaAsksAndYesEndsTheRunForAnotherMedium) {
  Browser browser(nullptr, media, *fileCase, config);
  DialogScript script;
  script.then("Information", respond(GTK_RESPONSE_REJECT))
      .then("Question", respond(GTK_RESPONSE_REJECT))   // No: stay
      .then("Question", respond(GTK_RESPONSE_ACCEPT));  // Yes: another medium
  g_timeout_add(
      100,
      [](gpointer data) -> gboolean {
        static_cast<Browser*>(data)->selectMedia();
        if (gtk_main_level() > 0) static_cast<Browser*>(data)->selectMedia();
        return FALSE;
      },
      &browser);
  EXPECT_TRUE(browser.run());
  ASSERT_TRUE(script.finished()) << script.handled.size();
  EXPECT_NE(script.texts[1].find("Do you want to select another media?"), std::string::npos);
}

#include "ui/SelectDevice.h"

TEST_F(BrowserTest, SelectionWindowOpensTheChosenCardFileForTheScan) {
  media.set("Model", "left over from a device");
  SelectDevice select(nullptr, media, *fileCase, config);
  DialogScript script;
  script.then("Select Source File", choose(tmp.file("card.img")));
  g_idle_add(
      [](gpointer data) -> gboolean {
        gtk_action_activate(
            gtk_action_group_get_action(static_cast<SelectDevice*>(data)->actionGroup(), "ScanFile"));
        return FALSE;
      },
      &select);
  EXPECT_TRUE(select.run());
  EXPECT_EQ(fileCase->reader()->size(), image.size());
  EXPECT_EQ(media.getString("Description"), tmp.file("card.img"));
  EXPECT_FALSE(media.has("Model"));  // the record now describes the file alone
}

TEST_F(BrowserTest, SelectionWindowStaysWhenTheCardFileCannotBeOpened) {
  SelectDevice select(nullptr, media, *fileCase, config);
  const std::string gone = tmp.file("card.img");
  DialogScript::Action pick = choose(gone);
  DialogScript script;
  // The file disappears between the choice and the opening.
  script
      .then("Select Source File",
            [&](GtkWidget* dialog) {
              gchar* now = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
              const bool ready = now && gone == now;
              g_free(now);
              if (ready) remove(gone.c_str());
              return pick(dialog);
            })
      .then("Error", respond(GTK_RESPONSE_REJECT));
  select.scanFile();
  ASSERT_TRUE(script.finished()) << script.handled.size();
  EXPECT_NE(script.texts[1].find("Cannot open file"), std::string::npos) << script.texts[1];
  EXPECT_FALSE(select.started());
  EXPECT_EQ(fileCase->reader()->size(), image.size());  // the old medium stays
}
