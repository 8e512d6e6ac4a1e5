// The browser window.

#include "ui/Browser.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

#include "engine/ScanRun.h"
#include "media/Reader.h"
#include "recover/FileName.h"
#include "engine/RebuiltFile.h"
#include "recover/FileRecoverer.h"
#include "recover/FreeSpace.h"
#include "shell/Config.h"
#include "shell/DebugLog.h"
#include "shell/Format.h"
#include "shell/Intl.h"
#include "shell/gtk/GuiQuestions.h"
#include "shell/gtk/MessageBox.h"
#include "shell/gtk/SystemOpen.h"
#include "thumbs/FilePixbufLoader.h"
#include "thumbs/PixbufFrame.h"
#include "ui/BrowserPrint.h"
#include "ui/ProgressBox.h"
#include "ui/PropertiesDialog.h"
#include "ui/Windows.h"

namespace {

Browser* browserOf(gpointer data) { return static_cast<Browser*>(data); }

// The selected paths in view order; freed with the list.
struct SelectedPaths {
  explicit SelectedPaths(GtkIconView* view) {
    GList* selected = gtk_icon_view_get_selected_items(view);
    for (GList* s = selected; s; s = s->next) paths.push_back(static_cast<GtkTreePath*>(s->data));
    g_list_free(selected);
    std::sort(paths.begin(), paths.end(),
              [](GtkTreePath* a, GtkTreePath* b) { return gtk_tree_path_compare(a, b) < 0; });
  }
  ~SelectedPaths() {
    for (GtkTreePath* path : paths) gtk_tree_path_free(path);
  }
  SelectedPaths(const SelectedPaths&) = delete;
  SelectedPaths& operator=(const SelectedPaths&) = delete;
  std::vector<GtkTreePath*> paths;
};

std::string utf8Path(const std::string& path) {
  gchar* text = g_filename_to_utf8(path.c_str(), -1, nullptr, nullptr, nullptr);
  if (!text) text = g_filename_display_name(path.c_str());
  std::string result = text;
  g_free(text);
  return result;
}

}  // namespace

Browser::Browser(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase, ConfigRecord& config)
    : WindowBase(parent, &media, &fileCase, &config, true),
      frame_(new PixbufFrame(config)),
      loader_(new FilePixbufLoader(&fileCase, config)) {
  // A thumbnail never needs more pixels than its picture area.
  loader_->setDecodeLimit(frame_->iconWidth(), frame_->iconHeight());

  GtkWidget* outer = gtk_vbox_new(FALSE, 16);
  gtk_container_set_border_width(GTK_CONTAINER(outer), 16);
  buildScanArea(outer);
  buildThumbnails(outer);
  buildButtons(outer);
  printer_.reset(new ThumbnailPrinter(iconView_, PixbufColumn));

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
  gtk_widget_grab_focus(GTK_WIDGET(iconView_));
  gtk_widget_show_all(GTK_WIDGET(window()));
  fileCase_->setCallback(this);
}

Browser::~Browser() {
  fileCase_->setCallback(nullptr);
  // The view goes with the window, after this part of the object: it must
  // not call back into it.
  g_signal_handlers_disconnect_by_data(iconView_, this);
  if (contextMenu_) gtk_widget_destroy(contextMenu_);
  if (contextPath_) gtk_tree_path_free(contextPath_);
  printer_.reset();
  gtk_list_store_clear(store_);
  g_object_unref(store_);
}

void Browser::buildScanArea(GtkWidget* outer) {
  scanArea_ = gtk_vbox_new(FALSE, 16);
  GtkWidget* row = gtk_hbox_new(FALSE, 16);
  progressBar_ = gtk_progress_bar_new();
  gtk_box_pack_start(GTK_BOX(row), progressBar_, TRUE, TRUE, 0);
  GtkWidget* stop = gtk_button_new_with_mnemonic(_("_Stop Scan"));
  g_signal_connect(stop, "clicked",
                   G_CALLBACK(+[](GtkButton*, gpointer s) { browserOf(s)->stopScan(); }), this);
  gtk_box_pack_start(GTK_BOX(row), stop, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(scanArea_), row, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(scanArea_), gtk_hseparator_new(), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(outer), scanArea_, FALSE, FALSE, 0);
}

