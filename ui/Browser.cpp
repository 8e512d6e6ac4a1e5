// The browser window.

#include "ui/Browser.h"

#include <unistd.h>

#include <exception>
#include <memory>

#include "engine/ScanRun.h"
#include "media/Reader.h"
#include "recover/FileRecoverer.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/InterfaceCallback.h"
#include "shell/Intl.h"
#include "shell/gtk/GuiQuestions.h"
#include "shell/gtk/MessageBox.h"
#include "ui/ProgressBox.h"
#include "ui/Windows.h"

namespace {

const char kWarningMark[] = "<span color=\"red\">Warning:</span> ";

std::string shownPath(const std::string& path) {
  gchar* name = g_filename_display_name(path.c_str());
  std::string text = markupEscape(name);
  g_free(name);
  return text;
}

}  // namespace

std::string recoverySummaryText(const RecoverySummary& s, const std::string& folder) {
  const std::string where = shownPath(folder);
  const unsigned long n = static_cast<unsigned long>(s.recovered);
  if (!s.stopped && s.failed == 0 && s.damaged == 0 && s.recovered == s.requested)
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

Browser::Browser(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase,
                 ConfigRecord& config)
    : WindowBase(parent, &media, &fileCase, &config, true) {
  GtkWidget* outer = gtk_vbox_new(FALSE, 16);
  gtk_container_set_border_width(GTK_CONTAINER(outer), 16);

  GtkWidget* listBox = gtk_vbox_new(FALSE, 4);
  statusLabel_ = gtk_label_new("");
  gtk_misc_set_alignment(GTK_MISC(statusLabel_), 0.0f, 0.5f);
  gtk_box_pack_start(GTK_BOX(listBox), statusLabel_, FALSE, FALSE, 0);

  store_ = gtk_list_store_new(ColumnCount, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_UINT64,
                              G_TYPE_STRING, G_TYPE_STRING);
  view_ = GTK_TREE_VIEW(gtk_tree_view_new_with_model(GTK_TREE_MODEL(store_)));
  const struct {
    const char* title;
    int column;
  } columns[] = {{_("Type"), TypeColumn},
                 {_("Offset"), OffsetColumn},
                 {_("Size"), SizeColumn},
                 {_("File Name"), NameColumn}};
  for (const auto& c : columns) {
    GtkCellRenderer* cell = gtk_cell_renderer_text_new();
    if (c.column == OffsetColumn || c.column == SizeColumn) g_object_set(cell, "xalign", 1.0, nullptr);
    GtkTreeViewColumn* column =
        gtk_tree_view_column_new_with_attributes(c.title, cell, "text", c.column, nullptr);
    gtk_tree_view_column_set_resizable(column, TRUE);
    gtk_tree_view_column_set_sort_column_id(column, c.column);
    gtk_tree_view_append_column(view_, column);
  }
  GtkTreeSelection* selection = gtk_tree_view_get_selection(view_);
  gtk_tree_selection_set_mode(selection, GTK_SELECTION_MULTIPLE);
  g_signal_connect(selection, "changed", G_CALLBACK(onSelectionChanged), this);

  GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_ETCHED_IN);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                 GTK_POLICY_AUTOMATIC);
  gtk_container_add(GTK_CONTAINER(scrolled), GTK_WIDGET(view_));
  gtk_box_pack_start(GTK_BOX(listBox), scrolled, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(outer), listBox, TRUE, TRUE, 0);

  GtkWidget* buttons = gtk_hbutton_box_new();
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  gtk_box_set_spacing(GTK_BOX(buttons), 16);
  GtkWidget* back = addButton(buttons, _("Select _Media"), G_CALLBACK(+[](GtkButton*, gpointer s) {
                                static_cast<Browser*>(s)->selectMedia();
                              }));
  gtk_button_set_image(GTK_BUTTON(back),
                       gtk_image_new_from_stock(GTK_STOCK_GO_BACK, GTK_ICON_SIZE_BUTTON));
  gtk_button_box_set_child_secondary(GTK_BUTTON_BOX(buttons), back, TRUE);
  unselectAllButton_ = addButton(buttons, _("_Unselect All"),
                                 G_CALLBACK(+[](GtkButton*, gpointer s) {
                                   static_cast<Browser*>(s)->unselectAll();
                                 }));
  selectAllButton_ = addButton(buttons, _("Select _All"), G_CALLBACK(+[](GtkButton*, gpointer s) {
                                 static_cast<Browser*>(s)->selectAll();
                               }));
  recoverButton_ = addButton(buttons, _("_Recover"), G_CALLBACK(+[](GtkButton*, gpointer s) {
                               static_cast<Browser*>(s)->recover();
                             }));
  gtk_box_pack_start(GTK_BOX(outer), buttons, FALSE, FALSE, 0);

  gtk_window_set_default_size(window(), config.getInt("Browser Width", 800),
                              config.getInt("Browser Height", 600));
  gtk_window_set_title(window(), (config.getString("Program Name") + " (" +
                                  media.getString("Description") + ")")
                                     .c_str());
  GtkWidget* top = gtk_vbox_new(FALSE, 0);
  if (GtkWidget* bar = menuBar()) gtk_box_pack_start(GTK_BOX(top), bar, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(top), outer, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window_), top);
  updateStatus();
  gtk_widget_grab_focus(GTK_WIDGET(view_));
  gtk_widget_show_all(GTK_WIDGET(window()));
  fileCase_->setCallback(this);
}

