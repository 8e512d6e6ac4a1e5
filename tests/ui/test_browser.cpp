// The browser window over a card image made of real photos: thumbnails
// while the scan runs, stopping it, recovering with a failure among the
// selection, opening, the context menu, printing and "mzk IMAGE".
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "filesystems/FileSystems.h"
#include "media/ReaderFile.h"
#include "shell/Config.h"
#include "tests/support/Pictures.h"
#include "tests/support/Tools.h"
#include "tests/ui/WindowTestDriver.h"
#include "thumbs/PixbufFrame.h"
#include "ui/Browser.h"
#include "ui/BrowserPrint.h"

using namespace wintest;

namespace {

// Shots for looking at the window by eye: MZK_SHOT_DIR=/tmp/shots.
void screenshot(const char* name) {
  const char* folder = getenv("MZK_SHOT_DIR");
  if (!folder) return;
  while (gtk_events_pending()) gtk_main_iteration();
  const std::string command = std::string("import -window root '") + folder + "/" + name + ".png'";
  if (system(command.c_str()) != 0) ADD_FAILURE() << command;
}

const char* const kColours[] = {"red-yellow", "navy-skyblue", "darkgreen-khaki", "purple-pink",
                                "black-white", "orange-brown", "teal-gold", "maroon-salmon"};

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gtkReady()) << "no display: run under xvfb-run";
    config.set("Program Path", MZK_APP_DIR);
    config.set("Program Name", "mzk");
    config.set("Icons", "default:default, jpeg:jpeg");
    fileCase.reset(new FileCase(config, allFileSystems()));
    // Photos of camera proportions on sector boundaries, spread over 2 MB.
    image.assign(2 * 1024 * 1024, '\0');
    for (int i = 0; i < photoCount(); ++i) {
      const std::string name = "photo" + std::to_string(i) + ".jpg";
      photos.push_back(mzktest::makePicture(tmp, name, i % 2 ? "480x640" : "640x480",
                                            std::string("gradient:") + kColours[i % 8]));
      if (photos.back().empty()) GTEST_SKIP() << "ImageMagick is needed";
      offsets.push_back((64 + static_cast<uint64_t>(i) * 4000 / photoCount()) * 512);
      image.replace(offsets.back(), photos.back().size(), photos.back());
    }
    card = tmp.file("card.img");
    writeWhole(card, image);
    ReaderFile* reader = new ReaderFile;
    ASSERT_TRUE(reader->open(card.c_str()));
    fileCase->setReader(reader);
    media.set("Description", card);
  }
  virtual int photoCount() const { return 6; }

  // Scans, answering "Scan complete".
  void scan(Browser& browser) {
    DialogScript script;
    script.then("Information", respond(GTK_RESPONSE_REJECT));
    browser.scan();
    ASSERT_TRUE(script.finished());
    EXPECT_NE(script.texts[0].find("Scan complete"), std::string::npos) << script.texts[0];
  }
  GtkTreePath* row(int index) { return gtk_tree_path_new_from_indices(index, -1); }
  std::string nameOf(size_t photo) const {
    return std::to_string(offsets[photo]) + "-" + std::to_string(photos[photo].size()) + ".jpeg";
  }

  ConfigRecord config, media;
  std::unique_ptr<FileCase> fileCase;
  TempFolder tmp;
  std::string image, card;
  std::vector<std::string> photos;
  std::vector<uint64_t> offsets;
};

}  // namespace

TEST(BrowserStatus, CountsFoundAndSelectedFiles) {
  const struct {
    unsigned shown, selected;
    const char* text;
  } cases[] = {{0, 0, "No files found"},
               {1, 0, "One found file"},
               {1, 1, "One found file / All files selected"},
               {5, 1, "5 files found / One file selected"},
               {5, 3, "5 files found / 3 files selected"},
               {5, 5, "5 files found / All files selected"}};
  for (const auto& c : cases) EXPECT_EQ(browserStatusText(c.shown, c.selected), c.text);
}

