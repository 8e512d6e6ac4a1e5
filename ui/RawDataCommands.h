// The raw-data commands of the main windows: save a medium (or a range of
// it) to an image file, write an image file back onto a medium, and save
// the debug log.  Each command object lives for one run of its command.
#pragma once

#include <cstdint>
#include <string>

class WindowBase;

// The save name split at the last "." of its base name; an empty extension
// becomes "img".  "card1" -> ("card1", "img"), "a.b.raw" -> ("a.b", "raw").
struct SaveName {
  std::string folder;  // without the trailing "/"
  std::string stem;
  std::string extension;
  std::string path() const { return folder + "/" + stem + "." + extension; }
};
SaveName splitSaveName(const std::string& chosenPath);

// "Save a Card as a File".  The file that will really be written (with its
// extension) is checked again after the chooser: an existing file asks
// before it is replaced, and the medium itself or a folder on it is refused.
// The closing box tells what happened: "Complete" only when every byte was
// read; unreadable bytes (written as zeros) are counted and reported.
class SaveRawDataCommand {
 public:
  explicit SaveRawDataCommand(WindowBase& window) : window_(window) {}
  void run();

 private:
  // The final path, or false when the user gave up.
  bool chooseDestination(SaveName& name, bool& replace);
  WindowBase& window_;
};

// "Restore a Saved Card File": only when the medium can be written.
class RestoreRawDataCommand {
 public:
  explicit RestoreRawDataCommand(WindowBase& window) : window_(window) {}
  void run();

 private:
  WindowBase& window_;
};

// "Save Debug": only while the debug log is kept in memory.
class SaveDebugCommand {
 public:
  explicit SaveDebugCommand(WindowBase& window) : window_(window) {}
  void run();

 private:
  WindowBase& window_;
};
