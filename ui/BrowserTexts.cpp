// Texts of the browser window.

#include "ui/BrowserTexts.h"

#include <glib.h>

#include "engine/RebuiltFile.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/gtk/MessageBox.h"

namespace {

const char kWarningMark[] = "<span color=\"red\">Warning:</span> ";

std::string shownPath(const std::string& path) {
  gchar* name = g_filename_display_name(path.c_str());
  std::string text = markupEscape(name);
  g_free(name);
  return text;
}

}  // namespace

std::string browserStatusText(unsigned shown, unsigned selected) {
  std::string text = shown == 0 ? std::string(_("No files found"))
                                : format(ngettext("One found file", "%1 files found", shown), shown);
  if (selected != 0) {
    text += " / ";
    text += selected == shown
                ? std::string(_("All files selected"))
                : format(ngettext("One file selected", "%1 files selected", selected), selected);
  }
  return text;
}

std::string thumbnailTooltip(const FileModule::File& file) {
  const Attributes& a = file.attributes;
  std::string text;
  const std::string name = a.getString("fn");
  if (!name.empty()) text = name + "\n";
  text += format(_("Type: %1"), a.getString("t"));
  text += "\n" + format(_("Size: %1 (%2 bytes)"), formatSize(file.size), formatNumber(file.size));
  text += "\n" + format(_("Offset: %1"), formatNumber(file.offset));
  if (a.getBool("deleted", false)) text += "\n" + std::string(_("Deleted file"));
  if (a.getBool("fragmented", false))
    text += "\n" + std::string(_("Fragmented: put together from its clusters"));
  const std::string way = rebuiltOf(file);
  if (way != plainRebuiltOf(file)) text += "\n" + rebuiltText(way);
  if (isPartial(file)) text += "\n" + std::string(_("Partial: it could not be proven whole"));
  return text;
}

std::string rebuiltText(const std::string& way) {
  if (way == kRebuiltContiguous) return _("In one piece from its first byte");
  if (way == kRebuiltChain) return _("Along its allocation chain");
  if (way == kRebuiltFreeRun) return _("Along the free clusters after its first one");
  if (way == kRebuiltFreeSkippingUsed) return _("Along free clusters, past those in use; proven by its format");
  if (way == kRebuiltReassembled) return _("From pieces found by searching; proven by its format");
  return way;
}

std::string recoverySummaryText(const RecoverySummary& s, const std::string& folder) {
  const std::string where = shownPath(folder);
  const unsigned long n = static_cast<unsigned long>(s.recovered);
  if (!s.stopped && s.failed == 0 && s.damaged == 0 && s.recovered == s.requested && s.leftPartial == 0)
    return format(ngettext("Complete\n\nOne file was recovered to %2.",
                           "Complete\n\n%1 files were recovered to %2.", n),
                  s.recovered, where);
  std::string text = kWarningMark;
  text += s.stopped ? _("The recovery was stopped.") : _("The recovery is incomplete.");
  text += "\n\n";
  text += format(_("%1 of %2 files were recovered to %3."), s.recovered, s.requested, where);
  if (s.failed) {
    text += "\n";
    text += format(ngettext("One file could not be recovered.",
                            "%1 files could not be recovered.",
                            static_cast<unsigned long>(s.failed)),
                   s.failed);
  }
  if (s.leftPartial) {
    text += "\n";
    text += format(ngettext("One selected file could not be proven whole and was left out (tick \"Keep "
                            "partial files\" to write it).",
                            "%1 selected files could not be proven whole and were left out (tick \"Keep "
                            "partial files\" to write them).",
                            static_cast<unsigned long>(s.leftPartial)),
                   s.leftPartial);
  }
  if (s.damaged) {
    text += "\n";
    text += format(ngettext("One recovered file has parts that could not be read; they were "
                            "written as zeros (%2 bytes).",
                            "%1 recovered files have parts that could not be read; they were "
                            "written as zeros (%2 bytes).",
                            static_cast<unsigned long>(s.damaged)),
                   s.damaged, s.unreadableBytes);
  }
  return text;
}

std::string noRoomQuestion(uint64_t files, uint64_t needed, uint64_t freeBytes, uint64_t fit,
                           const std::string& folder) {
  std::string text = kWarningMark;
  text += format(_("There is not enough free space in %1."), shownPath(folder));
  text += "\n\n";
  text += format(ngettext("The selected file needs %2; %3 are free.",
                          "The %1 selected files need %2; %3 are free.", static_cast<unsigned long>(files)),
                 files, formatSize(needed), formatSize(freeBytes));
  text += "\n";
  text += fit ? format(ngettext("Only the first file fits.", "Only the first %1 files fit.",
                                static_cast<unsigned long>(fit)),
                       fit)
              : std::string(_("None of them fits."));
  text += "\n\n";
  text += _("Recover as many as fit? The others stay selected. Choose No to pick another folder "
            "or fewer files.");
  return text;
}

std::string openFailureText(const std::string& name, FileRecoverer::Failure failure) {
  const char* why;
  switch (failure) {
    case FileRecoverer::NoReader:
      why = _("Its data cannot be read from the media.");
      break;
    case FileRecoverer::CannotCreate:
    case FileRecoverer::CannotWrite:
    case FileRecoverer::OnMedium:
      why = _("It cannot be copied to the temporary folder; the disk may be full.");
      break;
    default:
      why = _("No temporary folder can be made for it.");
      break;
  }
  return format(_("Cannot open file \"%1\".\n\n%2"), markupEscape(name), markupEscape(why));
}
