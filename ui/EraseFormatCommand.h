// Erasing, partitioning and formatting a device or one of its partitions,
// after the dialog of EraseFormatDialog.h, in this order: erase (zeros
// over the whole device), a new partition table with one partition,
// format.  The device is claimed for writing (its file systems unmounted)
// from the erase to the partitioning and released before the format tool
// opens the volume itself.  Every failure is told; a cancelled step ends
// the command.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "device/Partitioner.h"
#include "ui/EraseFormatDialog.h"

class EraseFormatCommand {
 public:
  // offerErase: the command is "Erase"; offerPartition: `node` is a whole
  // disk, which may get a new partition table.
  EraseFormatCommand(GtkWindow* parent, const std::string& node, bool offerErase, bool offerPartition)
      : parent_(parent), node_(node), offerErase_(offerErase), offerPartition_(offerPartition) {}
  void run();

  // The steps after the dialog, for a given choice.
  void carryOut(const EraseFormatOptions& options);

 private:
  // False when the user was told why the steps cannot start.
  bool toolsPresent(const EraseFormatOptions& options);
  bool erase(class DeviceClaim& claim);
  void formatVolume(const EraseFormatOptions& options, const std::string& target, uint64_t hiddenSectors);
  void tell(const std::string& markup);

  GtkWindow* parent_;
  std::string node_;
  bool offerErase_;
  bool offerPartition_;
};