TEST_F(BrowserTest, ScanShowsEveryPhotoAsAFramedThumbnail) {
  Browser browser(nullptr, media, *fileCase, config);
  EXPECT_EQ(gtk_window_get_title(browser.window()), "mzk (" + card + ")");
  scan(browser);
  ASSERT_EQ(browser.shownCount(), photos.size());
  EXPECT_EQ(browser.statusText(), "6 files found");
  EXPECT_FALSE(gtk_widget_get_visible(browser.scanArea()));
  for (int i = 0; i < static_cast<int>(photos.size()); ++i) {
    GtkTreePath* path = row(i);
    GtkTreeIter iter;
    ASSERT_TRUE(gtk_tree_model_get_iter(browser.model(), &iter, path));
    GdkPixbuf* framed = nullptr;
    gtk_tree_model_get(browser.model(), &iter, Browser::PixbufColumn, &framed, -1);
    ASSERT_NE(framed, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(framed), browser.frame().width());
    g_object_unref(framed);
    EXPECT_EQ(browser.keyAt(path), fileCase->order()[i]);
    gtk_tree_path_free(path);
  }
  browser.selectAll();
  EXPECT_EQ(browser.statusText(), "6 files found / All files selected");
  screenshot("browser-thumbnails");
}

TEST_F(BrowserTest, StopDuringTheScanKeepsWhatWasFoundWithoutScanComplete) {
  config.set("Scan Buffer Size", 512);  // a pump after every sector
  Browser browser(nullptr, media, *fileCase, config);
  DialogScript script;
  script.then("Question", respond(GTK_RESPONSE_ACCEPT));
  g_timeout_add(
      5,
      [](gpointer data) -> gboolean {
        Browser* b = static_cast<Browser*>(data);
        if (b->shownCount() == 0) return TRUE;
        b->stopScan();
        return FALSE;
      },
      &browser);
  browser.scan();
  ASSERT_TRUE(script.finished());
  EXPECT_NE(script.texts[0].find("stop the scan"), std::string::npos);
  EXPECT_TRUE(script.unexpected.empty()) << script.unexpected[0];  // no "Scan complete"
  EXPECT_GE(browser.shownCount(), 1u);
  EXPECT_LT(browser.shownCount(), photos.size());
  EXPECT_EQ(browser.state(), 0);
  EXPECT_FALSE(gtk_widget_get_visible(browser.scanArea()));
}

TEST_F(BrowserTest, SelectMediaDuringTheScanStopsItAndLeaves) {
  config.set("Scan Buffer Size", 512);
  Browser browser(nullptr, media, *fileCase, config);
  DialogScript script;
  script.then("Question", respond(GTK_RESPONSE_ACCEPT));
  g_timeout_add(
      5,
      [](gpointer data) -> gboolean {
        static_cast<Browser*>(data)->selectMedia();
        return FALSE;
      },
      &browser);
  EXPECT_TRUE(browser.run());
  ASSERT_TRUE(script.finished());
  EXPECT_NE(script.texts[0].find("select another media"), std::string::npos);
  EXPECT_TRUE(script.unexpected.empty());
  EXPECT_LT(browser.shownCount(), photos.size());
}

TEST_F(BrowserTest, RecoverUnselectsWhatWasWrittenAndKeepsTheFailureSelected) {
  Browser browser(nullptr, media, *fileCase, config);
  scan(browser);
  // Two files as the FAT scan reports them: one with its name, one whose
  // volume cannot be read.
  FileModule::File named;
  named.offset = offsets[2];
  named.size = photos[2].size();
  named.attributes.set("t", "jpg");
  named.attributes.set("fn", "Holiday.jpg");
  FileModule::File lost = named;
  lost.offset = 0;
  lost.attributes.set("fn", "Lost.jpg");
  lost.attributes.setInt32("fs", 7);
  fileCase->found(named);
  fileCase->found(lost);
  ASSERT_EQ(browser.shownCount(), photos.size() + 2);
  for (int i : {0, 6, 7}) {
    GtkTreePath* path = row(i);
    gtk_icon_view_select_path(browser.iconView(), path);
    gtk_tree_path_free(path);
  }
  ASSERT_EQ(mkdir(tmp.file("out").c_str(), 0755), 0);
  DialogScript::Action pick = choose(tmp.file("out"));
  DialogScript script;
  script
      .then("Select Destination Folder",
            [&](GtkWidget* chooser) {
              for (GtkWidget* box : widgetsOf(chooser, GTK_TYPE_CHECK_BUTTON))
                if (std::string(gtk_button_get_label(GTK_BUTTON(box))) == "_Keep original names")
                  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(box), TRUE);
              return pick(chooser);
            })
      .then("Question", respond(GTK_RESPONSE_ACCEPT))  // go on after the failure
      .then("Information", respond(GTK_RESPONSE_REJECT));
  gtk_action_activate(gtk_action_group_get_action(browser.actionGroup(), "Recover"));
  ASSERT_TRUE(script.finished()) << script.handled.size();
  EXPECT_NE(script.texts[1].find("Cannot recover file"), std::string::npos) << script.texts[1];
  EXPECT_NE(script.texts[2].find("2 of 3 files were recovered"), std::string::npos);
  EXPECT_EQ(readWhole(tmp.file("out/" + nameOf(0))), photos[0]);
  EXPECT_EQ(readWhole(tmp.file("out/Holiday.jpg")), photos[2]);
  std::vector<std::string> written;
  GDir* out = g_dir_open(tmp.file("out").c_str(), 0, nullptr);
  while (const gchar* name = out ? g_dir_read_name(out) : nullptr) written.push_back(name);
  if (out) g_dir_close(out);
  std::sort(written.begin(), written.end());
  EXPECT_EQ((std::vector<std::string>{nameOf(0), "Holiday.jpg"}), written);
  EXPECT_EQ(browser.selectedCount(), 1u);
  GtkTreePath* failed = row(7);
  EXPECT_TRUE(gtk_icon_view_path_is_selected(browser.iconView(), failed));
  gtk_tree_path_free(failed);
  EXPECT_EQ(readWhole(card), image);  // the medium untouched
}

