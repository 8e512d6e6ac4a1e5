// The erase and format command.

#include "ui/EraseFormatCommand.h"

#include "device/DeviceClaim.h"
#include "device/FormatTools.h"
#include "device/LoopWindow.h"
#include "media/WriteToMedium.h"
#include "media/Writer.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/gtk/GuiQuestions.h"
#include "shell/gtk/MessageBox.h"
#include "ui/DeviceMessages.h"
#include "ui/ProgressBox.h"

namespace {

// How long the kernel may take to show a new partition.
const int kPartitionWaitMs = 2000;

unsigned partitionType(const std::string& fileSystem) {
  if (fileSystem == "NTFS") return kPartitionNtfs;
  return fileSystem == "FAT" ? kPartitionFat16 : kPartitionFat32;
}

}  // namespace

void EraseFormatCommand::run() {
  EraseFormatOptions options;
  if (!askEraseFormat(parent_, offerErase_, offerPartition_, options)) return;
  carryOut(options);
}

void EraseFormatCommand::tell(const std::string& markup) {
  messageBox(MessageBoxError, markup, parent_, false, nullptr);
}

bool EraseFormatCommand::toolsPresent(const EraseFormatOptions& options) {
  if (!options.format || !FormatTools::system().toolFor(options.fileSystem).empty()) return true;
  tell(format(_("Cannot format with %1: the program %2 is not installed (Debian package %3)."),
              markupEscape(options.fileSystem), FormatTools::toolName(options.fileSystem),
              options.fileSystem == "NTFS" ? "ntfs-3g" : "dosfstools"));
  return false;
}

bool EraseFormatCommand::erase(DeviceClaim& claim) {
  ReaderDevice& device = claim.device();
  GuiQuestions questions(parent_);
  Writer zeros;
  gtk::ProgressBox progress(parent_, gtk::ProgressBox::Operation, device.MediumWriter::size());
  const bool ok = writeToMedium(zeros, &progress, questions, _("Erasing"), device, 0, device.MediumWriter::size());
  if (progress.cancelled()) {
    dlog() << "EraseFormatCommand(58): " << node_ << "\n";
    tell(_("Erasing was cancelled: the media is erased only in part."));
    return false;
  }
  // A failed block was already asked about; the later steps go on.
  if (!ok) dlog() << "EraseFormatCommand(63): " << node_ << "\n";
  return true;
}

void EraseFormatCommand::formatVolume(const EraseFormatOptions& options, const std::string& target,
                                uint64_t hiddenSectors) {
  FormatRequest request;
  request.target = target;
  request.fileSystem = options.fileSystem;
  request.label = options.label;
  request.hiddenSectors = hiddenSectors;
  dlog() << "SelectDevice(503): formatting " << target << "\n";
  std::string output;
  bool ok = false;
  try {
    gtk::ProgressBox progress(parent_, gtk::ProgressBox::Operation, 100, 0, 600);
    progress.setText(0, 0, _("Formatting"));
    ok = FormatTools::system().run(request, &progress, &output);
  } catch (const InterruptedException&) {
    tell(_("Formatting was cancelled: the media may hold no usable file system."));
    return;
  }
  if (!ok) {
    dlog() << "SelectDevice(507)\n";
    tell(format(_("The media could not be formatted with %1:\n\n%2"), markupEscape(options.fileSystem),
                markupEscape(output)));
  }
}

void EraseFormatCommand::carryOut(const EraseFormatOptions& options) {
  if (!toolsPresent(options)) return;
  const bool partition = offerPartition_ && options.createPartition;
  if (!options.erase && !partition && !options.format) return;
  DeviceClaim claim;
  if (!claimForWriting(claim, node_, parent_)) return;
  const uint64_t sectorSize = claim.device().sectorSize();
  if (options.erase && !erase(claim)) return;
  PartitionPlace place;
  if (partition) {
    std::string error;
    if (!createSinglePartition(claim.device().fd(), node_, partitionType(options.fileSystem), place, &error)) {
      dlog() << "SelectDevice(467)\n";
      tell(format(_("The partition table of %1 could not be written:\n%2"), markupEscape(node_),
                  markupEscape(error)));
      return;
    }
  }
  // The format tool claims the volume itself; nothing may hold the disk.
  if (!claim.release()) {
    tell(format(_("Not everything could be written to %1: the media may be damaged or was removed."),
                markupEscape(node_)));
    return;
  }
  if (!options.format) return;
  if (!partition) {
    formatVolume(options, node_, 0);
    return;
  }
  // The new partition, or where the kernel shows none, a loop device over it.
  std::string target = partitionNode(node_, place.start, kPartitionWaitMs);
  LoopWindow window;
  if (target.empty()) {
    std::string error;
    if (!window.attach(node_, place.start, place.size, &error)) {
      dlog() << "FormatDrive(383): 0\n";
      tell(format(_("The new partition of %1 cannot be opened for formatting:\n%2"), markupEscape(node_),
                  markupEscape(error)));
      return;
    }
    target = window.node();
  }
  formatVolume(options, target, place.start / sectorSize);
}
