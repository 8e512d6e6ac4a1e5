// The media selection window.

#include "ui/SelectDevice.h"

#include "engine/FileCase.h"
#include "media/ReaderFile.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/gtk/MessageBox.h"
#include "ui/Windows.h"

SelectDevice::SelectDevice(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase,
                           ConfigRecord& config)
    : WindowBase(parent, &media, &fileCase, &config, false) {
  GtkWidget* main = gtk_vbox_new(FALSE, 16);
  gtk_container_set_border_width(GTK_CONTAINER(main), 16);

  GtkWidget* frame = gtk_frame_new(_("Select the media to recover files from"));
  GtkWidget* inner = gtk_vbox_new(FALSE, 8);
  gtk_container_set_border_width(GTK_CONTAINER(inner), 16);
  GtkWidget* text = gtk_label_new(
      _("Choose a saved card file (a raw image of a memory card) to look for lost photos, "
        "videos, music and documents.\n\nA card in a card reader can be chosen by its device "
        "(for example /dev/sdb) in the same way; it is only read, never written."));
  gtk_label_set_line_wrap(GTK_LABEL(text), TRUE);
  gtk_widget_set_size_request(text, 420, -1);
  gtk_misc_set_alignment(GTK_MISC(text), 0.0f, 0.0f);
  gtk_box_pack_start(GTK_BOX(inner), text, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(frame), inner);
  gtk_box_pack_start(GTK_BOX(main), frame, TRUE, TRUE, 0);

  GtkWidget* buttons = gtk_hbutton_box_new();
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  gtk_box_set_spacing(GTK_BOX(buttons), 16);
  GtkWidget* scan = gtk_button_new_with_mnemonic(_("Scan a Saved Card _File"));
  g_signal_connect(scan, "clicked", G_CALLBACK(onScanClicked), this);
  gtk_container_add(GTK_CONTAINER(buttons), scan);
  gtk_box_pack_start(GTK_BOX(main), buttons, FALSE, FALSE, 0);

  gtk_window_set_title(window(), config.getString("Program Name").c_str());
  GtkWidget* top = gtk_vbox_new(FALSE, 0);
  if (GtkWidget* bar = menuBar()) gtk_box_pack_start(GTK_BOX(top), bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(top), main, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window_), top);
  // Erase and format need the device layer; this window offers neither.
  for (const char* name : {"Erase", "Format"})
    if (GtkAction* action = gtk_action_group_get_action(actionGroup(), name))
      gtk_action_set_sensitive(action, FALSE);
  gtk_widget_grab_focus(scan);
}

void SelectDevice::onScanClicked(GtkButton*, gpointer self) {
  static_cast<SelectDevice*>(self)->scanFile();
}

bool SelectDevice::run() {
  gtk_widget_show_all(GTK_WIDGET(window()));
  gtk_main();
  return started_;
}

bool SelectDevice::openMedium(const std::string& path) {
  ReaderFile* reader = new ReaderFile;
  if (!reader->open(path.c_str())) {
    delete reader;
    dlog() << "SelectDevice(120): " << path << "\n";
    messageBox(MessageBoxError, _("Cannot open file"), window(), false, nullptr);
    return false;
  }
  fileCase_->setReader(reader);
  mediaRecord_->clear();
  gchar* shown = g_filename_display_name(path.c_str());
  mediaRecord_->set("Description", std::string(shown));
  g_free(shown);
  return true;
}

// Without a device list the medium of a raw-data command is chosen like a
// saved card file: an image or a device node, opened read-only.
bool SelectDevice::prepareMedia() {
  std::string path;
  if (!chooseFile(path, GTK_FILE_CHOOSER_ACTION_OPEN)) return false;
  return openMedium(path);
}

void SelectDevice::scanFile() {
  std::string path;
  if (!chooseFile(path, GTK_FILE_CHOOSER_ACTION_OPEN)) return;
  if (!openMedium(path)) return;
  started_ = true;
  if (gtk_main_level() > 0) gtk_main_quit();
  gtk_widget_hide(GTK_WIDGET(window()));
}

bool runSelectDevice(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase,
                     ConfigRecord& config) {
  SelectDevice window(parent, media, fileCase, config);
  return window.run();
}
