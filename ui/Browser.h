// The browser window: scans the chosen medium, lists what it found and
// recovers the selected files into a folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/FileCase.h"
#include "ui/WindowBase.h"

// What one recovery run achieved, for its closing summary.
struct RecoverySummary {
  uint64_t requested = 0;       // files the user asked for
  uint64_t recovered = 0;       // files written
  uint64_t failed = 0;          // files that could not be written
  uint64_t damaged = 0;         // recovered files with unreadable bytes
  uint64_t unreadableBytes = 0; // written as zeros
  bool stopped = false;         // the user cancelled
};
// The summary text (Pango markup; `folder` is escaped here).  "Complete"
// only when every requested file was written without unreadable bytes.
std::string recoverySummaryText(const RecoverySummary& summary, const std::string& folder);

class Browser : public WindowBase, public FileCase::Callback {
 public:
  Browser(GtkWindow* parent, ConfigRecord& media, FileCase& fileCase, ConfigRecord& config);
  ~Browser() override;

  // Scans, then runs the main loop unless the user already chose to leave.
  // True: select another medium; false: quit.
  bool run();
  void scan();

  void selectMedia() override;
  bool quit() override;
  void selectAll() override;
  void unselectAll() override;
  void recover() override;

  void added(const std::string& key, const FileModule::File& file) override;

  // For tests: the list and its keys in view order.
  GtkTreeView* view() const { return view_; }
  unsigned shownCount() const { return shown_; }
  unsigned selectedCount() const { return selected_; }
  const std::string& statusText() const { return status_; }
  // Recovers the given keys into `folder` (no chooser).
  RecoverySummary recoverInto(const std::vector<std::string>& keys, const std::string& folder);

 private:
  enum Column { KeyColumn, TypeColumn, OffsetColumn, SizeColumn, NameColumn, ColumnCount };
  bool leave(int mode);
  void updateStatus();
  std::vector<std::string> selectedKeys() const;
  static void onSelectionChanged(GtkTreeSelection*, gpointer self);
  GtkWidget* addButton(GtkWidget* box, const char* label, GCallback callback);

  GtkListStore* store_ = nullptr;
  GtkTreeView* view_ = nullptr;
  GtkWidget* statusLabel_ = nullptr;
  GtkWidget* selectAllButton_ = nullptr;
  GtkWidget* unselectAllButton_ = nullptr;
  GtkWidget* recoverButton_ = nullptr;
  std::string status_;
  int state_ = 0;      // 0 idle, 1 scanning
  int leaveMode_ = 0;  // 0 stay, 1 quit, 2 select another medium
  unsigned shown_ = 0;
  unsigned selected_ = 0;
};
