// Writing found files to the destination folder.

#include "recover/FileRecoverer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

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

// Writes the pieces of one file to its output descriptor, which it owns.
class FileReaderRecover : public FileReader {
 public:
  FileReaderRecover(int fd, FileDigests* digests) : fd_(fd), digests_(digests) {}
  ~FileReaderRecover() override {
    if (fd_ >= 0) ::close(fd_);
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
  uint64_t written = 0;
  bool full = false;  // a write failed because the destination is full

 private:
  int fd_;
  FileDigests* digests_;
};

}  // namespace

FileRecoverer::FileRecoverer(InterfaceCallback* progress, Questions* questions, FileCase* fileCase,
                             uint64_t totalBytes, const std::string& destinationFolder)
    : progress_(progress), questions_(questions), fileCase_(fileCase), total_(totalBytes),
      folder_(destinationFolder) {}

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

int FileRecoverer::openExclusive(const std::vector<std::string>& candidates, std::string* used) {
  std::vector<std::string> tries = candidates;
  for (int i = 1; i <= kMaxClashes; ++i) {
    std::string path = i <= static_cast<int>(tries.size())
                           ? tries[i - 1]
                           : withSuffix(candidates.back(), std::to_string(i - static_cast<int>(tries.size())));
    int fd = createExclusive(path);
    if (fd >= 0) {
      *used = path;
      return fd;
    }
    if (errno != EEXIST) {
      dlog() << kLogCannotCreate << ": " << path << " " << lastErrorText() << "\n";
      return -1;
    }
  }
  dlog() << kLogCannotCreate << ": " << candidates.back() << " no free name\n";
  return -1;
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
  std::string path;
  int fd = openExclusive(candidates, &path);
  if (fd < 0) {
    lastFailure_ = CannotCreate;
    return false;
  }
  lastPath_ = path;
  FileDigests digests;
  bool ok;
  uint64_t writtenHere = 0;
  bool noReader = false;
  {
    FileReaderRecover writer(fd, hashing_ ? &digests : nullptr);
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
  if (hashing_) digests.finish(lastMd5_, lastSha256_);
  return true;
}

bool destinationOnMedium(const std::string& path, dev_t mediumDevice, ino_t mediumInode, std::string* why) {
  return destinationOnMedium(path, mediumIdentityOf(mediumDevice, mediumInode), why);
}