// A folder with room for two of three photos: the user is asked before
// anything is written; No writes nothing, Yes writes what fits and keeps
// the rest selected.
TEST_F(BrowserTest, AFolderWithoutRoomIsQuestionedBeforeAnythingIsWritten) {
  const std::string small = tmp.file("small");
  ASSERT_EQ(mkdir(small.c_str(), 0755), 0);
  auto pages = [](size_t n) { return (n + 4095) / 4096 * 4096; };
  const std::string size = "size=" + std::to_string(pages(photos[0].size()) + pages(photos[1].size()) + 4096);
  if (getuid() != 0 || mount("tmpfs", small.c_str(), "tmpfs", 0, size.c_str()) != 0)
    GTEST_SKIP() << "needs root to mount a small tmpfs";
  struct Unmount {
    std::string path;
    ~Unmount() { umount(path.c_str()); }
  } unmount{small};
  Browser browser(nullptr, media, *fileCase, config);
  scan(browser);
  for (int i : {0, 1, 2}) {
    GtkTreePath* path = row(i);
    gtk_icon_view_select_path(browser.iconView(), path);
    gtk_tree_path_free(path);
  }
  for (bool goOn : {false, true}) {
    SCOPED_TRACE(goOn ? "Yes" : "No");
    DialogScript script;
    script.then("Select Destination Folder", choose(small))
        .then("Warning", respond(goOn ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_REJECT));
    if (goOn) script.then("Question", respond(GTK_RESPONSE_ACCEPT)).then("Information", respond(GTK_RESPONSE_REJECT));
    gtk_action_activate(gtk_action_group_get_action(browser.actionGroup(), "Recover"));
    ASSERT_TRUE(script.finished()) << script.handled.size();
    EXPECT_NE(script.texts[1].find("Only the first 2 files fit"), std::string::npos) << script.texts[1];
    EXPECT_EQ(browser.selectedCount(), goOn ? 1u : 3u);
  }
  std::vector<std::string> written = mzktest::namesIn(small);
  std::sort(written.begin(), written.end());
  EXPECT_EQ((std::vector<std::string>{nameOf(0), nameOf(1)}), written);
}

TEST_F(BrowserTest, OpenHandsACopyToTheDesktopsProgram) {
  const char* opened = getenv("MZK_TEST_OPENED");
  if (!opened) GTEST_SKIP() << "run through ctest, which names the test viewer's output";
  remove(opened);
  Browser browser(nullptr, media, *fileCase, config);
  scan(browser);
  GtkTreePath* path = row(1);
  browser.openFile(path);
  gtk_tree_path_free(path);
  // The viewer runs on its own; give it a few seconds.
  for (int i = 0; i < 100 && readWhole(opened) != photos[1]; ++i) g_usleep(50000);
  EXPECT_EQ(readWhole(opened), photos[1]);
}

