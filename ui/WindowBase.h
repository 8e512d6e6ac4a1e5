// The common base of the two main windows: the top-level window with its
// menu bar, the 20 menu actions, and the commands both windows share (file
// chooser, offset/size dialog, raw-data save and restore, debug dump,
// manual, quit confirmation).
//
// Paths handed in and out are in the file-name encoding of the system (the
// bytes the kernel sees); they are converted to UTF-8 only for display.
// The three records are owned by the run loop and only referred to.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>
#include <string>

#include "recover/MediumGuard.h"

class ConfigRecord;
class FileCase;
class MediumWriter;

// The medium that a restore writes to, asked for before the command asks
// the user anything; the medium itself is claimed for writing only once
// the user has confirmed.
class WriteTarget {
 public:
  virtual ~WriteTarget() {}
  virtual uint64_t size() const = 0;
  // Writes must be whole sectors of this many bytes.
  virtual uint64_t sectorSize() const { return 1; }
  // The medium opened for writing; null after the user was told why not.
  virtual MediumWriter* claim() = 0;
  // After the write pass: false, after telling the user, when the medium
  // may not hold everything that was written.
  virtual bool finish() { return true; }
};

class WindowBase {
 public:
  // parent may be null.  browserMenus: false builds the File menu of the
  // selection window, true the File and Edit menus of the browser.
  WindowBase(GtkWindow* parent, ConfigRecord* mediaRecord, FileCase* fileCase,
             ConfigRecord* config, bool browserMenus);
  virtual ~WindowBase();
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  // Makes sure that the file case holds an open medium.
  virtual bool prepareMedia() { return true; }
  virtual void selectMedia() {}
  virtual void refresh() {}
  virtual void scanFile() {}
  virtual void eraseCard() {}
  virtual void formatCard() {}
  virtual void print() {}
  virtual void pageSetup() {}
  // True when the program is leaving.  The default asks "Do you want to
  // quit the program?" and leaves the main loop on Yes.
  virtual bool quit();
  virtual void selectAll() {}
  virtual void unselectAll() {}
  virtual void recover() {}

  // The medium a restore would write to; null when it cannot be written
  // (after telling the user why, where there is something to tell).  The
  // default offers the file case's medium when it is writable.
  virtual std::unique_ptr<WriteTarget> writeTarget();

  // The shared commands behind the menu items.
  void saveRawData();
  void restoreRawData();
  void saveDebug();
  void showManual();
  void showPreferences();
  void showAbout();

  // The widget of a UI path such as "/MenuBar/FileMenu/Erase"; null (and a
  // log line) when there is none.
  GtkWidget* getWidget(const char* path);
  GtkWidget* menuBar() { return getWidget("/MenuBar"); }

  // A modal chooser opened in lastFolder().  action: open, save or select
  // folder; path brings the proposed name (save) and takes the choice.
  // For save and select folder a destination on the medium being recovered
  // is refused and the chooser opens again.  `extra`, when given, is shown
  // below the chooser (options of the command) and goes with it.
  bool chooseFile(std::string& path, GtkFileChooserAction action, GtkWidget* extra = nullptr);
  bool askOffsetAndSize(const char* title, GtkWindow* parent, int64_t& offset, int64_t& size,
                        int64_t sizeLimit, int64_t endLimit);

  // Why `path` may not be written: it is the medium, or lies on it.  False
  // when it may be written (or no medium is open).
  bool destinationOnMedium(const std::string& path, std::string* why) const;
  // The open medium as the guard knows it; not known when there is none
  // or it is not a file or device of this system.
  MediumIdentity mediumIdentity() const;

  GtkWindow* window() const { return GTK_WINDOW(window_); }
  GtkUIManager* uiManager() const { return uiManager_; }
  GtkActionGroup* actionGroup() const { return actions_; }
  FileCase* fileCase() const { return fileCase_; }
  ConfigRecord* mediaRecord() const { return mediaRecord_; }
  ConfigRecord* config() const { return config_; }
  const std::string& lastFolder() const { return lastFolder_; }
  void setLastFolder(const std::string& folder) { lastFolder_ = folder; }

 protected:
  ConfigRecord* mediaRecord_;
  FileCase* fileCase_;
  ConfigRecord* config_;
  GtkWidget* window_ = nullptr;
  std::string lastFolder_;
  GtkUIManager* uiManager_ = nullptr;
  GtkActionGroup* actions_ = nullptr;

 private:
  void addMenu(const char* definition, const char* tag);
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
};