void Browser::buildThumbnails(GtkWidget* outer) {
  GtkWidget* box = gtk_vbox_new(FALSE, 4);
  statusLabel_ = gtk_label_new("");
  gtk_misc_set_alignment(GTK_MISC(statusLabel_), 0.0f, 0.5f);
  gtk_box_pack_start(GTK_BOX(box), statusLabel_, FALSE, FALSE, 0);

  store_ = gtk_list_store_new(ColumnCount, G_TYPE_STRING, GDK_TYPE_PIXBUF);
  iconView_ = GTK_ICON_VIEW(gtk_icon_view_new_with_model(GTK_TREE_MODEL(store_)));
  gtk_icon_view_set_margin(iconView_, 16);
  gtk_icon_view_set_row_spacing(iconView_, 8);
  gtk_icon_view_set_column_spacing(iconView_, 8);
  gtk_icon_view_set_selection_mode(iconView_, GTK_SELECTION_MULTIPLE);
  GtkCellRenderer* cell = frame_->newRenderer();
  gtk_cell_layout_pack_start(GTK_CELL_LAYOUT(iconView_), cell, FALSE);
  gtk_cell_layout_add_attribute(GTK_CELL_LAYOUT(iconView_), cell, "pixbuf", PixbufColumn);
  g_object_set(iconView_, "has-tooltip", TRUE, nullptr);
  g_signal_connect(iconView_, "selection-changed", G_CALLBACK(onSelectionChanged), this);
  g_signal_connect(iconView_, "item-activated", G_CALLBACK(onItemActivated), this);
  g_signal_connect(iconView_, "button-press-event", G_CALLBACK(onButtonPress), this);
  g_signal_connect(iconView_, "popup-menu", G_CALLBACK(onPopupMenu), this);
  g_signal_connect(iconView_, "query-tooltip", G_CALLBACK(onQueryTooltip), this);

  GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_ETCHED_IN);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                 GTK_POLICY_AUTOMATIC);
  gtk_container_add(GTK_CONTAINER(scrolled), GTK_WIDGET(iconView_));
  gtk_box_pack_start(GTK_BOX(box), scrolled, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(outer), box, TRUE, TRUE, 0);
}

void Browser::buildButtons(GtkWidget* outer) {
  GtkWidget* buttons = gtk_hbutton_box_new();
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  gtk_box_set_spacing(GTK_BOX(buttons), 16);
  auto add = [this, buttons](const char* label, GCallback callback) {
    GtkWidget* button = gtk_button_new_with_mnemonic(label);
    g_signal_connect(button, "clicked", callback, this);
    gtk_container_add(GTK_CONTAINER(buttons), button);
    return button;
  };
  GtkWidget* back = add(_("Select _Media"), G_CALLBACK(+[](GtkButton*, gpointer s) {
                          browserOf(s)->selectMedia();
                        }));
  gtk_button_set_image(GTK_BUTTON(back),
                       gtk_image_new_from_stock(GTK_STOCK_GO_BACK, GTK_ICON_SIZE_BUTTON));
  gtk_button_box_set_child_secondary(GTK_BUTTON_BOX(buttons), back, TRUE);
  unselectAllButton_ = add(_("_Unselect All"), G_CALLBACK(+[](GtkButton*, gpointer s) {
                             browserOf(s)->unselectAll();
                           }));
  selectAllButton_ = add(_("Select _All"), G_CALLBACK(+[](GtkButton*, gpointer s) {
                           browserOf(s)->selectAll();
                         }));
  recoverButton_ = add(_("_Recover"), G_CALLBACK(+[](GtkButton*, gpointer s) {
                         browserOf(s)->recover();
                       }));
  gtk_box_pack_start(GTK_BOX(outer), buttons, FALSE, FALSE, 0);
}

bool Browser::run() {
  scan();
  if (leaveMode_ == 0) gtk_main();
  return leaveMode_ == 2;
}