Browser::~Browser() {
  fileCase_->setCallback(nullptr);
  // The view goes with the window, after this part of the object: its
  // selection must not call back into it.
  g_signal_handlers_disconnect_by_data(gtk_tree_view_get_selection(view_), this);
  if (store_) g_object_unref(store_);
}

GtkWidget* Browser::addButton(GtkWidget* box, const char* label, GCallback callback) {
  GtkWidget* button = gtk_button_new_with_mnemonic(label);
  g_signal_connect(button, "clicked", callback, this);
  gtk_container_add(GTK_CONTAINER(box), button);
  return button;
}

bool Browser::run() {
  scan();
  if (leaveMode_ == 0) gtk_main();
  return leaveMode_ == 2;
}

void Browser::scan() {
  Reader* medium = fileCase_->reader();
  state_ = 1;
  updateStatus();
  ScanReport report;
  {
    const uint64_t total = medium->size() / 512 * 512;
    gtk::ProgressBox progress(window(), gtk::ProgressBox::Operation, total);
    progress.setText(2, 0, _("Scanning..."));
    report = runScan(*fileCase_, *config_, &progress);
  }
  state_ = 0;
  updateStatus();
  if (!report.complete) return;
  if (report.unreadableBytes == 0) {
    messageBox(MessageBoxInformation, _("Scan complete"), window(), false, nullptr);
  } else {
    messageBox(MessageBoxInformation,
               format(_("<span color=\"red\">Warning:</span> The scan reached the end of the "
                        "media, but %1 bytes (%2) could not be read. Files that lay there may "
                        "be missing or incomplete."),
                      report.unreadableBytes, markupEscape(formatSize(report.unreadableBytes))),
               window(), false, nullptr);
  }
}

void Browser::added(const std::string& key, const FileModule::File& file) {
  GtkTreeIter row;
  gtk_list_store_append(store_, &row);
  gtk_list_store_set(store_, &row, KeyColumn, key.c_str(), TypeColumn,
                     file.attributes.getString("t").c_str(), OffsetColumn,
                     static_cast<guint64>(file.offset), SizeColumn,
                     formatSize(file.size).c_str(), NameColumn,
                     file.attributes.getString("fn").c_str(), -1);
  ++shown_;
  updateStatus();
}

void Browser::onSelectionChanged(GtkTreeSelection* selection, gpointer data) {
  Browser* self = static_cast<Browser*>(data);
  self->selected_ = static_cast<unsigned>(gtk_tree_selection_count_selected_rows(selection));
  self->updateStatus();
}

