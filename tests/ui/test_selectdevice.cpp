// The media selection window: the device list and its filter, the panel,
// the erase and format dialog, and a loop-device "card" that is scanned,
// saved, restored, erased and formatted through the window.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <sys/sysmacros.h>

#include <memory>

#include "device/ReaderDevice.h"
#include "shell/Format.h"
#include "tests/support/LoopDevice.h"
#include "tests/ui/WindowTestDriver.h"
#include "ui/EraseFormatDialog.h"
#include "ui/SelectDevice.h"

using namespace wintest;

namespace {

DeviceInfo fakeDevice(const char* name, const char* bus, const char* model) {
  DeviceInfo d;
  d.name = name;
  d.node = std::string("/dev/") + name;
  d.busType = bus;
  d.model = model;
  d.size = 1000 * 512;
  return d;
}

// The lines of the device list, the active one marked "*".
std::vector<std::string> lines(GtkWidget* combo) {
  std::vector<std::string> out;
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
  GtkTreeIter it;
  for (gboolean ok = gtk_tree_model_get_iter_first(model, &it); ok; ok = gtk_tree_model_iter_next(model, &it)) {
    gchar* text = nullptr;
    gtk_tree_model_get(model, &it, 0, &text, -1);
    out.push_back((int(out.size()) == gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) ? "*" : "") + std::string(text));
    g_free(text);
  }
  return out;
}

// The panel rows that are shown, as "caption value".
std::vector<std::string> shownRows(GtkWidget* window) {
  std::vector<std::string> out;
  for (int i = 0; i < 5; ++i) {
    GtkWidget* value = widgetNamed(window, ("value" + std::to_string(i)).c_str());
    GtkWidget* row = gtk_widget_get_parent(value);
    if (!gtk_widget_get_visible(row)) continue;
    GList* children = gtk_container_get_children(GTK_CONTAINER(row));
    out.push_back(std::string(gtk_label_get_text(GTK_LABEL(children->data))) + " " + gtk_label_get_text(GTK_LABEL(value)));
    g_list_free(children);
  }
  return out;
}

class SelectDeviceTest : public WindowTest {
 protected:
  void open(std::vector<DeviceInfo> devices) {
    window.reset(new SelectDevice(nullptr, media, *fileCase, config, [devices]() { return devices; }));
    window->setLastFolder(tmp.path());
  }
  GtkWidget* widget(const char* name) { return widgetNamed(GTK_WIDGET(window->window()), name); }
  void run(const char* action, const DialogScript& script) { runAction(*window, action, script); }
  std::unique_ptr<SelectDevice> window;
};

}  // namespace

TEST_F(SelectDeviceTest, ListKeepsTheAllowedBusesAndPreselectsTheFirstUsbDevice) {
  const std::vector<DeviceInfo> devices = {fakeDevice("sda", "ATA", "Disk A"), fakeDevice("sdb", "USB", "Reader B"),
                                           fakeDevice("sdc", "USB", "Reader C"), fakeDevice("mmcblk0", "SD", "")};
  const std::string size = " (" + formatSize(512000) + ")";
  const struct {
    const char* allowed;
    std::vector<std::string> lines;
  } cases[] = {
      {"ALL",
       {"Disk A (/dev/sda)" + size, "*Reader B (/dev/sdb)" + size, "Reader C (/dev/sdc)" + size,
        "SD card (/dev/mmcblk0)" + size}},
      {"SD,ATA", {"*Disk A (/dev/sda)" + size, "SD card (/dev/mmcblk0)" + size}},
      {"ATA, SD", {"*Disk A (/dev/sda)" + size}},
      {"MMC", {"*No devices found"}},
  };
  for (const auto& c : cases) {
    config.set("Allowed Bus Types", c.allowed);
    open(devices);
    EXPECT_EQ(lines(widget("devices")), c.lines) << c.allowed;
    EXPECT_EQ(gtk_widget_get_sensitive(widget("start")), c.lines[0] != "*No devices found") << c.allowed;
  }
}

