// The media selection window: the first window, and the one the browser
// returns to.  It lists the storage devices on the allowed buses, shows
// the chosen one's details and partitions, erases and formats it, and
// opens the medium to scan - the chosen device (read-only) or a saved
// card file - as the reader of the shared file case.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/BlockDevices.h"
#include "ui/WindowBase.h"

class SelectDevice : public WindowBase {
 public:
  // Where the devices come from; tests give a fixed list.
  typedef std::function<std::vector<DeviceInfo>()> DeviceLister;

  SelectDevice(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase, ConfigRecord& config,
               DeviceLister lister = DeviceLister());
  // Shows the window and runs its main loop; true once a medium was opened.
  bool run();

  // Opens the chosen device read-only as the file case's medium.
  bool prepareMedia() override;
  void refresh() override;
  void scanFile() override;
  void eraseCard() override;
  void formatCard() override;
  // The chosen device, claimed for writing once the user confirmed.
  std::unique_ptr<WriteTarget> writeTarget() override;

  // The erase and format command on a device (offerPartition) or on one of
  // its partitions.
  void format(const std::string& node, bool offerErase, bool offerPartition);

  bool started() const { return started_; }
  // The devices that passed the bus filter, in list order.
  const std::vector<DeviceInfo>& devices() const { return devices_; }

 private:
  // The chosen device, or null (and the log line `tag`) when none is.
  const DeviceInfo* chosen(int tag) const;
  // Opens `path` read-only as the file case's medium; false (and the
  // error box) when it cannot be opened.
  bool openFile(const std::string& path);
  void updatePanel();
  void addDriveFrame(const std::string& node, const std::string& mountPoint);
  void setRow(int row, const char* caption, const std::string& value);
  void startScan();
  void finish();

  static void onChanged(GtkComboBox*, gpointer self);
  static void onStart(GtkButton*, gpointer self);
  static void onErase(GtkButton*, gpointer self);
  static void onFormat(GtkButton*, gpointer self);

  DeviceLister lister_;
  bool started_ = false;
  std::vector<DeviceInfo> devices_;
  GtkWidget* list_ = nullptr;
  GtkWidget* drives_ = nullptr;
  GtkWidget* rows_[5] = {};
  GtkWidget* left_[5] = {};
  GtkWidget* right_[5] = {};
  std::vector<GtkWidget*> switched_;
};
