#include "update/gtk/UpdateDialog.h"

#include <glib.h>
#include <glib/gstdio.h>

#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/gtk/MessageBox.h"
#include "shell/gtk/SystemOpen.h"
#include "update/HttpUrl.h"
#include "update/UpdateStreams.h"

namespace {

typedef std::function<void(const std::string&)> Opener;

GtkWidget* centredLabel(const std::string& markup) {
  GtkWidget* label = gtk_label_new(nullptr);
  gtk_label_set_markup(GTK_LABEL(label), markup.c_str());
  gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_CENTER);
  return label;
}

bool isWebAddress(const std::string& url) {
  return g_str_has_prefix(url.c_str(), "http://") || g_str_has_prefix(url.c_str(), "https://");
}

struct NotesLink {
  std::string url;
  Opener open;
};

void onShowNotes(GtkButton*, gpointer data) {
  const NotesLink* link = static_cast<const NotesLink*>(data);
  link->open(link->url);
}

// Without a box there is nothing to show and nothing to cancel.
std::unique_ptr<InterfaceCallback> openBox(const UpdateCheckSetup& setup, GtkWindow* parent,
                                           int style, uint64_t total, int width) {
  if (setup.openProgressBox)
    return setup.openProgressBox(parent, style, total, width);
  return std::unique_ptr<InterfaceCallback>(new InterfaceCallback);
}

// A private folder for the installer.  Whatever is in it goes with it
// unless keep() was called: a download cut short is never left behind for
// someone to open.
class InstallerFolder {
 public:
  explicit InstallerFolder(const std::string& root) {
    std::string pattern = (root.empty() ? std::string(g_get_tmp_dir()) : root) + "/mzk-update-XXXXXX";
    if (g_mkdtemp_full(&pattern[0], 0700))
      path_ = pattern;
  }
  ~InstallerFolder() {
    if (path_.empty() || kept_)
      return;
    if (!file_.empty())
      g_unlink(file_.c_str());
    g_rmdir(path_.c_str());
  }
  InstallerFolder(const InstallerFolder&) = delete;
  InstallerFolder& operator=(const InstallerFolder&) = delete;

  bool made() const { return !path_.empty(); }
  std::string fileNamed(const std::string& name) {
    file_ = path_ + "/" + name;
    return file_;
  }
  void keep() { kept_ = true; }

 private:
  std::string path_;
  std::string file_;
  bool kept_ = false;
};

bool fetchFeed(GtkWindow* parent, Update& update, const std::string& updateUrl,
               const UpdateCheckSetup& setup, UpdateInfo& info) {
  std::unique_ptr<InterfaceCallback> box = openBox(setup, parent, 0, 0, 320);
  box->setText(0, 0, _("Looking for updates"));
  update.setCallback(box.get());
  update.check();
  bool found = false;
  if (!update.init()) {
    dlog() << "UpdateDialog(86)\n";
  } else {
    update.check();
    found = update.getFeed(updateUrl, info);
    if (!found)
      dlog() << "UpdateDialog(91): " << updateUrl << "\n";
  }
  update.setCallback(nullptr);
  return found;
}

bool downloadInstaller(GtkWindow* parent, Update& update, const UpdateInfo& info,
                       const UpdateCheckSetup& setup, const Opener& open) {
  const std::string name = plainFileNameOfUrl(info.url);
  if (name.empty()) {
    dlog() << "UpdateDialog(151): no file name in " << info.url << "\n";
    return false;
  }
  if (info.length <= 0) {
    dlog() << "UpdateDialog(155): length " << info.length << "\n";
    return false;
  }
  InstallerFolder folder(setup.temporaryFolder);
  if (!folder.made()) {
    dlog() << "UpdateDialog(160): " << setup.temporaryFolder << "\n";
    return false;
  }
  const std::string path = folder.fileNamed(name);
  StreamFile file;
  if (!file.open(path)) {
    dlog() << "UpdateDialog(166): " << path << "\n";
    return false;
  }
  file.setLimit(uint64_t(info.length));

  bool done;
  {
    std::unique_ptr<InterfaceCallback> box = openBox(setup, parent, 2, uint64_t(info.length), 600);
    box->setText(0, 0, info.url);
    box->setText(1, 0, path);
    box->check();
    update.setCallback(box.get());
    file.setCallback(box.get());
    done = update.download(info.url, file);
    update.setCallback(nullptr);
    file.setCallback(nullptr);
  }
  file.close();
  if (!done) {
    dlog() << "UpdateDialog(176): " << info.url << "\n";
    return false;
  }
  if (file.written() != uint64_t(info.length)) {
    dlog() << "UpdateDialog(179): " << file.written() << " of " << info.length << " bytes\n";
    return false;
  }
  folder.keep();
  open(path);
  return true;
}

}  // namespace