TEST_F(SelectDeviceTest, PanelShowsTheValuesADeviceHasAndOneFramePerPartition) {
  DeviceInfo full = fakeDevice("sdb", "USB", "STORAGE DEVICE");
  full.revision = "1.00";
  full.serial = "123456";
  full.parentDescription = "Realtek USB3.0-CRW";
  full.parentLocation = "USB bus 1, port 2";
  full.partitions = {{"sdb1", "/dev/sdb1", makedev(250, 1), 1 << 20, 1 << 20},
                     {"sdb2", "/dev/sdb2", makedev(250, 2), 2 << 20, 1 << 20}};
  DeviceInfo bare = fakeDevice("loop5", "Loop", "");
  bare.parentLocation = "only a location";
  config.set("Allowed Bus Types", "ALL");
  open({full, bare});
  gtk_widget_show(GTK_WIDGET(window->window()));
  EXPECT_EQ(shownRows(GTK_WIDGET(window->window())),
            (std::vector<std::string>{"Model Number: STORAGE DEVICE", "Revision: 1.00", "Serial Number: 123456",
                                      "Size (in bytes): 512000", "Attached to: Realtek USB3.0-CRW\nUSB bus 1, port 2"}));
  std::vector<GtkWidget*> frames = widgetsOf(widget("drives"), GTK_TYPE_FRAME);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_STREQ(gtk_frame_get_label(GTK_FRAME(frames[1])), "Drive /dev/sdb2");
  gtk_combo_box_set_active(GTK_COMBO_BOX(widget("devices")), 1);
  EXPECT_EQ(shownRows(GTK_WIDGET(window->window())), std::vector<std::string>{"Size (in bytes): 512000"});
  EXPECT_TRUE(widgetsOf(widget("drives"), GTK_TYPE_FRAME).empty());
}

TEST_F(SelectDeviceTest, EraseFormatDialogOffersItsChoicesAndLimitsTheLabel) {
  DialogScript script;
  std::vector<std::string> seen;
  script.then("Erase Media", [&](GtkWidget* dialog) {
    GtkWidget* system = widgetNamed(dialog, "filesystem");
    GtkWidget* label = widgetNamed(dialog, "label");
    gchar* active = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(system));
    seen.push_back(std::string(active) + " " + gtk_entry_get_text(GTK_ENTRY(label)));
    g_free(active);
    gtk_combo_box_set_active(GTK_COMBO_BOX(system), 2);  // NTFS: 16 characters
    gtk_entry_set_text(GTK_ENTRY(label), "ABCDEFGHIJKLMNOPQRS");
    seen.push_back(gtk_entry_get_text(GTK_ENTRY(label)));
    gtk_combo_box_set_active(GTK_COMBO_BOX(system), 0);  // FAT: 11
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widgetNamed(dialog, "format")), FALSE);
    seen.push_back(gtk_widget_is_sensitive(label) ? "options sensitive" : "options insensitive");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widgetNamed(dialog, "erase")), FALSE);
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    return true;
  });
  EraseFormatOptions options;
  ASSERT_TRUE(askEraseFormat(nullptr, true, true, options));
  EXPECT_EQ(seen, (std::vector<std::string>{"FAT32 MEDIA", "ABCDEFGHIJKLMNOP", "options insensitive"}));
  EXPECT_TRUE(!options.erase && options.createPartition && !options.format);
  EXPECT_EQ(options.fileSystem + " " + options.label, "FAT ABCDEFGHIJK");

  // Formatting a drive offers neither erasing nor a partition table.
  DialogScript other;
  bool offered = true;
  other.then("Format Drive", [&](GtkWidget* dialog) {
    offered = widgetNamed(dialog, "erase") || widgetNamed(dialog, "partition");
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    return true;
  });
  EXPECT_FALSE(askEraseFormat(nullptr, false, false, options));
  EXPECT_FALSE(offered);
}

// ---- a loop device as the card ----

namespace {

class LoopCardTest : public SelectDeviceTest {
 protected:
  void attach(bool readOnly) {
    config.set("Allowed Bus Types", "Loop");
    ASSERT_TRUE(mzktest::makeFatImage(tmp.file("card.img"), 34));
    card = readWhole(tmp.file("card.img"));
    loop.reset(new mzktest::LoopDevice(tmp.file("card.img"), readOnly));
    if (!loop->ok()) return;
    open(listDevices());
    for (size_t i = 0; i < window->devices().size(); ++i)
      if (window->devices()[i].node == loop->node()) gtk_combo_box_set_active(GTK_COMBO_BOX(widget("devices")), int(i));
  }
  std::string card;
  std::unique_ptr<mzktest::LoopDevice> loop;
};

}  // namespace