TEST_F(BrowserTest, ContextMenuSelectsAndShowsTheProperties) {
  Browser browser(nullptr, media, *fileCase, config);
  scan(browser);
  GtkTreePath* path = row(3);
  browser.showContextMenu(path, nullptr);
  gtk_tree_path_free(path);
  std::vector<std::string> labels;
  std::vector<GtkWidget*> items;
  GList* children = gtk_container_get_children(GTK_CONTAINER(browser.contextMenu()));
  for (GList* c = children; c; c = c->next) {
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(c->data));
    if (!child) continue;
    labels.push_back(gtk_label_get_text(GTK_LABEL(child)));
    items.push_back(GTK_WIDGET(c->data));
  }
  g_list_free(children);
  ASSERT_EQ((std::vector<std::string>{"Open", "Select", "Properties"}), labels);
  gtk_menu_item_activate(GTK_MENU_ITEM(items[1]));
  EXPECT_EQ(browser.selectedCount(), 1u);
  DialogScript script;
  script.then("Properties", respond(GTK_RESPONSE_CLOSE));
  gtk_menu_item_activate(GTK_MENU_ITEM(items[2]));
  gtk_menu_popdown(GTK_MENU(browser.contextMenu()));
  ASSERT_TRUE(script.finished());
  const std::string& text = script.texts[0];
  EXPECT_NE(text.find("Type:\njpeg\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Offset:\n" + std::to_string(offsets[3]) + "\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Size:\n" + std::to_string(photos[3].size()) + "\n"), std::string::npos);
}

TEST_F(BrowserTest, PrintingRepeatsTheGridAndUnselectsWhatWasPrinted) {
  Browser browser(nullptr, media, *fileCase, config);
  scan(browser);
  const struct {
    int columns;
    int pages;
  } cases[] = {{1, 6}, {-1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.columns);
    gtk_icon_view_set_columns(browser.iconView(), c.columns);
    browser.selectAll();
    const std::string pdf = tmp.file("sheet" + std::to_string(c.columns) + ".pdf");
    ASSERT_TRUE(browser.exportSelected(pdf));
    EXPECT_EQ(browser.printer().layout().pages, c.pages);
    // Pages of the PDF: "/Type /Page" objects, not the "/Type /Pages" tree.
    const std::string bytes = readWhole(pdf);
    int pages = 0;
    for (size_t at = bytes.find("/Type /Page"); at != std::string::npos;
         at = bytes.find("/Type /Page", at + 1))
      pages += bytes.compare(at, 12, "/Type /Pages") != 0;
    EXPECT_EQ(pages, c.pages);
    EXPECT_EQ(browser.selectedCount(), 0u);
  }
}

TEST(PrintLayoutTest, ColumnsRowsAndPages) {
  const struct {
    PrintGeometry g;
    int columns, rows, pages;
  } cases[] = {
      // items, cell w/h, spacing c/r, margin, columns, view width, page w/h
      {{10, 120, 90, 8, 8, 16, -1, 800, 500, 700}, 6, 10, 1},
      {{10, 120, 90, 8, 8, 16, -1, 100, 500, 700}, 1, 1, 10},  // narrower than one cell
      {{10, 120, 90, 8, 8, 16, 2, 800, 500, 500}, 2, 2, 3},
      {{1, 0, 0, 0, 0, 0, -1, 800, 0, 0}, 1, 1, 1},  // degenerate sizes do not divide by 0
  };
  for (const auto& c : cases) {
    const PrintLayout l = printLayoutFor(c.g);
    EXPECT_EQ(l.columns, c.columns);
    EXPECT_EQ(l.rows, c.rows);
    EXPECT_EQ(l.pages, c.pages);
  }
}

TEST_F(BrowserTest, ProgramStartedWithAnImageOpensItInTheBrowser) {
  const std::string program = std::string(MZK_APP_DIR) + "/mzk";
  gchar* argv[] = {const_cast<gchar*>(program.c_str()), const_cast<gchar*>("dbg=null"),
                   const_cast<gchar*>(card.c_str()), nullptr};
  GPid pid = 0;
  ASSERT_TRUE(g_spawn_async(nullptr, argv, nullptr,
                            GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL |
                                        G_SPAWN_STDERR_TO_DEV_NULL),
                            nullptr, nullptr, &pid, nullptr));
  const std::string title = "\"mzk (" + card + ")\"";
  bool shown = false;
  for (int i = 0; i < 300 && !shown; ++i) {
    gchar* tree = nullptr;
    if (g_spawn_command_line_sync("xwininfo -root -tree", &tree, nullptr, nullptr, nullptr) && tree)
      shown = std::string(tree).find(title) != std::string::npos;
    g_free(tree);
    if (!shown) g_usleep(100000);
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  g_spawn_close_pid(pid);
  EXPECT_TRUE(shown) << "no browser window titled " << title;
}
