// The media selection window.

#include "ui/SelectDevice.h"

#include <cerrno>

#include "device/DeviceClaim.h"
#include "device/DeviceRecords.h"
#include "device/FormatTools.h"
#include "device/MountTable.h"
#include "device/ReaderDevice.h"
#include "engine/FileCase.h"
#include "media/ReaderFile.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/gtk/MessageBox.h"
#include "shell/gtk/SystemOpen.h"
#include "ui/DeviceMessages.h"
#include "ui/EraseFormatCommand.h"
#include "ui/Windows.h"

namespace {

// The chosen device, claimed for a restore once the user confirmed.
class DeviceWriteTarget : public WriteTarget {
 public:
  DeviceWriteTarget(GtkWindow* parent, const DeviceInfo& device) : parent_(parent), device_(device) {}
  uint64_t size() const override { return device_.size; }
  uint64_t sectorSize() const override { return device_.sectorSize; }
  MediumWriter* claim() override {
    if (!claimForWriting(claim_, device_.node, parent_)) return nullptr;
    return &claim_.device();
  }
  bool finish() override {
    if (claim_.release()) return true;
    messageBox(MessageBoxError,
               format(_("Not everything could be written to %1: the media may be damaged or was removed."),
                      markupEscape(device_.node)),
               parent_, false, nullptr);
    return false;
  }

 private:
  GtkWindow* parent_;
  DeviceInfo device_;
  DeviceClaim claim_;
};

struct DriveButton {
  SelectDevice* window;
  std::string node;
  std::string mountPoint;
};

void onOpenDrive(GtkButton*, gpointer data) {
  gchar* name = g_filename_to_utf8(static_cast<DriveButton*>(data)->mountPoint.c_str(), -1, nullptr, nullptr, nullptr);
  if (name) systemOpen(name);
  g_free(name);
}

void onEraseDrive(GtkButton*, gpointer data) {
  DriveButton* drive = static_cast<DriveButton*>(data);
  drive->window->format(drive->node, true, false);
}

void freeDrive(gpointer data, GClosure*) { delete static_cast<DriveButton*>(data); }

std::string displayed(const std::string& name) {
  gchar* text = g_filename_display_name(name.c_str());
  std::string out = text;
  g_free(text);
  return out;
}

}  // namespace

