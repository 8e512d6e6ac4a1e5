// The window base: menus, actions, file chooser and the quit confirmation.

#include "ui/WindowBase.h"

#include <sys/stat.h>

#include <cstring>
#include <exception>

#include "device/MediumPlacement.h"
#include "device/ReaderDevice.h"
#include "engine/FileCase.h"
#include "media/MediumWriter.h"
#include "media/ReaderFile.h"
#include "recover/MediumGuard.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/Locale.h"
#include "shell/gtk/MessageBox.h"
#include "shell/gtk/SystemOpen.h"
#include "ui/AboutDialog.h"
#include "ui/OffsetSizeDialog.h"
#include "ui/PreferencesDialog.h"
#include "ui/RawDataCommands.h"

namespace {

const char kSelectionMenus[] =
    "<ui><menubar name='MenuBar'><menu action='FileMenu'><menuitem action='Refresh'/>"
    "<separator/><menuitem action='SaveRawData'/><menuitem action='ScanFile'/>"
    "<menuitem action='RestoreRawData'/><separator/><menuitem action='Erase'/>"
    "<menuitem action='Format'/><separator/><menuitem action='Preferences'/>"
    "<menuitem action='SaveDebug'/><separator/><menuitem action='Quit'/></menu></menubar></ui>";

const char kBrowserMenus[] =
    "<ui><menubar name='MenuBar'><menu action='FileMenu'><menuitem action='SelectMedia'/>"
    "<separator/><menuitem action='SaveRawData'/><separator/><menuitem action='Print'/>"
    "<menuitem action='PageSetup'/><separator/><menuitem action='SaveDebug'/><separator/>"
    "<menuitem action='Quit'/></menu><menu action='EditMenu'><menuitem action='SelectAll'/>"
    "<menuitem action='UnselectAll'/><menuitem action='Recover'/></menu></menubar></ui>";

const char kHelpMenu[] =
    "<ui><menubar name='MenuBar'><menu action='HelpMenu'><menuitem action='Manual'/>"
    "<menuitem action='About'/></menu></menubar></ui>";

WindowBase* self(gpointer data) { return static_cast<WindowBase*>(data); }

void onSelectMedia(GtkAction*, gpointer data) { self(data)->selectMedia(); }
void onPreferences(GtkAction*, gpointer data) { self(data)->showPreferences(); }
void onRefresh(GtkAction*, gpointer data) { self(data)->refresh(); }
void onScanFile(GtkAction*, gpointer data) { self(data)->scanFile(); }
void onErase(GtkAction*, gpointer data) { self(data)->eraseCard(); }
void onFormat(GtkAction*, gpointer data) { self(data)->formatCard(); }
void onSaveRawData(GtkAction*, gpointer data) { self(data)->saveRawData(); }
void onRestoreRawData(GtkAction*, gpointer data) { self(data)->restoreRawData(); }
void onSaveDebug(GtkAction*, gpointer data) { self(data)->saveDebug(); }
void onPrint(GtkAction*, gpointer data) { self(data)->print(); }
void onPageSetup(GtkAction*, gpointer data) { self(data)->pageSetup(); }
void onQuit(GtkAction*, gpointer data) { self(data)->quit(); }
void onSelectAll(GtkAction*, gpointer data) { self(data)->selectAll(); }
void onUnselectAll(GtkAction*, gpointer data) { self(data)->unselectAll(); }
void onRecover(GtkAction*, gpointer data) { self(data)->recover(); }
void onManual(GtkAction*, gpointer data) { self(data)->showManual(); }
void onAbout(GtkAction*, gpointer data) { self(data)->showAbout(); }

// Labels are translated by the action group (domain "mzk").
const GtkActionEntry kActions[] = {
    {"FileMenu", nullptr, N_("_File"), nullptr, nullptr, nullptr},
    {"SelectMedia", nullptr, N_("_Select Media"), nullptr, nullptr, G_CALLBACK(onSelectMedia)},
    {"Preferences", nullptr, N_("_Preferences"), nullptr, nullptr, G_CALLBACK(onPreferences)},
    {"Refresh", nullptr, N_("_Look for media cards and cameras"), nullptr, nullptr,
     G_CALLBACK(onRefresh)},
    {"ScanFile", nullptr, N_("Scan a Saved Card File"), nullptr, nullptr, G_CALLBACK(onScanFile)},
    {"Erase", nullptr, N_("_Erase Card"), nullptr, nullptr, G_CALLBACK(onErase)},
    {"Format", nullptr, N_("_Format Card"), nullptr, nullptr, G_CALLBACK(onFormat)},
    {"SaveRawData", nullptr, N_("Save a Card as a File"), nullptr, nullptr,
     G_CALLBACK(onSaveRawData)},
    {"RestoreRawData", nullptr, N_("Restore a Saved Card File"), nullptr, nullptr,
     G_CALLBACK(onRestoreRawData)},
    {"SaveDebug", nullptr, N_("Save Debug"), nullptr, nullptr, G_CALLBACK(onSaveDebug)},
    {"Print", nullptr, N_("_Print"), nullptr, nullptr, G_CALLBACK(onPrint)},
    {"PageSetup", nullptr, N_("Page Setup"), nullptr, nullptr, G_CALLBACK(onPageSetup)},
    {"Quit", nullptr, N_("_Quit"), nullptr, nullptr, G_CALLBACK(onQuit)},
    {"EditMenu", nullptr, N_("_Edit"), nullptr, nullptr, nullptr},
    {"SelectAll", nullptr, N_("_Select All"), nullptr, nullptr, G_CALLBACK(onSelectAll)},
    {"UnselectAll", nullptr, N_("_Unselect All"), nullptr, nullptr, G_CALLBACK(onUnselectAll)},
    {"Recover", nullptr, N_("_Recover"), nullptr, nullptr, G_CALLBACK(onRecover)},
    {"HelpMenu", nullptr, N_("_Help"), nullptr, nullptr, nullptr},
    {"Manual", nullptr, N_("_Manual"), nullptr, nullptr, G_CALLBACK(onManual)},
    {"About", nullptr, N_("_About"), nullptr, nullptr, G_CALLBACK(onAbout)},
};

}  // namespace