TEST_F(LoopCardTest, StartScanOpensTheCardReadOnly) {
  attach(false);
  MZK_SKIP_WITHOUT_LOOP(*loop);
  gtk_button_clicked(GTK_BUTTON(widget("start")));
  ASSERT_TRUE(window->started());
  const ReaderDevice* reader = dynamic_cast<const ReaderDevice*>(fileCase->reader());
  ASSERT_TRUE(reader);
  EXPECT_FALSE(reader->writable());
  EXPECT_EQ(reader->Reader::size(), card.size());
  EXPECT_EQ(media.getString("File"), loop->node());
}

TEST_F(LoopCardTest, SavedCardIsRestoredByteForByteInWholeSectors) {
  attach(false);
  MZK_SKIP_WITHOUT_LOOP(*loop);
  DialogScript save;
  save.then("Save Raw Data", respond(GTK_RESPONSE_OK))
      .then("Select Destination File", choose(tmp.file("saved.img")))
      .then("Information", respond(GTK_RESPONSE_CLOSE));
  run("SaveRawData", save);
  EXPECT_TRUE(readWhole(tmp.file("saved.img")) == card);

  const std::string other = patternBytes(1 << 20, 3);
  writeWhole(tmp.file("other.img"), other);
  // A device takes whole sectors only: a range that is not is asked again.
  DialogScript restore;
  restore.then("Select Source File", choose(tmp.file("other.img")))
      .then("Restore Raw Data", enterRange(100, other.size()))
      .then("Error", respond(GTK_RESPONSE_CLOSE))
      .then("Restore Raw Data", enterRange(4096, other.size()))
      .then("Question", respond(GTK_RESPONSE_ACCEPT));
  run("RestoreRawData", restore);
  EXPECT_NE(restore.texts[2].find("whole sectors"), std::string::npos) << restore.texts[2];
  const std::string now = readWhole(tmp.file("card.img"));
  EXPECT_TRUE(now.substr(4096, other.size()) == other);
  EXPECT_TRUE(now.substr(0, 4096) == card.substr(0, 4096));
}

TEST_F(LoopCardTest, EraseZeroesTheCardAndFormatGivesAVolumeFsckAccepts) {
  attach(false);
  MZK_SKIP_WITHOUT_LOOP(*loop);
  DialogScript erase;
  erase.then("Erase Media", [](GtkWidget* dialog) {
    for (const char* name : {"partition", "format"})
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widgetNamed(dialog, name)), FALSE);
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    return true;
  });
  run("Erase", erase);
  EXPECT_TRUE(readWhole(tmp.file("card.img")) == std::string(card.size(), '\0'));

  DialogScript format;
  format.then("Format Drive", respond(GTK_RESPONSE_OK));
  run("Format", format);
  writeWhole(tmp.file("volume.img"), readWhole(tmp.file("card.img")).substr(1 << 20));
  EXPECT_TRUE(mzktest::shell("fsck.vfat -n " + tmp.file("volume.img")));
}

TEST_F(LoopCardTest, WriteProtectedCardIsScannedButNotWritten) {
  attach(true);
  MZK_SKIP_WITHOUT_LOOP(*loop);
  DialogScript restore, erase;
  restore.then("Error", respond(GTK_RESPONSE_CLOSE));
  run("RestoreRawData", restore);  // told before any file is chosen
  erase.then("Erase Media", respond(GTK_RESPONSE_OK)).then("Error", respond(GTK_RESPONSE_CLOSE));
  run("Erase", erase);
  EXPECT_NE(restore.texts[0].find("write-protected"), std::string::npos) << restore.texts[0];
  EXPECT_NE(erase.texts[1].find("write-protected"), std::string::npos) << erase.texts[1];
  EXPECT_TRUE(readWhole(tmp.file("card.img")) == card);
  gtk_button_clicked(GTK_BUTTON(widget("start")));
  EXPECT_TRUE(window->started());
}
