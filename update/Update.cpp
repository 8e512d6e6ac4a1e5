#include "update/Update.h"

#include <vector>

#include <gio/gnetworking.h>

#include "shell/DebugLog.h"
#include "update/BoundedSocket.h"
#include "update/FeedParser.h"
#include "update/HttpResponseHead.h"
#include "update/HttpUrl.h"
#include "update/UpdateStreams.h"

namespace {

const size_t kBlock = 65536;
// A response whose header does not end within this many bytes is no answer
// of a web server.
const size_t kHeadLimit = 65536;

}  // namespace

// Reads one response from the socket and hands its body to the stream.
class Update::Receiver {
 public:
  Receiver(Update& update, BoundedSocket& socket, Update::Stream& out)
      : update_(update), socket_(socket), out_(out), block_(kBlock) {}

  bool run() {
    std::string head;
    size_t end;
    for (;;) {
      long n = socket_.receive(block_.data(), block_.size());
      if (n <= 0) {
        dlog() << "Update(146): the answer ended inside its header\n";
        return false;
      }
      update_.check();
      head.append(block_.data(), size_t(n));
      end = head.find("\r\n\r\n");
      if (end != std::string::npos)
        break;
      if (head.size() > kHeadLimit) {
        dlog() << "Update(156): header longer than " << kHeadLimit << " bytes\n";
        return false;
      }
    }
    if (!parseHttpResponseHead(head.substr(0, end), head_)) {
      dlog() << "Update(161): " << head.substr(0, head.find("\r\n")) << "\n";
      return false;
    }
    if (head_.status < 200 || head_.status > 299) {
      dlog() << "Update(165): status " << head_.status << "\n";
      return false;
    }
    if (!deliver(head.data() + end + 4, head.size() - end - 4)) {
      dlog() << "Update(152)\n";
      return false;
    }
    for (;;) {
      long n = socket_.receive(block_.data(), block_.size());
      if (n == 0)
        break;
      if (n < 0) {
        dlog() << "Update(177): the body was cut off after " << received_ << " bytes\n";
        return false;
      }
      update_.check();
      if (!deliver(block_.data(), size_t(n))) {
        dlog() << "Update(161)\n";
        return false;
      }
    }
    if (head_.contentLength >= 0 && received_ != uint64_t(head_.contentLength)) {
      dlog() << "Update(188): " << received_ << " of " << head_.contentLength << " bytes\n";
      return false;
    }
    return true;
  }

 private:
  bool deliver(const char* data, size_t size) {
    if (size == 0)
      return true;
    received_ += size;
    if (head_.contentLength >= 0 && received_ > uint64_t(head_.contentLength)) {
      dlog() << "Update(200): more than the " << head_.contentLength << " bytes announced\n";
      return false;
    }
    return out_.write(data, size);
  }

  Update& update_;
  BoundedSocket& socket_;
  Update::Stream& out_;
  std::vector<char> block_;
  HttpResponseHead head_;
  uint64_t received_ = 0;
};

bool Update::init() {
  g_networking_init();
  return true;
}

std::string Update::requestFor(const std::string& url) {
  HttpUrl target;
  if (!splitHttpUrl(url, target))
    return std::string();
  return "GET " + target.path + " HTTP/1.0\r\n" + "Host: " + target.host + "\r\n\r\n";
}

bool Update::download(const std::string& url, Stream& out) {
  HttpUrl target;
  if (!splitHttpUrl(url, target)) {
    dlog() << "Update(101): " << url << "\n";
    return false;
  }
  BoundedSocket socket([this]() { check(); }, limits_.timeoutMs);
  check();
  if (!socket.resolve(target.host)) {
    dlog() << "Update(118)\n";
    return false;
  }
  check();
  if (!socket.connect(limits_.port)) {
    dlog() << "Update(125)\n";
    return false;
  }
  check();
  if (!socket.send(requestFor(url))) {
    dlog() << "Update(138)\n";
    return false;
  }
  return Receiver(*this, socket, out).run();
}

bool Update::getFeed(const std::string& url, UpdateInfo& out) {
  StreamString feed(limits_.feedBytes);
  if (!download(url, feed)) {
    dlog() << "Update(218)\n";
    return false;
  }
  if (!parseFeed(feed.text(), out)) {
    dlog() << "Update(222)\n";
    return false;
  }
  return true;
}
