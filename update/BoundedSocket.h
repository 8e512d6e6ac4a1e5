// One TCP connection whose every wait is bounded and can be interrupted.
//
// Name lookup, connect, send and each receive wait at most `timeoutMs`
// each; while waiting, `check` is called about every 50 ms, so a progress
// box stays responsive and its cancel (InterruptedException thrown from
// `check`) ends the wait at once.  No thread is created: the socket is
// non-blocking and polled, and the name lookup runs on GIO's own resolver
// workers while a private main context is iterated here.  What `check`
// throws leaves through the caller; the destructor closes the socket.
//
// Failures are a false (or -1) result plus a debug-log line.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <string>

class BoundedSocket {
 public:
  typedef std::function<void()> Check;

  BoundedSocket(Check check, int timeoutMs);
  ~BoundedSocket();
  BoundedSocket(const BoundedSocket&) = delete;
  BoundedSocket& operator=(const BoundedSocket&) = delete;

  // A literal IPv4 or IPv6 address is taken as it is; a name is looked up
  // and its first IPv4 address is used (the first address of any family
  // when it has none).
  bool resolve(const std::string& host);
  // Connects to the resolved address.
  bool connect(uint16_t port);
  // Sends all of bytes.
  bool send(const std::string& bytes);
  // Up to size bytes into buffer: the count (> 0), 0 at the orderly end of
  // the stream, -1 on an error or when nothing arrived in time.
  long receive(char* buffer, size_t size);

 private:
  // True when the socket is ready for condition, false when the bound
  // passed first.
  bool waitFor(GIOCondition condition);

  Check check_;
  int64_t timeoutUs_;
  GInetAddress* address_ = nullptr;
  GSocket* socket_ = nullptr;
};
