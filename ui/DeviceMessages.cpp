// Messages about devices that cannot be opened or written.

#include "ui/DeviceMessages.h"

#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/gtk/MessageBox.h"

std::string privilegeAdvice() {
  return _("You are not allowed to use this device. Start mzk with administrator rights, for example "
           "with \"sudo mzk\", or ask your administrator to add you to the group \"disk\".");
}

void tellWriteProtected(GtkWindow* parent) {
  messageBox(MessageBoxError,
             _("The media is write-protected and cannot be written.\n\nIf it is a memory card, slide its "
               "lock switch away from \"Lock\" and insert it again. A write-protected card can still be "
               "scanned and saved as a file."),
             parent, false, nullptr);
}

bool claimForWriting(DeviceClaim& claim, const std::string& node, GtkWindow* parent) {
  std::string detail;
  const DeviceClaim::Result result = claim.claim(node, &detail);
  if (result == DeviceClaim::Claimed) return true;
  dlog() << "DeviceMessages(25): " << node << " " << result << " " << detail << "\n";
  const std::string shownNode = markupEscape(node);
  switch (result) {
    case DeviceClaim::WriteProtected:
      tellWriteProtected(parent);
      break;
    case DeviceClaim::InUse:
      messageBox(MessageBoxError,
                 format(_("%1 cannot be written because it is in use (%2).\n\nClose the programs and "
                          "windows that use it, then try again."),
                        shownNode, markupEscape(detail)),
                 parent, false, nullptr);
      break;
    case DeviceClaim::NoPermission:
      messageBox(MessageBoxError,
                 format(_("Cannot write to %1.\n\n%2"), shownNode, markupEscape(privilegeAdvice())), parent,
                 false, nullptr);
      break;
    default:
      messageBox(MessageBoxError,
                 std::string(_("Cannot initialize device")) + "\n(" + shownNode + ": " + markupEscape(detail) + ")",
                 parent, false, nullptr);
  }
  return false;
}