void Browser::updateStatus() {
  std::string text;
  if (shown_ == 0)
    text = state_ == 1 ? _("Scanning...") : _("No files found");
  else
    text = format(ngettext("One found file", "%1 files found", shown_), shown_);
  if (selected_ != 0) {
    text += " / ";
    text += selected_ == shown_
                ? std::string(_("All files selected"))
                : format(ngettext("One file selected", "%1 files selected", selected_), selected_);
  }
  status_ = text;
  gtk_label_set_text(GTK_LABEL(statusLabel_), text.c_str());
  const bool idle = state_ == 0;
  const bool canSelect = idle && shown_ != 0 && selected_ != shown_;
  const bool canUnselect = idle && selected_ != 0;
  gtk_widget_set_sensitive(selectAllButton_, canSelect);
  gtk_widget_set_sensitive(unselectAllButton_, canUnselect);
  gtk_widget_set_sensitive(recoverButton_, idle && selected_ != 0);
  const struct {
    const char* name;
    bool on;
  } actions[] = {{"SelectAll", canSelect}, {"UnselectAll", canUnselect},
                 {"Recover", idle && selected_ != 0}};
  for (const auto& a : actions)
    if (GtkAction* action = gtk_action_group_get_action(actionGroup(), a.name))
      gtk_action_set_sensitive(action, a.on);
}

bool Browser::leave(int mode) {
  const char* text =
      mode == 2 ? _("Do you want to select another media?\n\n<span color=\"red\">Warning:</span> "
                    "If you proceed, the current scan results will be unavailable without "
                    "re-scanning.")
                : _("Do you want to quit the program?");
  if (messageBox(MessageBoxQuestion, text, window(), false, nullptr) & MessageBoxNotYes)
    return true;
  leaveMode_ = mode;
  if (gtk_main_level() > 0) gtk_main_quit();
  return false;
}

void Browser::selectMedia() { leave(2); }
bool Browser::quit() { return !leave(1); }

void Browser::selectAll() { gtk_tree_selection_select_all(gtk_tree_view_get_selection(view_)); }
void Browser::unselectAll() {
  gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(view_));
}

std::vector<std::string> Browser::selectedKeys() const {
  std::vector<std::string> keys;
  GtkTreeModel* model = GTK_TREE_MODEL(store_);
  GtkTreeSelection* selection = gtk_tree_view_get_selection(view_);
  GtkTreeIter row;
  for (gboolean more = gtk_tree_model_get_iter_first(model, &row); more;
       more = gtk_tree_model_iter_next(model, &row)) {
    if (!gtk_tree_selection_iter_is_selected(selection, &row)) continue;
    gchar* key = nullptr;
    gtk_tree_model_get(model, &row, KeyColumn, &key, -1);
    if (key) keys.push_back(key);
    g_free(key);
  }
  return keys;
}

void Browser::recover() {
  const std::vector<std::string> keys = selectedKeys();
  if (keys.empty()) return;
  std::string folder;
  if (!chooseFile(folder, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER)) return;
  const RecoverySummary summary = recoverInto(keys, folder);
  messageBox(MessageBoxInformation, recoverySummaryText(summary, folder), window(), false,
             nullptr);
}

RecoverySummary Browser::recoverInto(const std::vector<std::string>& keys,
                                     const std::string& folder) {
  RecoverySummary summary;
  summary.requested = keys.size();
  uint64_t total = 0;
  for (const std::string& key : keys)
    if (const FileModule::File* file = fileCase_->findFile(key))
      total = file->size > UINT64_MAX - total ? UINT64_MAX : total + file->size;
  GuiQuestions questions(window());
  std::unique_ptr<gtk::ProgressBox> progress(
      new gtk::ProgressBox(window(), gtk::ProgressBox::FileCopy, total));
  FileRecoverer recoverer(progress.get(), &questions, fileCase_, total, folder);
  recoverer.setMedium(mediumIdentity());
  for (const std::string& key : keys) {
    const FileModule::File* file = fileCase_->findFile(key);
    if (!file) {
      dlog() << "Browser(586): " << key << "\n";
      ++summary.failed;
      continue;
    }
    try {
      if (recoverer.recover(*file)) {
        ++summary.recovered;
        if (recoverer.lastUnreadableBytes()) ++summary.damaged;
      } else {
        ++summary.failed;
      }
    } catch (const InterruptedException&) {
      // The file being written when the user stopped is cut short; it was
      // created exclusively by this run, so it goes.
      if (!recoverer.lastPath().empty()) unlink(recoverer.lastPath().c_str());
      summary.stopped = true;
      break;
    }
  }
  summary.unreadableBytes = recoverer.totalUnreadableBytes();
  return summary;
}

bool runBrowser(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase,
                ConfigRecord& config) {
  Browser window(parent, media, fileCase, config);
  return window.run();
}
