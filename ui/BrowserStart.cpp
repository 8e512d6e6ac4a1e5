// The medium named on the command line.

#include "ui/BrowserStart.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <glib.h>

#include "engine/FileCase.h"
#include "media/ReaderFile.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/gtk/MessageBox.h"

namespace {

std::string displayName(const std::string& path) {
  gchar* shown = g_filename_display_name(path.c_str());
  std::string text = shown;
  g_free(shown);
  return text;
}

void tellCannotOpen(const std::string& path, const std::string& why) {
  messageBox(MessageBoxError,
             format(_("Cannot open file \"%1\".\n\n%2"), markupEscape(displayName(path)),
                    markupEscape(why)));
}

}  // namespace

std::string mediumRefusal(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return g_strerror(errno);
  if (S_ISDIR(st.st_mode))
    return _("It is a folder. Choose an image file of a card, or the device of a card reader.");
  if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode) && !S_ISCHR(st.st_mode))
    return _("It is neither an image file nor a device.");
  return std::string();
}

bool openMediumNamed(const std::string& path, ConfigRecord& media, FileCase& fileCase) {
  std::string why = mediumRefusal(path);
  if (why.empty()) {
    ReaderFile* reader = new ReaderFile;
    errno = 0;
    if (reader->open(path.c_str())) {
      fileCase.setReader(reader);
      media.clear();
      media.set("Description", displayName(path));
      return true;
    }
    const int error = errno;
    delete reader;
    why = error ? g_strerror(error) : _("It cannot be read.");
  }
  dlog() << "BrowserStart(48): " << path << " " << why << "\n";
  tellCannotOpen(path, why);
  return false;
}
