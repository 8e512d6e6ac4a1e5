// The confirmation-and-options dialog of erasing and formatting.
#pragma once

#include <gtk/gtk.h>

#include <string>

struct EraseFormatOptions {
  bool erase = false;            // overwrite the whole device with zeros first
  bool createPartition = false;  // a new partition table with one partition
  bool format = false;           // format the volume
  std::string fileSystem;        // "FAT", "FAT32" or "NTFS"
  std::string label;             // volume label
};

// Runs the modal dialog ("Erase Media" when offerErase, else "Format
// Drive"); the erase and partition choices are shown only when offered.
// Every choice shown starts ticked, with FAT32 and the label "MEDIA".
// The label holds at most 11 characters for FAT and FAT32, 16 for NTFS.
// True when the user answered Yes.
bool askEraseFormat(GtkWindow* parent, bool offerErase, bool offerPartition, EraseFormatOptions& options);
