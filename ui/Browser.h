// The browser window: scans the chosen medium, shows every found file as a
// framed thumbnail while the scan runs, and opens, prints and recovers the
// files the user selects.
//
// The scan runs inside run() before the window's main loop; the window
// stays responsive because the scan pumps events between its buffers
// (check()) and after each thumbnail.  A stop request takes effect at the
// next buffer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/FileCase.h"
#include "shell/InterfaceCallback.h"
#include "ui/BrowserTexts.h"
#include "ui/WindowBase.h"

class FilePixbufLoader;
class PixbufFrame;
class ThumbnailPrinter;

class Browser : public WindowBase, public InterfaceCallback, public FileCase::Callback {
 public:
  // Model columns: the file case's key of the found file, and its framed
  // thumbnail.
  enum Column { KeyColumn, PixbufColumn, ColumnCount };

  // The three records are the run loop's; the browser registers itself as
  // the file case's callback until it is destroyed.
  Browser(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase, ConfigRecord& config);
  ~Browser() override;

  // Scans, then runs the main loop unless the user already chose to leave.
  // True: select another medium; false: quit.
  bool run();
  void scan();

  void selectMedia() override;
  void print() override;
  void pageSetup() override;
  bool quit() override;
  void selectAll() override;
  void unselectAll() override;
  void recover() override;

  // Runs pending events; throws InterruptedException once a stop was asked.
  virtual void pumpEvents();
  // Shows a found file (unless it gets no picture).
  virtual void addFile(const std::string& key, const FileModule::File& file);

  void check() override { pumpEvents(); }
  void setValue(int op, int channel, uint64_t value) override;
  void added(const std::string& key, const FileModule::File& file) override { addFile(key, file); }

  // "_Stop Scan": asks, and on Yes the scan stops at its next buffer.
  void stopScan();
  // Copies the file into a private temporary folder and opens it with the
  // desktop's program for its type.
  void openFile(GtkTreePath* path);
  // The properties of the item under the last right click.
  void showProperties();
  // The menu of a thumbnail; a null event pops it up for the keyboard.
  void showContextMenu(GtkTreePath* path, GdkEventButton* event);

  // Recovers the selected files into `folder` (no chooser): recovered
  // files are unselected, failed ones stay selected.
  // Files not proven whole ("partial") are written only with keepPartial;
  // otherwise they are left out, counted and stay selected.
  // True when the selected files fit in `folder`, or the user chose to go
  // on although they do not.
  bool roomFor(const std::string& folder, bool keepPartial);
  RecoverySummary recoverSelected(const std::string& folder, bool keepNames, bool keepPartial = false);
  // Prints the selected thumbnails into a PDF file, without a dialog.
  bool exportSelected(const std::string& pdfPath);

  GtkIconView* iconView() const { return iconView_; }
  GtkTreeModel* model() const { return GTK_TREE_MODEL(store_); }
  GtkWidget* scanArea() const { return scanArea_; }
  GtkWidget* progressBar() const { return progressBar_; }
  unsigned shownCount() const { return shown_; }
  unsigned selectedCount() const { return selected_; }
  const std::string& statusText() const { return status_; }
  int state() const { return state_; }
  const PixbufFrame& frame() const { return *frame_; }
  const ThumbnailPrinter& printer() const { return *printer_; }
  // The key of a row, empty when there is no such row.
  std::string keyAt(GtkTreePath* path) const;
  // The menu last popped up (for tests); owned by the window.
  GtkWidget* contextMenu() const { return contextMenu_; }

 private:
  void buildScanArea(GtkWidget* outer);
  void buildThumbnails(GtkWidget* outer);
  void buildButtons(GtkWidget* outer);
  void updateStatus();
  void setSensitive(GtkWidget* button, const char* action, bool on);
  bool leave(int mode);
  // Runs pending events without stopping anything.
  void serveEvents();
  void forEachSelected(const std::function<void(const FileModule::File&, GtkTreePath*)>& visit);

  static void onSelectionChanged(GtkIconView*, gpointer self);
  static void onItemActivated(GtkIconView*, GtkTreePath*, gpointer self);
  static gboolean onButtonPress(GtkWidget*, GdkEventButton*, gpointer self);
  static gboolean onPopupMenu(GtkWidget*, gpointer self);
  static gboolean onQueryTooltip(GtkWidget*, gint x, gint y, gboolean keyboard, GtkTooltip*,
                                 gpointer self);

  std::unique_ptr<PixbufFrame> frame_;
  std::unique_ptr<FilePixbufLoader> loader_;
  std::unique_ptr<ThumbnailPrinter> printer_;
  GtkWidget* scanArea_ = nullptr;
  GtkWidget* progressBar_ = nullptr;
  GtkWidget* selectAllButton_ = nullptr;
  GtkWidget* unselectAllButton_ = nullptr;
  GtkWidget* recoverButton_ = nullptr;
  GtkWidget* contextMenu_ = nullptr;
  int state_ = 0;      // 0 idle, 1 scanning, 2 stop requested
  int leaveMode_ = 0;  // 0 stay, 1 quit, 2 select another medium
  unsigned shown_ = 0;
  unsigned selected_ = 0;
  GtkIconView* iconView_ = nullptr;
  GtkListStore* store_ = nullptr;
  GtkWidget* statusLabel_ = nullptr;
  std::string status_;
  std::string contextKey_;
  GtkTreePath* contextPath_ = nullptr;
  uint64_t scanTotal_ = 0;
  int shownPercent_ = -1;
  std::string openFolder_;  // private temporary folder of opened files
  bool keepNames_ = false;  // the recover chooser's choices
  bool keepPartial_ = false;
};