void Browser::scan() {
  state_ = 1;
  gtk_icon_view_set_selection_mode(iconView_, GTK_SELECTION_SINGLE);
  setSensitive(selectAllButton_, "SelectAll", false);
  setSensitive(unselectAllButton_, "UnselectAll", false);
  updateStatus();
  gtk_widget_show(scanArea_);
  gtk_progress_bar_set_text(GTK_PROGRESS_BAR(progressBar_), _("Scanning..."));
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(progressBar_), 0.005);
  const uint64_t size = fileCase_->reader()->size();
  scanTotal_ = size - size % 512;
  shownPercent_ = 0;

  const ScanReport report = runScan(*fileCase_, *config_, this);

  gtk_icon_view_set_selection_mode(iconView_, GTK_SELECTION_MULTIPLE);
  gtk_widget_hide(scanArea_);
  state_ = 0;
  updateStatus();
  if (!report.complete || leaveMode_ != 0) return;
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

void Browser::setValue(int op, int channel, uint64_t value) {
  if (channel != 0 || op != 0 || scanTotal_ == 0) return;
  const double fraction = std::min(1.0, static_cast<double>(value) / scanTotal_);
  const int percent = static_cast<int>(fraction * 100);
  if (percent == shownPercent_) return;
  shownPercent_ = percent;
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(progressBar_), fraction);
  gtk_progress_bar_set_text(GTK_PROGRESS_BAR(progressBar_), (std::to_string(percent) + "%").c_str());
}

void Browser::serveEvents() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

void Browser::pumpEvents() {
  serveEvents();
  if (state_ == 2) throw InterruptedException();
}

void Browser::addFile(const std::string& key, const FileModule::File& file) {
  GdkPixbuf* picture = loader_->load(file);
  if (!picture) {
    if (!loader_->wasLeftOut()) dlog() << "Browser(385): " << key << "\n";
    return;
  }
  GdkPixbuf* framed = frame_->frame(picture);
  g_object_unref(picture);
  if (!framed) {
    dlog() << "Browser(393)\n";
    return;
  }
  GtkTreeIter row;
  gtk_list_store_append(store_, &row);
  gtk_list_store_set(store_, &row, KeyColumn, key.c_str(), PixbufColumn, framed, -1);
  g_object_unref(framed);
  ++shown_;
  updateStatus();
  // Called from inside the analysis of a file (or a FAT directory): the
  // window is served, but a stop waits for the scan's next buffer, where
  // nothing is half done.
  serveEvents();
}

void Browser::setSensitive(GtkWidget* button, const char* action, bool on) {
  gtk_widget_set_sensitive(button, on);
  if (GtkAction* a = gtk_action_group_get_action(actionGroup(), action))
    gtk_action_set_sensitive(a, on);
}

void Browser::updateStatus() {
  status_ = browserStatusText(shown_, selected_);
  gtk_label_set_text(GTK_LABEL(statusLabel_), status_.c_str());
  if (state_ == 0) {
    setSensitive(selectAllButton_, "SelectAll", shown_ != 0 && selected_ != shown_);
    setSensitive(unselectAllButton_, "UnselectAll", shown_ != 0 && selected_ != 0);
  }
  // Recovering reads found files through the readers the scan is using:
  // it waits for the end of the scan.
  setSensitive(recoverButton_, "Recover", state_ == 0 && selected_ != 0);
}

void Browser::stopScan() {
  if (messageBox(MessageBoxQuestion,
                 _("Are you sure you want to stop the scan?\n\n<span color=\"red\">Warning:</span> "
                   "If you stop the scan, you will have to restart the scan from the beginning."),
                 window(), false, nullptr) & MessageBoxNotYes)
    return;
  if (state_ == 1) state_ = 2;
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
  if (state_ != 0) {
    // The scan stops at its next buffer; run() then skips the main loop.
    state_ = 2;
    return true;
  }
  if (gtk_main_level() > 0) gtk_main_quit();
  return false;
}

void Browser::selectMedia() { leave(2); }
bool Browser::quit() { return !leave(1); }

void Browser::selectAll() { gtk_icon_view_select_all(iconView_); }
void Browser::unselectAll() { gtk_icon_view_unselect_all(iconView_); }

