// A web server on 127.0.0.1 for the update client's tests, on a thread of
// its own, one connection at a time.  Each path gets its reply at once, one
// byte per interval, or never (the connection is held until the client
// gives up); other paths get a 404.  Request heads are recorded.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mzktest {

// A socket listening on 127.0.0.1 at a free port; -1 on failure.
inline int listenOnLoopback(int backlog, uint16_t& port) {
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), size) != 0 || listen(fd, backlog) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0)
    return -1;
  port = ntohs(a.sin_port);
  return fd;
}

class LocalHttpServer {
 public:
  struct Reply {
    std::string bytes;       // status line, headers and body
    int byteIntervalMs = 0;  // > 0: one byte per interval; < 0: never answer
  };
  // Content-Length is the body's, or `announced` when >= 0; none when
  // withLength is false.
  static std::string response(int status, const std::string& body, bool withLength = true,
                              long announced = -1) {
    std::string length = std::to_string(announced >= 0 ? size_t(announced) : body.size());
    return "HTTP/1.0 " + std::to_string(status) + " X\r\n" +
           (withLength ? "Content-Length: " + length + "\r\n" : "") + "\r\n" + body;
  }

  LocalHttpServer() : listener_(listenOnLoopback(8, port_)) {
    if (listener_ >= 0 && pipe(stop_) == 0) thread_ = std::thread([this] { serve(); });
  }
  ~LocalHttpServer() {
    if (thread_.joinable() && write(stop_[1], "x", 1) == 1) thread_.join();
    for (int fd : {listener_, stop_[0], stop_[1]})
      if (fd >= 0) close(fd);
  }

  uint16_t port() const { return port_; }
  std::string url(const std::string& path) const { return "http://127.0.0.1" + path; }
  void on(const std::string& path, const Reply& reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[path] = reply;
  }
  std::vector<std::string> requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  // fd has something to read (fd -1: ms passed); false once the server stops.
  bool wait(int fd, int ms) {
    pollfd p[2] = {{stop_[0], POLLIN, 0}, {fd, POLLIN, 0}};
    return poll(p, fd < 0 ? 1 : 2, ms) >= (fd < 0 ? 0 : 1) && !p[0].revents;
  }
  void serve() {
    for (int connection; wait(listener_, -1);)
      if ((connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0) {
        handle(connection);
        close(connection);
      }
  }
  void handle(int connection) {
    std::string head;
    char buffer[4096];
    for (ssize_t n; head.find("\r\n\r\n") == std::string::npos; head.append(buffer, size_t(n)))
      if (!wait(connection, 5000) || (n = recv(connection, buffer, sizeof buffer, 0)) <= 0) return;
    const size_t start = head.find(' ') + 1;
    Reply reply{response(404, "Not Found")};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(head);
      auto found = replies_.find(head.substr(start, head.find(' ', start) - start));
      if (found != replies_.end()) reply = found->second;
    }
    while (reply.byteIntervalMs < 0 && wait(connection, -1) && recv(connection, buffer, 1, 0) > 0) {}
    const size_t step = reply.byteIntervalMs > 0 ? 1 : reply.bytes.size();
    for (size_t sent = 0; reply.byteIntervalMs >= 0 && sent < reply.bytes.size(); sent += step)
      if (send(connection, reply.bytes.data() + sent, step, MSG_NOSIGNAL) != ssize_t(step) ||
          (step == 1 && !wait(-1, reply.byteIntervalMs)))
        return;
  }

  uint16_t port_ = 0;
  int listener_;
  int stop_[2] = {-1, -1};
  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace mzktest