SelectDevice::SelectDevice(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase, ConfigRecord& config,
                           DeviceLister lister)
    : WindowBase(parent, &media, &fileCase, &config, false), lister_(lister) {
  if (!lister_) lister_ = []() { return listDevices(); };
  // The format tools are looked up once, before they are needed.
  FormatTools::system();
  GtkWidget* main = gtk_vbox_new(FALSE, 16);
  gtk_container_set_border_width(GTK_CONTAINER(main), 16);

  GtkWidget* frame = gtk_frame_new(_("Select the media to recover files from"));
  GtkWidget* inner = gtk_vbox_new(FALSE, 8);
  gtk_container_set_border_width(GTK_CONTAINER(inner), 8);
  list_ = gtk_combo_box_text_new();
  gtk_widget_set_name(list_, "devices");
  g_signal_connect(list_, "changed", G_CALLBACK(onChanged), this);
  gtk_box_pack_start(GTK_BOX(inner), list_, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(frame), inner);
  gtk_box_pack_start(GTK_BOX(main), frame, FALSE, FALSE, 0);

  frame = gtk_frame_new(_("Selected Media Information"));
  inner = gtk_vbox_new(FALSE, 8);
  gtk_container_set_border_width(GTK_CONTAINER(inner), 16);
  GtkSizeGroup* group = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
  for (int i = 0; i < 5; ++i) {
    rows_[i] = gtk_hbox_new(FALSE, 8);
    left_[i] = gtk_label_new(nullptr);
    right_[i] = gtk_label_new(nullptr);
    gtk_widget_set_name(right_[i], ("value" + std::to_string(i)).c_str());
    gtk_misc_set_alignment(GTK_MISC(left_[i]), 1.0f, 0.5f);
    gtk_misc_set_alignment(GTK_MISC(right_[i]), 0.0f, 0.5f);
    gtk_label_set_selectable(GTK_LABEL(right_[i]), TRUE);
    gtk_size_group_add_widget(group, left_[i]);
    gtk_box_pack_start(GTK_BOX(rows_[i]), left_[i], FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(rows_[i]), right_[i], FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(inner), rows_[i], FALSE, FALSE, 0);
  }
  g_object_unref(group);
  gtk_container_add(GTK_CONTAINER(frame), inner);
  gtk_box_pack_start(GTK_BOX(main), frame, TRUE, TRUE, 0);

  drives_ = gtk_vbox_new(FALSE, 0);
  gtk_widget_set_name(drives_, "drives");
  gtk_box_pack_start(GTK_BOX(main), drives_, FALSE, FALSE, 0);

  GtkWidget* buttons = gtk_hbutton_box_new();
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_EDGE);
  gtk_box_set_spacing(GTK_BOX(buttons), 16);
  GtkWidget* erase = gtk_button_new_with_mnemonic(_("_Erase Card"));
  GtkWidget* formatButton = gtk_button_new_with_mnemonic(_("Format Card"));
  GtkWidget* start = gtk_button_new_with_mnemonic(_("_Start Scan"));
  gtk_widget_set_name(start, "start");
  g_signal_connect(erase, "clicked", G_CALLBACK(onErase), this);
  g_signal_connect(formatButton, "clicked", G_CALLBACK(onFormat), this);
  g_signal_connect(start, "clicked", G_CALLBACK(onStart), this);
  for (GtkWidget* b : {erase, formatButton, start}) gtk_container_add(GTK_CONTAINER(buttons), b);
  gtk_box_pack_start(GTK_BOX(main), buttons, FALSE, FALSE, 0);

  gtk_window_set_title(window(), config.getString("Program Name").c_str());
  GtkWidget* top = gtk_vbox_new(FALSE, 0);
  if (GtkWidget* bar = menuBar()) gtk_box_pack_start(GTK_BOX(top), bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(top), main, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window_), top);
  gtk_widget_grab_focus(start);
  gtk_widget_show_all(top);

  switched_ = {erase, formatButton, start};
  for (const char* path : {"/MenuBar/FileMenu/Erase", "/MenuBar/FileMenu/Format", "/MenuBar/FileMenu/SaveRawData",
                           "/MenuBar/FileMenu/RestoreRawData"})
    if (GtkWidget* item = getWidget(path)) switched_.push_back(item);
  refresh();
}

void SelectDevice::refresh() {
  gtk_list_store_clear(GTK_LIST_STORE(gtk_combo_box_get_model(GTK_COMBO_BOX(list_))));
  devices_ = allowedDevices(lister_(), config_->getString("Allowed Bus Types", "1394,USB,SD,MMC"));
  for (GtkWidget* w : switched_) gtk_widget_set_sensitive(w, !devices_.empty());
  if (devices_.empty()) gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(list_), _("No devices found"));
  // The first USB device, else the first line.
  int preselect = -1;
  for (size_t i = 0; i < devices_.size(); ++i) {
    const DeviceInfo& device = devices_[i];
    gtk_combo_box_text_append_text(
        GTK_COMBO_BOX_TEXT(list_), (displayed(deviceDescription(device)) + " (" + formatSize(device.size) + ")").c_str());
    if (device.busType == "USB" && preselect < 0) preselect = static_cast<int>(i);
  }
  if (preselect < 0) preselect = 0;
  gtk_combo_box_set_active(GTK_COMBO_BOX(list_), preselect);
}