void Browser::onSelectionChanged(GtkIconView* view, gpointer data) {
  Browser* self = browserOf(data);
  GList* selected = gtk_icon_view_get_selected_items(view);
  self->selected_ = g_list_length(selected);
  for (GList* s = selected; s; s = s->next) gtk_tree_path_free(static_cast<GtkTreePath*>(s->data));
  g_list_free(selected);
  self->updateStatus();
}

std::string Browser::keyAt(GtkTreePath* path) const {
  GtkTreeIter row;
  if (!path || !gtk_tree_model_get_iter(GTK_TREE_MODEL(store_), &row, path)) return std::string();
  gchar* key = nullptr;
  gtk_tree_model_get(GTK_TREE_MODEL(store_), &row, KeyColumn, &key, -1);
  std::string result = key ? key : "";
  g_free(key);
  return result;
}

// ---- thumbnails: open, context menu, properties, tooltip ----

void Browser::onItemActivated(GtkIconView*, GtkTreePath* path, gpointer data) {
  browserOf(data)->openFile(path);
}

void Browser::openFile(GtkTreePath* path) {
  // Opening copies the file out through the readers the scan is using.
  if (state_ != 0) return;
  const std::string key = keyAt(path);
  if (key.empty()) {
    dlog() << "Browser(577)\n";
    return;
  }
  const FileModule::File* file = fileCase_->findFile(key);
  if (!file) {
    dlog() << "Browser(586): " << key << "\n";
    return;
  }
  const std::string fn = file->attributes.getString("fn");
  const std::string name =
      fn.empty() ? FileRecoverer(nullptr, nullptr, fileCase_, 0, "").destinationPath(*file) : fn;
  // A folder only this user can enter: the copy may be private.
  if (openFolder_.empty()) openFolder_ = makePrivateTempFolder();
  if (openFolder_.empty()) {
    dlog() << "Browser(590)\n";
    messageBox(MessageBoxError, openFailureText(name, FileRecoverer::NoFailure), window());
    return;
  }
  bool ok = false;
  std::string written;
  FileRecoverer::Failure failure = FileRecoverer::NoFailure;
  {
    gtk::ProgressBox progress(window(), gtk::ProgressBox::FileCopy, file->size);
    FileRecoverer recoverer(&progress, nullptr, fileCase_, file->size, openFolder_);
    // The program that opens it shows its real name where one is known; a
    // file not proven whole can still be looked at.
    recoverer.setKeepNames(true);
    recoverer.setKeepPartial(true);
    try {
      ok = recoverer.recover(*file);
    } catch (const InterruptedException&) {
      if (!recoverer.lastPath().empty()) unlink(recoverer.lastPath().c_str());
      return;
    }
    written = recoverer.lastPath();
    failure = recoverer.lastFailure();
  }
  if (!ok) {
    messageBox(MessageBoxError, openFailureText(name, failure), window());
    return;
  }
  systemOpen(utf8Path(written), nullptr);
}

gboolean Browser::onButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) {
  if (event->type != GDK_BUTTON_PRESS || event->button != 3) return FALSE;
  Browser* self = browserOf(data);
  GtkTreePath* path = gtk_icon_view_get_path_at_pos(self->iconView_, static_cast<gint>(event->x),
                                                    static_cast<gint>(event->y));
  if (path) {
    self->showContextMenu(path, event);
    gtk_tree_path_free(path);
  }
  return TRUE;
}

gboolean Browser::onPopupMenu(GtkWidget*, gpointer data) {
  Browser* self = browserOf(data);
  GtkTreePath* path = nullptr;
  if (!gtk_icon_view_get_cursor(self->iconView_, &path, nullptr) || !path) return FALSE;
  self->showContextMenu(path, nullptr);
  gtk_tree_path_free(path);
  return TRUE;
}

