// Save and restore of raw images, and the debug dump.

#include "ui/RawDataCommands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include "engine/FileCase.h"
#include "engine/FileModule.h"
#include "media/MediumWriter.h"
#include "media/Reader.h"
#include "media/WriteToMedium.h"
#include "media/Writer.h"
#include "recover/FileRecoverer.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/InterfaceCallback.h"
#include "shell/Intl.h"
#include "shell/gtk/GuiQuestions.h"
#include "shell/gtk/MessageBox.h"
#include "ui/DebugDump.h"
#include "ui/ProgressBox.h"
#include "ui/WindowBase.h"

namespace {

std::string shown(const std::string& path) {
  gchar* name = g_filename_display_name(path.c_str());
  std::string text = markupEscape(name);
  g_free(name);
  return text;
}

Reader* mediumOf(WindowBase& window) {
  try {
    return window.fileCase() ? window.fileCase()->reader() : nullptr;
  } catch (const std::exception&) {
    return nullptr;
  }
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace

SaveName splitSaveName(const std::string& chosenPath) {
  SaveName name;
  const size_t slash = chosenPath.find_last_of('/');
  std::string base = chosenPath;
  if (slash != std::string::npos) {
    name.folder = chosenPath.substr(0, slash);
    base = chosenPath.substr(slash + 1);
  } else {
    name.folder = ".";
  }
  if (slash == 0) name.folder = "";  // a file in "/" gives "/name"
  const size_t dot = base.find_last_of('.');
  if (dot == std::string::npos) {
    name.stem = base;
  } else {
    name.stem = base.substr(0, dot);
    name.extension = base.substr(dot + 1);
  }
  if (name.extension.empty()) name.extension = "img";
  return name;
}

bool SaveRawDataCommand::chooseDestination(SaveName& name, bool& replace) {
  std::string chosen = "data.img";
  for (;;) {
    if (!window_.chooseFile(chosen, GTK_FILE_CHOOSER_ACTION_SAVE)) return false;
    name = splitSaveName(chosen);
    const std::string path = name.path();
    std::string why;
    // The chooser checked the name as typed; the extension may make it
    // another file - possibly the very image being saved from.
    if (window_.destinationOnMedium(path, &why)) {
      messageBox(MessageBoxError,
                 format(_("<span color=\"red\">Warning:</span> Cannot save to %1: the file lies on "
                          "the media you are saving.\n(%2)"),
                        shown(path), markupEscape(why)),
                 window_.window(), false, nullptr);
      chosen = name.stem + "." + name.extension;
      continue;
    }
    replace = exists(path);
    if (replace && path != chosen) {
      const int answer = messageBox(
          MessageBoxQuestion,
          format(_("<span color=\"red\">Warning:</span> A file named %1 already exists."
                   "\n\nDo you want to replace it?"),
                 shown(path)),
          window_.window(), true, nullptr);
      if (answer & MessageBoxNotYes) {
        chosen = name.stem + "." + name.extension;
        continue;
      }
    }
    return true;
  }
}

void SaveRawDataCommand::run() {
  if (!window_.prepareMedia()) return;
  Reader* medium = mediumOf(window_);
  if (!medium) {
    dlog() << "RawDataCommands(121)\n";
    return;
  }
  const uint64_t mediumSize = medium->size();
  const int64_t limit = mediumSize > static_cast<uint64_t>(INT64_MAX)
                            ? INT64_MAX
                            : static_cast<int64_t>(mediumSize);
  int64_t offset = 0;
  int64_t size = limit;
  if (!window_.askOffsetAndSize(_("Save Raw Data"), window_.window(), offset, size, limit, limit))
    return;
  SaveName name;
  bool replace = false;
  if (!chooseDestination(name, replace)) return;
  const std::string path = name.path();

  FileModule::File record;
  record.offset = static_cast<uint64_t>(offset);
  record.size = static_cast<uint64_t>(size);
  record.attributes.set("t", name.extension);
  record.attributes.setUint32("r", 0);

  GuiQuestions questions(window_.window());
  std::unique_ptr<gtk::ProgressBox> progress(
      new gtk::ProgressBox(window_.window(), gtk::ProgressBox::FileCopy, record.size));
  FileRecoverer recoverer(progress.get(), &questions, window_.fileCase(), record.size, name.folder);
  recoverer.setMedium(window_.mediumIdentity());
  bool ok = false;
  try {
    ok = recoverer.recoverTo(
        record, format(_("Raw Data, Offset: %1, Size: %2"), record.offset, record.size), path);
  } catch (const InterruptedException&) {
    progress.reset();
    // A cut-short image would pass for a whole one: the file was created
    // exclusively by this save, so it goes.
    if (!recoverer.lastPath().empty()) unlink(recoverer.lastPath().c_str());
    return;
  }
  progress.reset();
  std::string written = recoverer.lastPath();
  const uint64_t unreadable = recoverer.lastUnreadableBytes();
  if (ok && replace && !written.empty() && written != path) {
    // Outputs are never opened over an existing file; the file the user
    // agreed to replace gives way only now that the new copy exists.
    if (rename(written.c_str(), path.c_str()) == 0) {
      written = path;
    } else {
      dlog() << "RawDataCommands(160): " << written << " " << path << " " << strerror(errno)
             << "\n";
    }
  }
  if (!ok) {
    messageBox(MessageBoxError, format(_("The card could not be saved to %1."), shown(path)),
               window_.window(), false, nullptr);
  } else if (unreadable != 0) {
    messageBox(MessageBoxInformation,
               format(_("<span color=\"red\">Warning:</span> The card was saved to %1, but %2 "
                        "bytes (%3) could not be read and were written as zeros."),
                      shown(written.empty() ? path : written), unreadable,
                      markupEscape(formatSize(unreadable))),
               window_.window(), false, nullptr);
  } else if (!written.empty() && written != path) {
    messageBox(MessageBoxInformation,
               format(_("Complete\n\nThe card was saved to %1."), shown(written)),
               window_.window(), false, nullptr);
  } else {
    messageBox(MessageBoxInformation, _("Complete"), window_.window(), false, nullptr);
  }
}

void RestoreRawDataCommand::run() {
  if (!window_.prepareMedia()) return;
  std::unique_ptr<WriteTarget> target = window_.writeTarget();
  if (!target) {
    dlog() << "WindowBase(487)\n";
    return;
  }
  const uint64_t mediumSize = target->size();
  std::string path;
  if (!window_.chooseFile(path, GTK_FILE_CHOOSER_ACTION_OPEN)) return;

  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const off_t length = fd < 0 ? -1 : lseek(fd, 0, SEEK_END);
  if (fd < 0 || length < 0) {
    dlog() << "RawDataCommands(190): " << path << " " << strerror(errno) << "\n";
    if (fd >= 0) close(fd);
    messageBox(MessageBoxError, _("Cannot open file"), window_.window(), false, nullptr);
    return;
  }
  std::string why;
  if (window_.destinationOnMedium(path, &why)) {
    // Writing the medium would overwrite the image while it is read.
    close(fd);
    messageBox(MessageBoxError,
               format(_("<span color=\"red\">Warning:</span> Cannot restore %1: the file lies on "
                        "the media it would be written to.\n(%2)"),
                      shown(path), markupEscape(why)),
               window_.window(), false, nullptr);
    return;
  }
  const int64_t endLimit = mediumSize > static_cast<uint64_t>(INT64_MAX)
                               ? INT64_MAX
                               : static_cast<int64_t>(mediumSize);
  int64_t offset = 0;
  int64_t size = static_cast<int64_t>(length);
  const uint64_t sector = target->sectorSize() ? target->sectorSize() : 1;
  for (;;) {
    if (!window_.askOffsetAndSize(_("Restore Raw Data"), window_.window(), offset, size,
                                  static_cast<int64_t>(length), endLimit)) {
      close(fd);
      return;
    }
    // A device takes whole sectors only; every block of a range that is not
    // would fail.
    if (static_cast<uint64_t>(offset) % sector == 0 && static_cast<uint64_t>(size) % sector == 0) break;
    messageBox(MessageBoxError,
               format(_("The offset and the size must be whole sectors of %1 bytes on this media."), sector),
               window_.window(), false, nullptr);
  }
  if (messageBox(MessageBoxQuestion,
                 _("<span color=\"red\">Warning:</span> Data on this drive will be lost!\n\n"
                   "Are you sure you want to continue?"),
                 window_.window(), true, nullptr) &
      MessageBoxNotYes) {
    close(fd);
    return;
  }
  if (lseek(fd, 0, SEEK_SET) != 0) {
    close(fd);
    messageBox(MessageBoxError, _("Cannot open file"), window_.window(), false, nullptr);
    return;
  }
  MediumWriter* writer = target->claim();
  if (!writer) {
    close(fd);
    return;
  }
  {
    GuiQuestions questions(window_.window());
    WriterFromFile source(&questions, fd);
    gtk::ProgressBox progress(window_.window(), gtk::ProgressBox::Operation,
                              static_cast<uint64_t>(size));
    writeToMedium(source, &progress, questions, _("Restoring Raw Data"), *writer,
                  static_cast<uint64_t>(offset), static_cast<uint64_t>(size));
  }
  target->finish();
  close(fd);
}

void SaveDebugCommand::run() {
  if (strcmp(debugLogKind, "ostringstream") != 0) return;
  std::string path = "mzk.dbg";
  if (!window_.chooseFile(path, GTK_FILE_CHOOSER_ACTION_SAVE)) return;
  std::string dump;
  GError* error = nullptr;
  if (!encodeDebugDump(debugLogText(), dump) ||
      !g_file_set_contents(path.c_str(), dump.data(), static_cast<gssize>(dump.size()), &error)) {
    if (error) {
      dlog() << "RawDataCommands(240): " << error->message << "\n";
      g_error_free(error);
    }
    messageBox(MessageBoxError, format(_("Cannot write to file: %1"), shown(path)),
               window_.window(), false, nullptr);
  }
}