const DeviceInfo* SelectDevice::chosen(int tag) const {
  const int index = gtk_combo_box_get_active(GTK_COMBO_BOX(list_));
  if (index >= 0 && static_cast<size_t>(index) < devices_.size()) return &devices_[index];
  dlog() << "SelectDevice(" << tag << "): " << index << " " << devices_.size() << "\n";
  return nullptr;
}

void SelectDevice::setRow(int row, const char* caption, const std::string& value) {
  gtk_label_set_markup(GTK_LABEL(left_[row]),
                       (std::string("<i><u><span color=\"dark green\">") + markupEscape(caption) + ":</span></u></i>").c_str());
  gtk_label_set_markup(GTK_LABEL(right_[row]), markupEscape(displayed(value)).c_str());
  gtk_widget_show(rows_[row]);
}

void SelectDevice::addDriveFrame(const std::string& node, const std::string& mountPoint) {
  const std::string title = mountPoint.empty()
                                ? ::format(_("Drive %1"), displayed(node))
                                : ::format(_("Drive %1, mounted on %2"), displayed(node), displayed(mountPoint));
  GtkWidget* frame = gtk_frame_new(title.c_str());
  GtkWidget* box = gtk_hbox_new(TRUE, 8);
  gtk_container_set_border_width(GTK_CONTAINER(box), 8);
  GtkWidget* open = gtk_button_new_with_mnemonic(_("Open"));
  GtkWidget* erase = gtk_button_new_with_mnemonic(_("Erase / Format"));
  // Only a mounted file system has a folder to open.
  gtk_widget_set_sensitive(open, !mountPoint.empty());
  g_signal_connect_data(open, "clicked", G_CALLBACK(onOpenDrive), new DriveButton{this, node, mountPoint}, freeDrive,
                        GConnectFlags(0));
  g_signal_connect_data(erase, "clicked", G_CALLBACK(onEraseDrive), new DriveButton{this, node, mountPoint}, freeDrive,
                        GConnectFlags(0));
  gtk_box_pack_start(GTK_BOX(box), open, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(box), erase, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(frame), box);
  gtk_box_pack_start(GTK_BOX(drives_), frame, TRUE, TRUE, 0);
}

void SelectDevice::updatePanel() {
  const int index = gtk_combo_box_get_active(GTK_COMBO_BOX(list_));
  if (index < 0 || static_cast<size_t>(index) >= devices_.size()) {
    gtk_label_set_markup(
        GTK_LABEL(left_[0]),
        ::format(_("%1 cannot find a valid media attached\nto this computer. Check your cable connections and "
                 "power.\nYou can attach the media via a card reader, or directly\nthrough the camera. Please "
                 "attach media and select\n\"Look for media cards and cameras\" in the \"File\" menu."),
               markupEscape(config_->getString("Program Name")))
            .c_str());
    gtk_label_set_text(GTK_LABEL(right_[0]), "");
    gtk_widget_show(rows_[0]);
    for (int i = 1; i < 5; ++i) gtk_widget_hide(rows_[i]);
    return;
  }
  const DeviceInfo& device = devices_[index];
  std::string attached = device.parentDescription;
  if (!attached.empty() && !device.parentLocation.empty()) attached += "\n" + device.parentLocation;
  const std::pair<const char*, std::string> rows[] = {{_("Model Number"), device.model},
                                                      {_("Revision"), device.revision},
                                                      {_("Serial Number"), device.serial},
                                                      {_("Size (in bytes)"), std::to_string(device.size)},
                                                      {_("Attached to"), attached}};
  int row = 0;
  for (const auto& item : rows)
    if (!item.second.empty()) setRow(row++, item.first, item.second);
  for (; row < 5; ++row) gtk_widget_hide(rows_[row]);

  GList* children = gtk_container_get_children(GTK_CONTAINER(drives_));
  for (GList* c = children; c; c = c->next) gtk_widget_destroy(GTK_WIDGET(c->data));
  g_list_free(children);
  // One frame per partition; a file system on the whole disk (a card
  // without partition table) is a drive too.
  const std::vector<MountRecord> mounts = readMountTable();
  auto mountPointOf = [&mounts](dev_t number) {
    std::vector<MountRecord> on = mountsOn(mounts, {number});
    return on.empty() ? std::string() : on.front().mountPoint;
  };
  const std::string whole = mountPointOf(device.device);
  if (!whole.empty()) addDriveFrame(device.node, whole);
  for (const PartitionInfo& part : device.partitions) addDriveFrame(part.node, mountPointOf(part.device));
  gtk_widget_show_all(drives_);
}

