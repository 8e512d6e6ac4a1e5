// The update client: fetches the release feed and the installer over plain
// HTTP/1.0.
//
// Every wait (name lookup, connect, send, each receive) is bounded by
// `Limits::timeoutMs` and calls check() while it lasts, so the callback's
// cancel (InterruptedException) interrupts any of them; the exception
// leaves download() and getFeed() with the connection closed.  Failures
// are a false result plus a trail of debug-log lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/InterfaceCallback.h"
#include "update/UpdateInfo.h"

struct UpdateLimits {
  uint16_t port = 80;              // the only port the addresses reach
  int timeoutMs = 10000;           // bound of each single wait
  size_t feedBytes = 1024 * 1024;  // a longer feed is refused
};

class Update : public UsesInterfaceCallback {
 public:
  // Receiver of the body of a download.
  class Stream {
   public:
    // false stops the download, which then fails.
    virtual bool write(const char* data, size_t size) = 0;
    virtual ~Stream() {}
  };

  typedef UpdateLimits Limits;

  explicit Update(const Limits& limits = Limits()) : limits_(limits) {}

  // Readies the system's networking; true on this platform.
  bool init();

  // One GET of url; the body goes to out.  True only for a 2xx answer whose
  // body arrived whole: to the orderly end of the connection, and exactly
  // as long as its Content-Length says when it says.  A redirect is not
  // followed; any other status fails without a byte written to out.
  bool download(const std::string& url, Stream& out);

  // download() into memory (at most Limits::feedBytes), then parseFeed().
  bool getFeed(const std::string& url, UpdateInfo& out);

  // The exact request download() sends for url: the request line and the
  // Host header.  Empty when url cannot be split.
  static std::string requestFor(const std::string& url);

  const Limits& limits() const { return limits_; }

 private:
  class Receiver;
  Limits limits_;
};
