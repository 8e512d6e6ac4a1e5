// A small web server on 127.0.0.1 for the tests of the update client.  It
// serves one connection at a time from its own thread, records every
// request head, and answers each path as the test set it up: the whole
// reply at once, one byte per interval, or never (it then holds the
// connection open until the client gives up).  Unknown paths get a 404.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <map>

namespace mzktest {

class LocalHttpServer {
 public:
  struct Reply {
    std::string bytes;       // status line, headers and body as sent
    bool silent = false;     // read the request, answer nothing
    int byteIntervalMs = 0;  // > 0: send one byte per interval
  };

  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  uint16_t port() const { return port_; }
  std::string url(const std::string& path) const { return "http://127.0.0.1" + path; }
  void on(const std::string& path, const Reply& reply);
  std::vector<std::string> requests() const;

  // "HTTP/1.0 <status> X", a Content-Length header unless withLength is
  // false (or announcing `announced` bytes when that is >= 0), then body.
  static std::string response(int status, const std::string& body, bool withLength = true,
                              long announced = -1, const std::string& headers = std::string());

 private:
  void serve();
  void handle(int connection);
  // Waits up to ms for the stop request; true when it came.
  bool stopWithin(int ms);

  int listener_ = -1;
  int stopPipe_[2] = {-1, -1};
  uint16_t port_ = 0;
  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace mzktest