bool SelectDevice::prepareMedia() {
  const DeviceInfo* device = chosen(539);
  if (!device) return false;
  ReaderDevice* reader = new ReaderDevice;
  if (!reader->open(device->node.c_str(), ReaderDevice::ForReading)) {
    const int error = reader->lastError();
    delete reader;
    std::string text = std::string(_("Cannot initialize device")) + "\n(" + markupEscape(displayed(deviceDescription(*device))) + ")";
    if (error == EACCES || error == EPERM) text += "\n\n" + markupEscape(privilegeAdvice());
    messageBox(MessageBoxError, text, window(), false, nullptr);
    return false;
  }
  fileCase_->setReader(reader);
  *mediaRecord_ = deviceRecord(*device);
  return true;
}

std::unique_ptr<WriteTarget> SelectDevice::writeTarget() {
  const DeviceInfo* device = chosen(487);
  if (!device) return nullptr;
  // Told before any question, rather than after the user chose an image.
  if (DeviceClaim::writeProtected(device->node)) {
    tellWriteProtected(window());
    return nullptr;
  }
  return std::unique_ptr<WriteTarget>(new DeviceWriteTarget(window(), *device));
}

void SelectDevice::format(const std::string& node, bool offerErase, bool offerPartition) {
  EraseFormatCommand(window(), node, offerErase, offerPartition).run();
}

void SelectDevice::eraseCard() {
  if (const DeviceInfo* device = chosen(417)) format(device->node, true, true);
}

void SelectDevice::formatCard() {
  if (const DeviceInfo* device = chosen(417)) format(device->node, false, true);
}

void SelectDevice::onChanged(GtkComboBox*, gpointer self) { static_cast<SelectDevice*>(self)->updatePanel(); }
void SelectDevice::onStart(GtkButton*, gpointer self) { static_cast<SelectDevice*>(self)->startScan(); }
void SelectDevice::onErase(GtkButton*, gpointer self) { static_cast<SelectDevice*>(self)->eraseCard(); }
void SelectDevice::onFormat(GtkButton*, gpointer self) { static_cast<SelectDevice*>(self)->formatCard(); }

void SelectDevice::startScan() {
  if (prepareMedia()) finish();
}

void SelectDevice::finish() {
  started_ = true;
  if (gtk_main_level() > 0) gtk_main_quit();
  gtk_widget_hide(GTK_WIDGET(window()));
}

bool SelectDevice::run() {
  gtk_widget_show(GTK_WIDGET(window()));
  gtk_main();
  return started_;
}

bool SelectDevice::openFile(const std::string& path) {
  ReaderFile* reader = new ReaderFile;
  if (!reader->open(path.c_str())) {
    delete reader;
    dlog() << "SelectDevice(120): " << path << "\n";
    messageBox(MessageBoxError, _("Cannot open file"), window(), false, nullptr);
    return false;
  }
  fileCase_->setReader(reader);
  mediaRecord_->clear();
  mediaRecord_->set("Description", displayed(path));
  return true;
}

void SelectDevice::scanFile() {
  std::string path;
  if (!chooseFile(path, GTK_FILE_CHOOSER_ACTION_OPEN)) return;
  if (openFile(path)) finish();
}

bool runSelectDevice(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase, ConfigRecord& config) {
  SelectDevice window(parent, media, fileCase, config);
  return window.run();
}