WindowBase::WindowBase(GtkWindow* parent, ConfigRecord* mediaRecord, FileCase* fileCase,
                       ConfigRecord* config, bool browserMenus)
    : mediaRecord_(mediaRecord), fileCase_(fileCase), config_(config) {
  lastFolder_ = g_get_home_dir();

  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  // Closing the window after a confirmed quit destroys it; the reference
  // keeps the object valid until this destructor lets it go.
  g_object_ref_sink(window_);
  if (parent) {
    gtk_window_set_transient_for(GTK_WINDOW(window_), parent);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER_ON_PARENT);
  } else {
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  }
  g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);

  uiManager_ = gtk_ui_manager_new();
  actions_ = gtk_action_group_new("");
  gtk_action_group_set_translation_domain(actions_, "mzk");
  gtk_action_group_add_actions(actions_, kActions, G_N_ELEMENTS(kActions), this);
  gtk_ui_manager_insert_action_group(uiManager_, actions_, 0);

  addMenu(browserMenus ? kBrowserMenus : kSelectionMenus, "WindowBase(260)\n");
  addMenu(kHelpMenu, "WindowBase(263)\n");
  gtk_window_add_accel_group(GTK_WINDOW(window_), gtk_ui_manager_get_accel_group(uiManager_));

  if (strcmp(debugLogKind, "ostringstream") != 0) {
    GtkAction* action = gtk_action_group_get_action(actions_, "SaveDebug");
    if (action) gtk_action_set_visible(action, FALSE);
  }
}

WindowBase::~WindowBase() {
  if (window_) {
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(window_);
    g_object_unref(window_);
  }
  if (actions_) g_object_unref(actions_);
  if (uiManager_) g_object_unref(uiManager_);
}

void WindowBase::addMenu(const char* definition, const char* tag) {
  GError* error = nullptr;
  if (gtk_ui_manager_add_ui_from_string(uiManager_, definition, -1, &error) == 0) {
    dlog() << "WindowBase(54): " << (error ? error->message : "") << "\n" << tag;
    if (error) g_error_free(error);
  }
}

gboolean WindowBase::onDelete(GtkWidget*, GdkEvent*, gpointer data) {
  return !self(data)->quit();
}

GtkWidget* WindowBase::getWidget(const char* path) {
  GtkWidget* widget = gtk_ui_manager_get_widget(uiManager_, path);
  if (!widget) dlog() << "WindowBase(293): " << path << "\n";
  return widget;
}

bool WindowBase::quit() {
  if (messageBox(MessageBoxQuestion, _("Do you want to quit the program?"), window(), false,
                 nullptr) & MessageBoxNotYes)
    return false;
  if (gtk_main_level() > 0) gtk_main_quit();
  return true;
}

MediumIdentity WindowBase::mediumIdentity() const {
  MediumIdentity identity;
  const Reader* medium = nullptr;
  try {
    medium = fileCase_ ? fileCase_->reader() : nullptr;
  } catch (const std::exception&) {
    return identity;  // no medium open yet
  }
  // The identity of the open descriptor, not of the path, which may have
  // been replaced since the medium was opened.
  if (const ReaderFile* file = dynamic_cast<const ReaderFile*>(medium)) identifyOpenMedium(file->fd(), identity);
  if (const ReaderDevice* device = dynamic_cast<const ReaderDevice*>(medium))
    identifyOpenMedium(device->fd(), identity);
  return identity;
}

