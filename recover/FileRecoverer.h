// Writes found files into a destination folder.
//
// Names are offset-size[f].type, made safe (see FileName.h); a file not
// proven whole gets "-partial" before its extension.  Outputs are
// created exclusively, so an existing file is never replaced: on a clash
// the next free name ("-1", "-2", ... before the extension) is taken.  A
// destination on the medium being recovered is refused (setMedium).
// Unreadable parts of a file are written as zeros and counted.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "engine/FileModule.h"
#include "recover/FileDigests.h"
#include "recover/FileName.h"
#include "recover/MediumGuard.h"

class FileCase;
class InterfaceCallback;
class Questions;

class FileRecoverer {
 public:
  // Why the last attempt failed.
  // NoSpace: the destination is full; what was written of the file is
  // removed, as after any failure to write it.  NotWhole: a file not proven
  // whole, refused without setKeepPartial.
  enum Failure { NoFailure, NoReader, CannotCreate, CannotWrite, OnMedium, NoSpace, NotWhole };

  // progress and questions may be null (no progress; failures answered
  // "Yes").  Neither is owned; the progress total is the caller's business
  // (each written piece is reported with setValue(1, 0, bytes)).
  FileRecoverer(InterfaceCallback* progress, Questions* questions, FileCase* fileCase,
                uint64_t totalBytes, const std::string& destinationFolder);
  // Removes the files written ahead that were not given their names, and
  // ends the digest threads.
  ~FileRecoverer();
  FileRecoverer(const FileRecoverer&) = delete;
  FileRecoverer& operator=(const FileRecoverer&) = delete;

  // The sum of the sizes of the files to recover, when it is known only
  // after construction (a recovery that began writing ahead during the scan).
  void setTotalBytes(uint64_t totalBytes) { total_ = totalBytes; }
  // Destinations on this medium are refused.
  void setMedium(const MediumIdentity& medium) { medium_ = medium; checkedFolder_.clear(); }
  // Files with a FAT name ("fn") are written under that name, made safe;
  // on a clash the offset goes before the extension.
  void setKeepNames(bool keep) { keepNames_ = keep; }
  // Files not proven whole ("partial") are written, with "-partial" before
  // the extension; otherwise recover() refuses them (NotWhole).
  void setKeepPartial(bool keep) { keepPartial_ = keep; }
  // Compute the MD5 and SHA-256 of each file written (lastMd5(), lastSha256()),
  // on two threads of this recoverer's that are started here.
  void setHashing(bool hashing);

  // Throw InterruptedException on cancel, or on No to the failure question.
  bool recover(const FileModule::File& file);
  bool recoverTo(const FileModule::File& file, const std::string& sourceText,
                 const std::string& destinationPath);
  // One attempt, without questions.
  bool recover_ll(const FileModule::File& file, const char* sourceText, const char* destinationPath);

  // Writing ahead, while a scan is still running and the medium's cache
  // holds the file's bytes: they go into a hidden file of the destination
  // folder now, and a later recover() of the same file (same key) gives it
  // its name without reading the medium again; its unreadable parts and
  // digests are those found now.  Nothing is asked and nothing is counted
  // or kept on failure (recover() then does all the work, as if nothing had
  // been written ahead); after a full disk nothing more is written ahead.
  // `checker` sees check() between pieces; an InterruptedException from it
  // removes the hidden file and passes on.
  bool writeAhead(const FileModule::File& file, InterfaceCallback* checker);
  // Removes the files written ahead that were not named yet.
  void dropWrittenAhead();
  // The disk space the files written ahead take (whole blocks).
  uint64_t writtenAheadBytes() const;
  size_t writtenAheadFiles() const { return ahead_.size(); }

  // The proposed name in the destination folder (before clash resolution).
  std::string destinationPath(const FileModule::File& file) const;
  // folder/fn made safe, or empty when keeping names is off or there is no "fn".
  std::string namedPath(const FileModule::File& file) const;
  // "Type: %1, Offset: %2, Size: %3", translated and filled in.
  static std::string sourceTextOf(const FileModule::File& file);

  // Of the last attempt: the path it created (empty if none; a file that
  // failed part-way has been removed again), why it failed, the unreadable bytes and their ranges (offset
  // in the file, length), and the MD5 when hashing.
  const std::string& lastPath() const { return lastPath_; }
  Failure lastFailure() const { return lastFailure_; }
  uint64_t lastUnreadableBytes() const { return lastUnreadable_; }
  const std::vector<std::pair<uint64_t, uint64_t>>& lastUnreadableRanges() const { return lastRanges_; }
  const std::string& lastMd5() const { return lastMd5_; }
  const std::string& lastSha256() const { return lastSha256_; }

  // Over the whole command.
  uint64_t totalUnreadableBytes() const { return totalUnreadable_; }
  uint64_t filesWithUnreadableBytes() const { return filesWithUnreadable_; }
  uint64_t bytesWritten() const { return written_; }
  uint64_t totalBytes() const { return total_; }
  const std::string& folder() const { return folder_; }

  // The most names tried for one file before giving up.
  static constexpr int kMaxClashes = 10000;

 private:
  bool recoverCandidates(const FileModule::File& file, const std::string& sourceText,
                         const std::vector<std::string>& candidates);
  bool attempt(const FileModule::File& file, const std::string& sourceText,
               const std::vector<std::string>& candidates);
  int openExclusive(const std::vector<std::string>& candidates, std::string* used);
  // Tries the candidates, then the last one with "-1", "-2", ... before its
  // extension: `claim` returns 0 when it took the name, EEXIST to go on, or
  // another errno to give up (logged as a failure to create).
  bool claimName(const std::vector<std::string>& candidates, const std::function<int(const std::string&)>& claim,
                 std::string* used);
  bool folderOnMedium(const std::string& path);

  // A file written ahead, under its hidden name.
  struct Ahead {
    std::string path;
    uint64_t written = 0;
    uint64_t diskBytes = 0;
    std::vector<std::pair<uint64_t, uint64_t>> unreadable;
    FileDigests::Pending digests;  // waited for when the file is named
  };
  // Names the file written ahead; false (and the hidden file gone) when it
  // cannot be renamed here, so that the file is written again.
  bool placeAhead(const Ahead& ahead, const std::vector<std::string>& candidates, std::string* used);
  std::map<std::string, Ahead> ahead_;  // by FileCase::keyOf
  uint64_t aheadCount_ = 0;
  bool aheadStopped_ = false;

  InterfaceCallback* progress_;
  Questions* questions_;
  FileCase* fileCase_;
  uint64_t total_;
  std::string folder_;
  bool yesToAll_ = false;
  bool keepNames_ = false;
  bool keepPartial_ = false;
  bool hashing_ = false;
  std::unique_ptr<FileDigests> digests_;  // once hashing was switched on
  MediumIdentity medium_;
  std::string checkedFolder_;
  bool checkedOnMedium_ = false;

  std::string lastPath_;
  Failure lastFailure_ = NoFailure;
  uint64_t lastUnreadable_ = 0;
  std::vector<std::pair<uint64_t, uint64_t>> lastRanges_;
  std::string lastMd5_;
  std::string lastSha256_;
  uint64_t totalUnreadable_ = 0;
  uint64_t filesWithUnreadable_ = 0;
  uint64_t written_ = 0;
};

// For callers that know only the device and inode of an image file.
bool destinationOnMedium(const std::string& path, dev_t mediumDevice, ino_t mediumInode,
                         std::string* why);
