// Writing found files to the destination folder.

#include "recover/FileRecoverer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "engine/FileCase.h"
#include "engine/RebuiltFile.h"
#include "recover/FileReader.h"
#include "recover/FileDigests.h"
#include "shell/Charset.h"
#include "shell/DebugLog.h"
#include "shell/Files.h"
#include "shell/Format.h"
#include "shell/InterfaceCallback.h"
#include "shell/Intl.h"
#include "shell/Questions.h"

namespace {

// Log tags of this file.
const LogTag kLogOnMedium{"FileRecoverer", 70};
const LogTag kLogCannotCreate{"FileRecoverer", 78};
const LogTag kLogWriteFailed{"FileRecoverer", 98};
const LogTag kLogCloseFailed{"FileRecoverer", 104};
const LogTag kLogFailed{"FileRecoverer", 111};

// Writes the pieces of one file to its output descriptor, which it owns,
// and gives them to the digests (when hashing) as one file of theirs.
class FileReaderRecover : public FileReader {
 public:
  FileReaderRecover(int fd, FileDigests* digests) : fd_(fd), digests_(digests) {}
  ~FileReaderRecover() override {
    if (fd_ >= 0) ::close(fd_);
    // A file that failed or was stopped: ended all the same, so that the
    // next file's bytes are not taken as more of this one.
    if (digests_) digests_->finish();
  }
  bool consume(const void* buffer, uint64_t size) override {
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    uint64_t left = size;
    while (left > 0) {
      ssize_t n = ::write(fd_, p, static_cast<size_t>(left));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        full = n < 0 && (errno == ENOSPC || errno == EDQUOT);
        dlog() << kLogWriteFailed << ": " << size << " " << lastErrorText() << "\n";
        return false;
      }
      p += n;
      left -= static_cast<uint64_t>(n);
      written += static_cast<uint64_t>(n);
    }
    if (digests_) digests_->update(buffer, static_cast<size_t>(size));
    setValue(1, 0, size);
    return true;
  }
  // Closes now, so that a failing close (a full disk on NFS) is seen.
  bool close() {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
      full = full || errno == ENOSPC || errno == EDQUOT;
      dlog() << kLogCloseFailed << ": " << lastErrorText() << "\n";
      return false;
    }
    return true;
  }
  // The digests of what was written (none when not hashing).
  FileDigests::Pending endDigests() {
    FileDigests* digests = digests_;
    digests_ = nullptr;
    return digests ? digests->finish() : FileDigests::Pending();
  }
  uint64_t written = 0;
  bool full = false;  // a write failed because the destination is full

 private:
  int fd_;
  FileDigests* digests_;
};

// Passes check() on (stop requests) but no progress: what is written ahead
// is counted when the file is named.
class ChecksOnly : public InterfaceCallback {
 public:
  explicit ChecksOnly(InterfaceCallback* inner) : inner_(inner) {}
  void check() override {
    if (inner_) inner_->check();
  }

 private:
  InterfaceCallback* inner_;
};

// Renames without replacing anything: 0, EEXIST when `to` exists, or why it
// cannot be done here.  Where the file system has no atomic rename that
// refuses to replace, a hard link does the same; FAT has neither.
int renameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno == EEXIST) return EEXIST;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  unlink(from.c_str());
  return 0;
}

}  // namespace

FileRecoverer::~FileRecoverer() { dropWrittenAhead(); }

FileRecoverer::FileRecoverer(InterfaceCallback* progress, Questions* questions, FileCase* fileCase,
                             uint64_t totalBytes, const std::string& destinationFolder)
    : progress_(progress), questions_(questions), fileCase_(fileCase), total_(totalBytes),
      folder_(destinationFolder) {}

void FileRecoverer::setHashing(bool hashing) {
  hashing_ = hashing;
  if (hashing && !digests_) digests_.reset(new FileDigests);
}

std::string FileRecoverer::destinationPath(const FileModule::File& file) const {
  std::string name = std::to_string(file.offset) + "-" + std::to_string(file.size);
  if (file.attributes.getBool("fragmented", false)) name += "f";
  if (isPartial(file)) name += "-partial";
  name += "." + file.attributes.getString("t");
  return joinPath(folder_, safeFileName(name));
}

std::string FileRecoverer::namedPath(const FileModule::File& file) const {
  if (!keepNames_) return std::string();
  std::string fn = file.attributes.getString("fn");
  // A cross-linked file's bytes belong to another file too: the name would
  // promise what the data may not be.
  if (fn.empty() || file.attributes.getBool("crosslinked", false)) return std::string();
  std::string path = joinPath(folder_, safeFileName(fn));
  return isPartial(file) ? withSuffix(path, "partial") : path;
}