namespace {

// The file case's medium as it is, when it can be written.
class OpenMediumTarget : public WriteTarget {
 public:
  explicit OpenMediumTarget(MediumWriter* writer) : writer_(writer) {}
  uint64_t size() const override { return writer_->size(); }
  MediumWriter* claim() override { return writer_; }

 private:
  MediumWriter* writer_;
};

}  // namespace

std::unique_ptr<WriteTarget> WindowBase::writeTarget() {
  Reader* medium = nullptr;
  try {
    medium = fileCase_ ? fileCase_->reader() : nullptr;
  } catch (const std::exception&) {
    return nullptr;
  }
  // A device opened for scanning is not a write target: it is never
  // written through that descriptor.
  const ReaderDevice* device = dynamic_cast<const ReaderDevice*>(medium);
  MediumWriter* writer = dynamic_cast<MediumWriter*>(medium);
  if (!writer || (device && !device->writable())) return nullptr;
  return std::unique_ptr<WriteTarget>(new OpenMediumTarget(writer));
}

bool WindowBase::destinationOnMedium(const std::string& path, std::string* why) const {
  return ::destinationOnMedium(path, mediumIdentity(), why);
}

bool WindowBase::chooseFile(std::string& path, GtkFileChooserAction action, GtkWidget* extra) {
  const char* title = action == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER
                          ? _("Select Destination Folder")
                          : action == GTK_FILE_CHOOSER_ACTION_SAVE ? _("Select Destination File")
                                                                   : _("Select Source File");
  GtkWidget* dialog = gtk_file_chooser_dialog_new(title, window(), action, GTK_STOCK_CANCEL,
                                                  GTK_RESPONSE_CANCEL, GTK_STOCK_OPEN,
                                                  GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_alternative_button_order(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT,
                                          GTK_RESPONSE_CANCEL, -1);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_current_folder(chooser, lastFolder_.c_str());
  if (extra) gtk_file_chooser_set_extra_widget(chooser, extra);
  if (action == GTK_FILE_CHOOSER_ACTION_SAVE) {
    gchar* shown = g_filename_display_name(path.c_str());
    gtk_file_chooser_set_current_name(chooser, shown);
    g_free(shown);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  }
  const bool writes = action == GTK_FILE_CHOOSER_ACTION_SAVE ||
                      action == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER;
  for (;;) {
    if (gtk_dialog_run(GTK_DIALOG(dialog)) != GTK_RESPONSE_ACCEPT) break;
    gchar* chosen = gtk_file_chooser_get_filename(chooser);
    if (!chosen) break;
    std::string choice = chosen;
    g_free(chosen);
    std::string why;
    if (writes && destinationOnMedium(choice, &why)) {
      // Writing there would overwrite the very data being recovered.
      gchar* shown = g_filename_display_name(choice.c_str());
      messageBox(MessageBoxError,
                 format(_("<span color=\"red\">Warning:</span> %1 lies on the media you are "
                          "recovering from.\n\nWriting there could destroy the files you want "
                          "to recover. Please choose a destination on another drive.\n(%2)"),
                        markupEscape(shown), markupEscape(why)),
                 GTK_WINDOW(dialog), false, nullptr);
      g_free(shown);
      continue;
    }
    path = choice;
    gchar* folder = gtk_file_chooser_get_current_folder(chooser);
    if (folder) {
      lastFolder_ = folder;
      g_free(folder);
    }
    gtk_widget_destroy(dialog);
    return true;
  }
  gtk_widget_destroy(dialog);
  return false;
}

bool WindowBase::askOffsetAndSize(const char* title, GtkWindow* parent, int64_t& offset,
                                  int64_t& size, int64_t sizeLimit, int64_t endLimit) {
  return ::askOffsetAndSize(title, parent, offset, size, sizeLimit, endLimit);
}

void WindowBase::saveRawData() { SaveRawDataCommand(*this).run(); }
void WindowBase::restoreRawData() { RestoreRawDataCommand(*this).run(); }
void WindowBase::saveDebug() { SaveDebugCommand(*this).run(); }

void WindowBase::showManual() {
  const std::string name = config_ ? config_->getString("Manual File") : std::string();
  systemOpen(Locale::instance().localizedPath(name), nullptr);
}

void WindowBase::showPreferences() {
  if (config_) showPreferencesDialog(window(), *config_);
}

void WindowBase::showAbout() {
  if (config_) showAboutDialog(window(), *config_);
}
