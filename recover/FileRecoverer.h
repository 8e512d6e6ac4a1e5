// Writes found files into a destination folder.
//
// Names are offset-size[f].type; outputs are created exclusively, so an
// existing file is never replaced: on a clash the next free name
// ("-1", "-2", ... before the extension) is taken.  A destination on the
// medium being recovered is refused.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

#include "engine/FileModule.h"

class FileCase;
class InterfaceCallback;
class Questions;

class FileRecoverer {
 public:
  // progress and questions may be null (no progress; failures answered "Yes").
  FileRecoverer(InterfaceCallback* progress, Questions* questions, FileCase* fileCase,
                uint64_t totalBytes, const std::string& destinationFolder);

  // Throws InterruptedException on cancel, or on No to the failure question.
  bool recover(const FileModule::File& file);
  bool recoverTo(const FileModule::File& file, const std::string& sourceText,
                 const std::string& destinationPath);
  bool recover_ll(const FileModule::File& file, const char* sourceText, const char* destinationPath);

  // The proposed name in the destination folder (before clash resolution).
  std::string destinationPath(const FileModule::File& file) const;
  // The path actually written by the last successful recover.
  const std::string& lastPath() const { return lastPath_; }
  // Unreadable bytes of the last file, and of all files so far.
  uint64_t lastUnreadableBytes() const { return lastUnreadable_; }
  uint64_t totalUnreadableBytes() const { return totalUnreadable_; }
  uint64_t filesWithUnreadableBytes() const { return filesWithUnreadable_; }

 private:
  InterfaceCallback* progress_;
  Questions* questions_;
  FileCase* fileCase_;
  uint64_t total_;
  uint64_t done_ = 0;
  std::string folder_;
  bool yesToAll_ = false;
  std::string lastPath_;
  uint64_t lastUnreadable_ = 0;
  uint64_t totalUnreadable_ = 0;
  uint64_t filesWithUnreadable_ = 0;
};

// A file name made safe: no "/", no NUL, not "." or "..", not empty.
std::string safeFileName(const std::string& name);

// True when `path` (an existing file or folder, or the folder it would be
// created in) is the medium itself or lies on it: same device and inode as
// the medium's file, or under a mount point of the medium.  `why` gets a
// one-line reason.
bool destinationOnMedium(const std::string& path, dev_t mediumDevice, ino_t mediumInode,
                         std::string* why);