std::string FileRecoverer::sourceTextOf(const FileModule::File& file) {
  return format(_("Type: %1, Offset: %2, Size: %3"), file.attributes.getString("t"), file.offset, file.size);
}

bool FileRecoverer::recover(const FileModule::File& file) {
  if (isPartial(file) && !keepPartial_) {
    lastPath_.clear();
    lastFailure_ = NotWhole;
    return false;
  }
  std::string named = namedPath(file);
  if (named.empty()) return recoverCandidates(file, sourceTextOf(file), {destinationPath(file)});
  return recoverCandidates(file, sourceTextOf(file),
                           {named, withSuffix(named, std::to_string(file.offset))});
}

bool FileRecoverer::recoverTo(const FileModule::File& file, const std::string& sourceText,
                              const std::string& destinationPath) {
  return recoverCandidates(file, sourceText, {destinationPath});
}

bool FileRecoverer::recover_ll(const FileModule::File& file, const char* sourceText,
                               const char* destinationPath) {
  return attempt(file, sourceText ? sourceText : "", {destinationPath ? destinationPath : ""});
}

bool FileRecoverer::recoverCandidates(const FileModule::File& file, const std::string& sourceText,
                                      const std::vector<std::string>& candidates) {
  if (attempt(file, sourceText, candidates)) return true;
  if (!yesToAll_ && questions_) {
    std::string text = format(_("Cannot recover file\nSource: %1\nDestination: %2\n\nDo you want to continue?"),
                              sourceText, lastPath_.empty() ? candidates.front() : lastPath_);
    int answer = questions_->ask(Questions::Question, text, false, _("Yes To _All"));
    if (answer & Questions::NotYes) throw InterruptedException();
    if (answer & Questions::Checked) yesToAll_ = true;
  }
  return false;
}

bool FileRecoverer::folderOnMedium(const std::string& path) {
  if (!medium_.known) return false;
  std::string folder = folderOf(path);
  if (folder == checkedFolder_) return checkedOnMedium_;
  std::string why;
  checkedOnMedium_ = destinationOnMedium(folder, medium_, &why);
  checkedFolder_ = folder;
  if (checkedOnMedium_) dlog() << kLogOnMedium << ": " << why << "\n";
  return checkedOnMedium_;
}

bool FileRecoverer::claimName(const std::vector<std::string>& candidates,
                              const std::function<int(const std::string&)>& claim, std::string* used) {
  for (int i = 1; i <= kMaxClashes; ++i) {
    std::string path = i <= static_cast<int>(candidates.size())
                           ? candidates[i - 1]
                           : withSuffix(candidates.back(), std::to_string(i - static_cast<int>(candidates.size())));
    int error = claim(path);
    if (error == 0) {
      *used = path;
      return true;
    }
    if (error != EEXIST) {
      used->assign(path);
      errno = error;
      return false;
    }
  }
  used->clear();
  errno = EEXIST;
  return false;
}

int FileRecoverer::openExclusive(const std::vector<std::string>& candidates, std::string* used) {
  int fd = -1;
  auto create = [&fd](const std::string& path) {
    fd = createExclusive(path);
    return fd >= 0 ? 0 : errno;
  };
  if (claimName(candidates, create, used)) return fd;
  if (used->empty())
    dlog() << kLogCannotCreate << ": " << candidates.back() << " no free name\n";
  else
    dlog() << kLogCannotCreate << ": " << *used << " " << lastErrorText() << "\n";
  return -1;
}

bool FileRecoverer::placeAhead(const Ahead& ahead, const std::vector<std::string>& candidates, std::string* used) {
  auto rename = [&ahead](const std::string& path) { return renameNoReplace(ahead.path, path); };
  if (claimName(candidates, rename, used)) return true;
  ::unlink(ahead.path.c_str());
  return false;
}

