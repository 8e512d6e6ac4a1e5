// The update client against a real server on 127.0.0.1: what it sends, what
// counts as a whole answer, and that no wait outlasts its bound or a cancel.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/LocalHttpServer.h"
#include "tests/support/TempDir.h"
#include "update/Update.h"
#include "update/UpdateStreams.h"

using mzktest::LocalHttpServer;

namespace {

const int kBoundMs = 500;

Update::Limits testLimits(uint16_t port) {
  Update::Limits limits;
  limits.port = port;
  limits.timeoutMs = kBoundMs;
  limits.feedBytes = 4096;
  return limits;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Throws the cancel at the given call of check().
struct CancelAt : InterfaceCallback {
  explicit CancelAt(int n) : left(n) {}
  void check() override {
    if (--left == 0) throw InterruptedException();
  }
  int left;
};

TEST(UpdateDownload, SendsTheExactRequest) {
  LocalHttpServer server;
  server.on("/feed.xml", {LocalHttpServer::response(200, "feed")});
  server.on("/", {LocalHttpServer::response(200, "root")});
  Update update(testLimits(server.port()));
  StreamString out;
  ASSERT_TRUE(update.download("http://127.0.0.1/feed.xml", out));
  EXPECT_EQ("feed", out.text());
  out = StreamString();
  ASSERT_TRUE(update.download("localhost", out));  // no scheme, no path; a name to look up
  ASSERT_EQ(2u, server.requests().size());
  EXPECT_EQ("GET /feed.xml HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n", server.requests()[0]);
  EXPECT_EQ("GET / HTTP/1.0\r\nHost: localhost\r\n\r\n", server.requests()[1]);
  EXPECT_EQ("root", out.text());
}

TEST(UpdateDownload, OnlyAWholeSuccessfulAnswerCounts) {
  const std::string body(100000, 'b');
  struct Case {
    const char* name;
    LocalHttpServer::Reply reply;
    bool succeeds;
    size_t bytesOut;
  } cases[] = {
      {"200 with length", {LocalHttpServer::response(200, body)}, true, body.size()},
      {"200 to the end", {LocalHttpServer::response(200, body, false)}, true, body.size()},
      {"204 empty", {LocalHttpServer::response(204, "", false)}, true, 0},
      {"404 page", {LocalHttpServer::response(404, "<html>missing</html>")}, false, 0},
      {"redirect", {LocalHttpServer::response(302, "", true, -1, "Location: http://127.0.0.1/x\r\n")},
       false, 0},
      {"body cut short", {LocalHttpServer::response(200, body, true, 200000)}, false, body.size()},
      {"body too long", {LocalHttpServer::response(200, body, true, 10)}, false, 0},
      {"header cut short", {"HTTP/1.0 200 OK\r\nContent-Le"}, false, 0},
      {"no status line", {"\r\n\r\nbody"}, false, 0},
      {"nothing", {""}, false, 0},
      {"byte every 20 ms", {LocalHttpServer::response(200, "slow but on time"), false, 20}, true, 16},
      {"byte a second", {LocalHttpServer::response(200, "late"), false, 1000}, false, 0},
      {"never answers", {"", true}, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LocalHttpServer server;
    server.on("/f", c.reply);
    Update update(testLimits(server.port()));
    StreamString out;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.succeeds, update.download(server.url("/f"), out));
    EXPECT_EQ(c.bytesOut, out.text().size());
    EXPECT_LT(secondsSince(start), 3.0);
  }
}

TEST(UpdateDownload, NoConnectionOutlastsItsBound) {
  // A listener whose queue is full: the system drops further connection
  // requests, so connect waits.  And a port where nobody listens.
  int listener = socket(AF_INET, SOCK_STREAM, 0), filler = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), size));
  ASSERT_EQ(0, listen(listener, 0));
  ASSERT_EQ(0, getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size));
  ASSERT_EQ(0, connect(filler, reinterpret_cast<sockaddr*>(&address), size));
  const uint16_t fullPort = ntohs(address.sin_port);
  uint16_t closedPort;
  {
    LocalHttpServer gone;
    closedPort = gone.port();
  }
  for (uint16_t port : {fullPort, closedPort}) {
    Update update(testLimits(port));
    StreamString out;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(update.download("http://127.0.0.1/f", out));
    EXPECT_LT(secondsSince(start), 2.0);
  }
  Update update(testLimits(closedPort));
  StreamString out;
  EXPECT_FALSE(update.download("http://no-such-host.invalid/f", out));
  close(filler);
  close(listener);
}

TEST(UpdateDownload, CancelEndsAWaitAtOnce) {
  LocalHttpServer server;
  server.on("/f", {"", true});
  Update update(Update::Limits{server.port(), 60000, 4096});
  CancelAt cancel(8);
  update.setCallback(&cancel);
  StreamString out;
  auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(update.download(server.url("/f"), out), InterruptedException);
  EXPECT_LT(secondsSince(start), 2.0);
}

TEST(UpdateDownload, FeedIsParsedAndBounded) {
  const std::string feed =
      "<enclosure version=\"mzk 2\" url=\"http://h/m.deb\" length=\"9\" releaseNotesUrl=\"n\"/>";
  LocalHttpServer server;
  server.on("/feed", {LocalHttpServer::response(200, feed)});
  server.on("/huge", {LocalHttpServer::response(200, feed + std::string(5000, ' '))});
  server.on("/gone", {LocalHttpServer::response(404, feed)});
  Update update(testLimits(server.port()));
  UpdateInfo info;
  ASSERT_TRUE(update.getFeed(server.url("/feed"), info));
  EXPECT_EQ("mzk 2", info.version);
  EXPECT_EQ(9, info.length);
  EXPECT_FALSE(update.getFeed(server.url("/huge"), info));
  EXPECT_FALSE(update.getFeed(server.url("/gone"), info));
}

TEST(StreamFile, CreatesOnlyNewFilesWithinItsLimit) {
  mzktest::TempDir dir;
  dir.write("old", "keep me");
  ASSERT_EQ(0, symlink(dir.file("old").c_str(), dir.file("link").c_str()));
  StreamFile file;
  EXPECT_FALSE(file.open(dir.file("old")));
  EXPECT_FALSE(file.open(dir.file("link")));
  EXPECT_FALSE(file.open(dir.file("no-folder/new")));

  ASSERT_TRUE(file.open(dir.file("new")));
  file.setLimit(6);
  EXPECT_TRUE(file.write("abcd", 4));
  EXPECT_FALSE(file.write("efg", 3));
  EXPECT_TRUE(file.write("ef", 2));
  file.close();
  std::ifstream in(dir.file("new"));
  EXPECT_EQ("abcdef", std::string(std::istreambuf_iterator<char>(in), {}));
  std::ifstream old(dir.file("old"));
  EXPECT_EQ("keep me", std::string(std::istreambuf_iterator<char>(old), {}));
  struct stat st;
  ASSERT_EQ(0, stat(dir.file("new").c_str(), &st));
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(0644u & ~mask, st.st_mode & 0777);
}

}  // namespace