void Browser::showContextMenu(GtkTreePath* path, GdkEventButton* event) {
  contextKey_ = keyAt(path);
  if (contextPath_) gtk_tree_path_free(contextPath_);
  contextPath_ = gtk_tree_path_copy(path);
  if (contextMenu_) gtk_widget_destroy(contextMenu_);
  contextMenu_ = gtk_menu_new();
  gtk_menu_attach_to_widget(GTK_MENU(contextMenu_), GTK_WIDGET(iconView_), nullptr);

  auto item = [this](const char* label, GCallback callback) {
    GtkWidget* widget = gtk_menu_item_new_with_mnemonic(label);
    g_signal_connect(widget, "activate", callback, this);
    gtk_menu_shell_append(GTK_MENU_SHELL(contextMenu_), widget);
    return widget;
  };
  auto separator = [this]() {
    gtk_menu_shell_append(GTK_MENU_SHELL(contextMenu_), gtk_separator_menu_item_new());
  };
  GtkWidget* open = item("", G_CALLBACK(+[](GtkMenuItem*, gpointer s) {
                           Browser* self = browserOf(s);
                           self->openFile(self->contextPath_);
                         }));
  gtk_label_set_markup_with_mnemonic(
      GTK_LABEL(gtk_bin_get_child(GTK_BIN(open))),
      ("<b>" + markupEscape(_("_Open")) + "</b>").c_str());
  gtk_widget_set_sensitive(open, state_ == 0);
  separator();
  const bool selected = gtk_icon_view_path_is_selected(iconView_, path);
  item(selected ? _("_Unselect") : _("_Select"), G_CALLBACK(+[](GtkMenuItem*, gpointer s) {
         Browser* self = browserOf(s);
         if (gtk_icon_view_path_is_selected(self->iconView_, self->contextPath_))
           gtk_icon_view_unselect_path(self->iconView_, self->contextPath_);
         else
           gtk_icon_view_select_path(self->iconView_, self->contextPath_);
       }));
  separator();
  item(_("_Properties"),
       G_CALLBACK(+[](GtkMenuItem*, gpointer s) { browserOf(s)->showProperties(); }));
  gtk_widget_show_all(contextMenu_);
  gtk_menu_popup(GTK_MENU(contextMenu_), nullptr, nullptr, nullptr, nullptr,
                 event ? event->button : 0, event ? event->time : gtk_get_current_event_time());
}

void Browser::showProperties() {
  const FileModule::File* file = fileCase_->findFile(contextKey_);
  if (!file) {
    dlog() << "Browser(792): " << contextKey_ << "\n";
    return;
  }
  showPropertiesDialog(window(), *file);
}

gboolean Browser::onQueryTooltip(GtkWidget*, gint x, gint y, gboolean keyboard,
                                 GtkTooltip* tooltip, gpointer data) {
  Browser* self = browserOf(data);
  GtkTreePath* path = nullptr;
  if (!gtk_icon_view_get_tooltip_context(self->iconView_, &x, &y, keyboard, nullptr, &path,
                                         nullptr))
    return FALSE;
  const FileModule::File* file = self->fileCase_->findFile(self->keyAt(path));
  if (file) {
    gtk_tooltip_set_text(tooltip, thumbnailTooltip(*file).c_str());
    gtk_icon_view_set_tooltip_item(self->iconView_, tooltip, path);
  }
  gtk_tree_path_free(path);
  return file != nullptr;
}

// ---- recover and print ----

void Browser::forEachSelected(
    const std::function<void(const FileModule::File&, GtkTreePath*)>& visit) {
  SelectedPaths selected(iconView_);
  for (GtkTreePath* path : selected.paths) {
    const std::string key = keyAt(path);
    if (key.empty()) {
      dlog() << "Browser(478)\n";
      continue;
    }
    const FileModule::File* file = fileCase_->findFile(key);
    if (!file) {
      dlog() << "Browser(475): " << key << "\n";
      continue;
    }
    visit(*file, path);
  }
}

