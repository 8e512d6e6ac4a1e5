#include "tests/support/LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mzktest {

LocalHttpServer::LocalHttpServer() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      listen(listener_, 8) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
      pipe(stopPipe_) != 0)
    return;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread(&LocalHttpServer::serve, this);
}

LocalHttpServer::~LocalHttpServer() {
  if (stopPipe_[1] >= 0 && write(stopPipe_[1], "x", 1) != 1) {}
  if (thread_.joinable()) thread_.join();
  for (int fd : {listener_, stopPipe_[0], stopPipe_[1]})
    if (fd >= 0) close(fd);
}

void LocalHttpServer::on(const std::string& path, const Reply& reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  replies_[path] = reply;
}

std::vector<std::string> LocalHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::string LocalHttpServer::response(int status, const std::string& body, bool withLength,
                                      long announced, const std::string& headers) {
  std::string text = "HTTP/1.0 " + std::to_string(status) + " X\r\n" + headers;
  if (withLength)
    text += "Content-Length: " + std::to_string(announced >= 0 ? size_t(announced) : body.size()) + "\r\n";
  return text + "\r\n" + body;
}

bool LocalHttpServer::stopWithin(int ms) {
  pollfd stop = {stopPipe_[0], POLLIN, 0};
  return poll(&stop, 1, ms) > 0;
}

void LocalHttpServer::serve() {
  for (;;) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 || fds[1].revents) return;
    int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    handle(connection);
    close(connection);
  }
}

void LocalHttpServer::handle(int connection) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    pollfd fds[2] = {{connection, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (poll(fds, 2, 5000) <= 0 || fds[1].revents) return;
    ssize_t n = recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    head.append(buffer, size_t(n));
  }
  const size_t start = head.find(' ') + 1;
  const std::string path = head.substr(start, head.find(' ', start) - start);
  Reply reply;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head);
    auto found = replies_.find(path);
    reply = found != replies_.end() ? found->second : Reply{response(404, "Not Found")};
  }
  if (reply.silent) {
    // Until the client hangs up or the server stops.
    pollfd fds[2] = {{connection, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    while (poll(fds, 2, -1) > 0 && !fds[1].revents && recv(connection, buffer, sizeof buffer, 0) > 0) {}
    return;
  }
  const size_t step = reply.byteIntervalMs > 0 ? 1 : reply.bytes.size();
  for (size_t sent = 0; sent < reply.bytes.size(); sent += step) {
    if (send(connection, reply.bytes.data() + sent, step, MSG_NOSIGNAL) != ssize_t(step)) return;
    if (reply.byteIntervalMs > 0 && stopWithin(reply.byteIntervalMs)) return;
  }
}

}  // namespace mzktest
