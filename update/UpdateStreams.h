// Receivers of a download: into memory, or into a new file.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "shell/InterfaceCallback.h"
#include "update/Update.h"

// Collects the body as text, up to a limit; a write past it fails.
class StreamString : public Update::Stream {
 public:
  explicit StreamString(size_t limit = std::numeric_limits<size_t>::max()) : limit_(limit) {}
  bool write(const char* data, size_t size) override;
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  size_t limit_;
};

// Writes the body to a file that it creates itself.  Each block written is
// reported as setValue(1, 0, bytes) followed by check(), so a progress box
// shows it and its cancel stops the download.
class StreamFile : public Update::Stream, public UsesInterfaceCallback {
 public:
  StreamFile() {}
  ~StreamFile() override;
  StreamFile(const StreamFile&) = delete;
  StreamFile& operator=(const StreamFile&) = delete;

  // Closes a file still open, then creates path for writing, mode 0644.
  // The file must not exist yet (a link in its place counts as existing):
  // nothing is ever written over an existing file.  Logged on failure.
  bool open(const std::string& path);
  void close();
  bool isOpen() const { return fd_ >= 0; }

  // Writes that would take the file beyond limit bytes fail.
  void setLimit(uint64_t limit) { limit_ = limit; }
  bool write(const char* data, size_t size) override;
  uint64_t written() const { return written_; }

 private:
  int fd_ = -1;
  uint64_t limit_ = std::numeric_limits<uint64_t>::max();
  uint64_t written_ = 0;
};