void Browser::recover() {
  if (state_ != 0 || selected_ == 0) return;
  GtkWidget* keep = gtk_check_button_new_with_mnemonic(_("_Keep original names"));
  gtk_widget_set_tooltip_text(keep, _("Files whose name the file system still knows get that "
                                      "name; the others are named after their position."));
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(keep), keepNames_);
  g_signal_connect(keep, "toggled", G_CALLBACK(+[](GtkToggleButton* button, gpointer s) {
                     browserOf(s)->keepNames_ = gtk_toggle_button_get_active(button);
                   }),
                   this);
  GtkWidget* partial = gtk_check_button_new_with_mnemonic(_("Keep _partial files"));
  gtk_widget_set_tooltip_text(partial, _("Files that could not be proven whole are written too, with "
                                         "\"-partial\" in their name; otherwise they are left out."));
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(partial), keepPartial_);
  g_signal_connect(partial, "toggled", G_CALLBACK(+[](GtkToggleButton* button, gpointer s) {
                     browserOf(s)->keepPartial_ = gtk_toggle_button_get_active(button);
                   }),
                   this);
  GtkWidget* choices = gtk_hbox_new(FALSE, 12);
  gtk_box_pack_start(GTK_BOX(choices), keep, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(choices), partial, FALSE, FALSE, 0);
  gtk_widget_show_all(choices);
  std::string folder;
  if (!chooseFile(folder, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, choices)) return;
  if (!roomFor(folder, keepPartial_)) return;
  const RecoverySummary summary = recoverSelected(folder, keepNames_, keepPartial_);
  messageBox(MessageBoxInformation, recoverySummaryText(summary, folder), window(), false,
             nullptr);
}

bool Browser::roomFor(const std::string& folder, bool keepPartial) {
  std::vector<uint64_t> sizes;
  forEachSelected([&](const FileModule::File& file, GtkTreePath*) {
    if (!isPartial(file) || keepPartial) sizes.push_back(file.size);
  });
  const FreeSpace space = freeSpaceIn(folder);
  const uint64_t needed = spaceNeeded(space, sizes);
  if (!space.known || needed <= space.freeBytes) return true;
  dlog() << "Browser(540): " << needed << " " << space.freeBytes << "\n";
  const std::string question =
      noRoomQuestion(sizes.size(), needed, space.freeBytes, filesThatFit(space, sizes), folder);
  return !(messageBox(MessageBoxWarning, question, window(), true, nullptr) & MessageBoxNotYes);
}

RecoverySummary Browser::recoverSelected(const std::string& folder, bool keepNames, bool keepPartial) {
  RecoverySummary summary;
  uint64_t total = 0;
  auto leftOut = [keepPartial](const FileModule::File& file) { return isPartial(file) && !keepPartial; };
  forEachSelected([&](const FileModule::File& file, GtkTreePath*) {
    if (leftOut(file)) {
      ++summary.leftPartial;
      return;
    }
    total = file.size > UINT64_MAX - total ? UINT64_MAX : total + file.size;
    ++summary.requested;
  });
  GuiQuestions questions(window());
  gtk::ProgressBox progress(window(), gtk::ProgressBox::FileCopy, total);
  FileRecoverer recoverer(&progress, &questions, fileCase_, total, folder);
  recoverer.setMedium(mediumIdentity());
  recoverer.setKeepNames(keepNames);
  recoverer.setKeepPartial(keepPartial);
  try {
    forEachSelected([&](const FileModule::File& file, GtkTreePath* path) {
      if (leftOut(file)) return;
      if (recoverer.recover(file)) {
        ++summary.recovered;
        if (recoverer.lastUnreadableBytes()) ++summary.damaged;
        // What was written is done with; what failed stays selected for
        // another try.
        gtk_icon_view_unselect_path(iconView_, path);
      } else {
        dlog() << "Browser(526)\n";
        ++summary.failed;
      }
    });
  } catch (const InterruptedException&) {
    // The file being written when the user stopped is cut short; it was
    // created exclusively by this run, so it goes.
    if (!recoverer.lastPath().empty()) unlink(recoverer.lastPath().c_str());
    summary.stopped = true;
  }
  summary.unreadableBytes = recoverer.totalUnreadableBytes();
  return summary;
}

void Browser::print() {
  if (selected_ == 0) {
    messageBox(MessageBoxInformation, _("Please select thumbnails to print"), window(), false,
               nullptr);
    return;
  }
  printer_->print(window(), GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG);
}

bool Browser::exportSelected(const std::string& pdfPath) {
  if (selected_ == 0) return false;
  return printer_->print(window(), GTK_PRINT_OPERATION_ACTION_EXPORT, pdfPath) ==
         GTK_PRINT_OPERATION_RESULT_APPLY;
}

void Browser::pageSetup() { printer_->pageSetup(window()); }

bool runBrowser(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase,
                ConfigRecord& config) {
  Browser window(parent, media, fileCase, config);
  return window.run();
}