bool askToInstall(GtkWindow* parent, const UpdateInfo& info, const std::string& currentVersion,
                  const Opener& open) {
  GtkWidget* dialog = gtk_dialog_new_with_buttons(
      _("Update"), parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_STOCK_NO, GTK_RESPONSE_NO, GTK_STOCK_YES, GTK_RESPONSE_YES, nullptr);
  gtk_dialog_set_alternative_button_order(GTK_DIALOG(dialog), GTK_RESPONSE_YES, GTK_RESPONSE_NO,
                                          -1);
  if (!parent)
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);

  GtkWidget* vbox = gtk_vbox_new(FALSE, 0);
  gtk_container_set_border_width(GTK_CONTAINER(vbox), 8);
  gtk_box_pack_start(GTK_BOX(GTK_DIALOG(dialog)->vbox), vbox, TRUE, TRUE, 0);

  const std::string version = "<span color='blue'>" + markupEscape(info.version) + "</span>";
  gtk_box_pack_start(
      GTK_BOX(vbox),
      centredLabel("<b><i>" + format(markupEscape(_("%1 is available.")).c_str(), version) +
                   "</i></b>"),
      FALSE, FALSE, 0);

  NotesLink link{info.releaseNotesUrl, open};
  GtkWidget* notes = gtk_button_new_with_mnemonic(_("_Show Release Notes"));
  // A feed could name a local file or a program here; only a web page is
  // worth opening.
  if (isWebAddress(link.url))
    g_signal_connect(notes, "clicked", G_CALLBACK(onShowNotes), &link);
  else
    gtk_widget_set_sensitive(notes, FALSE);
  GtkWidget* row = gtk_hbox_new(FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), notes, TRUE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(vbox), row, FALSE, FALSE, 8);

  const std::string current = "<span color='blue'><i>" + markupEscape(currentVersion) + "</i></span>";
  gtk_box_pack_start(
      GTK_BOX(vbox),
      centredLabel(format(
          markupEscape(_("You are using %1 now.\nWould you like to install the new version?"))
              .c_str(),
          current)),
      FALSE, FALSE, 0);

  gtk_widget_show_all(dialog);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return response == GTK_RESPONSE_YES;
}

bool checkForUpdates(GtkWindow* parent, const std::string& updateUrl,
                     const std::string& currentVersion, const UpdateCheckSetup& setup) {
  if (updateUrl.empty()) {
    dlog() << "UpdateDialog(73)\n";
    return false;
  }
  const Opener open = setup.open ? setup.open : Opener([](const std::string& path) {
    systemOpen(path);
  });
  try {
    Update update(setup.limits);
    UpdateInfo info;
    if (!fetchFeed(parent, update, updateUrl, setup, info))
      return false;
    dlog() << "UpdateDialog(97): " << info.version << " " << info.url << " " << info.length << " "
           << info.releaseNotesUrl << "\n";
    if (info.version == currentVersion) {
      dlog() << "UpdateDialog(99): " << currentVersion << "\n";
      return false;
    }
    if (!askToInstall(parent, info, currentVersion, open))
      return false;
    return downloadInstaller(parent, update, info, setup, open);
  } catch (const InterruptedException&) {
    dlog() << "UpdateDialog(183)\n";
    return false;
  }
}