bool FileRecoverer::writeAhead(const FileModule::File& file, InterfaceCallback* checker) {
  std::string key = FileCase::keyOf(file);
  if (ahead_.count(key)) return true;
  if (aheadStopped_ || file.size == 0 || folderOnMedium(joinPath(folder_, "-"))) return false;
  std::string path = joinPath(folder_, ".mzk-ahead-" + std::to_string(getpid()) + "-" + std::to_string(++aheadCount_));
  int fd = createExclusive(path);
  if (fd < 0) return false;
  ChecksOnly checks(checker);
  FileReaderRecover writer(fd, hashing_ ? digests_.get() : nullptr);
  writer.setCallback(&checks);
  bool ok;
  try {
    ok = writer.readFile(*fileCase_, file);
  } catch (...) {
    writer.close();
    ::unlink(path.c_str());
    throw;
  }
  ok = writer.close() && ok;
  if (!ok) {
    if (writer.full) aheadStopped_ = true;
    ::unlink(path.c_str());
    return false;
  }
  Ahead& ahead = ahead_[key];
  ahead.path = path;
  ahead.written = writer.written;
  ahead.unreadable = writer.unreadable();
  struct stat st;
  if (stat(path.c_str(), &st) == 0) ahead.diskBytes = static_cast<uint64_t>(st.st_blocks) * 512;
  // Not waited for: the digest threads go on with it while the scan goes on.
  ahead.digests = writer.endDigests();
  return true;
}

void FileRecoverer::dropWrittenAhead() {
  for (const auto& entry : ahead_) ::unlink(entry.second.path.c_str());
  ahead_.clear();
}

uint64_t FileRecoverer::writtenAheadBytes() const {
  uint64_t bytes = 0;
  for (const auto& entry : ahead_) bytes += entry.second.diskBytes;
  return bytes;
}

bool FileRecoverer::attempt(const FileModule::File& file, const std::string& sourceText,
                            const std::vector<std::string>& candidates) {
  lastPath_.clear();
  lastFailure_ = NoFailure;
  lastUnreadable_ = 0;
  lastRanges_.clear();
  lastMd5_.clear();
  lastSha256_.clear();
  if (progress_) {
    progress_->setText(0, 0, sourceText);
    progress_->setText(1, 0, candidates.front());
    progress_->check();
  }
  if (folderOnMedium(candidates.front())) {
    lastFailure_ = OnMedium;
    return false;
  }
  auto written = ahead_.find(FileCase::keyOf(file));
  if (written != ahead_.end()) {
    Ahead ahead = std::move(written->second);
    ahead_.erase(written);
    if (placeAhead(ahead, candidates, &lastPath_)) {
      for (const auto& range : ahead.unreadable) lastUnreadable_ += range.second;
      lastRanges_ = ahead.unreadable;
      written_ += ahead.written;
      if (progress_) progress_->setValue(1, 0, ahead.written);
      if (lastUnreadable_) {
        totalUnreadable_ += lastUnreadable_;
        ++filesWithUnreadable_;
      }
      if (hashing_) ahead.digests.wait(lastMd5_, lastSha256_);
      return true;
    }
    lastPath_.clear();
  }
  std::string path;
  int fd = openExclusive(candidates, &path);
  if (fd < 0) {
    lastFailure_ = CannotCreate;
    return false;
  }
  lastPath_ = path;
  bool ok;
  uint64_t writtenHere = 0;
  bool noReader = false;
  FileDigests::Pending digests;
  {
    FileReaderRecover writer(fd, hashing_ ? digests_.get() : nullptr);
    writer.setCallback(progress_);
    try {
      ok = writer.readFile(*fileCase_, file);
    } catch (...) {
      written_ += writer.written;
      throw;
    }
    writtenHere = writer.written;
    noReader = writer.hadNoReader();
    lastUnreadable_ = writer.unreadableBytes();
    lastRanges_ = writer.unreadable();
    if (!writer.close() && ok) {
      ok = false;
      lastFailure_ = CannotWrite;
    }
    if (writer.full) lastFailure_ = NoSpace;
    if (ok) digests = writer.endDigests();
  }
  written_ += writtenHere;
  if (!ok) {
    dlog() << kLogFailed << ": " << path << "\n";
    if (lastFailure_ == NoFailure) lastFailure_ = noReader ? NoReader : CannotWrite;
    // Nothing incomplete is left looking recovered: the file was created by
    // us a moment ago, exclusively, and goes again.
    ::unlink(path.c_str());
    if (lastFailure_ == NoReader) lastPath_.clear();
    return false;
  }
  if (lastUnreadable_) {
    totalUnreadable_ += lastUnreadable_;
    ++filesWithUnreadable_;
  }
  if (hashing_) digests.wait(lastMd5_, lastSha256_);
  return true;
}

bool destinationOnMedium(const std::string& path, dev_t mediumDevice, ino_t mediumInode, std::string* why) {
  return destinationOnMedium(path, mediumIdentityOf(mediumDevice, mediumInode), why);
}
