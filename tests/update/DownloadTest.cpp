// The update client against a real server on 127.0.0.1: the exact request,
// what counts as a whole answer, and that no wait outlasts its bound (the
// cancel of a wait is tried through the update dialog's progress box).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <string>

#include "tests/support/LocalHttpServer.h"
#include "tests/support/TempDir.h"
#include "update/Update.h"
#include "update/UpdateStreams.h"

using mzktest::LocalHttpServer;

namespace {

// Downloads url from port into at most 4096 bytes, which must take less than
// two seconds whatever the server does.
bool fetch(uint16_t port, const std::string& url, std::string* body = nullptr) {
  Update update(Update::Limits{port, 500});
  StreamString out(4096);
  auto start = std::chrono::steady_clock::now();
  bool done = update.download(url, out);
  if (body) *body = out.text();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << url;
  return done;
}

TEST(UpdateDownload, OnlyAWholeSuccessfulAnswerInTimeCounts) {
  const std::string body(3000, 'b');
  const struct {
    const char* name;
    LocalHttpServer::Reply reply;
    bool succeeds;
  } cases[] = {
      {"200 with length", {LocalHttpServer::response(200, body)}, true},
      {"200 to the end", {LocalHttpServer::response(200, body, false)}, true},
      {"404 page", {LocalHttpServer::response(404, body)}, false},
      {"redirect", {"HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1/x\r\n\r\n"}, false},
      {"body cut short", {LocalHttpServer::response(200, body, true, 4000)}, false},
      {"beyond the stream's limit", {LocalHttpServer::response(200, body + body)}, false},
      {"header cut short", {"HTTP/1.0 200 OK\r\nContent-Le"}, false},
      {"byte every 20 ms", {LocalHttpServer::response(200, "slow but in time"), 20}, true},
      {"byte a second", {LocalHttpServer::response(200, "late"), 1000}, false},
      {"never answers", {"", -1}, false},
  };
  for (const auto& c : cases) {
    // Every other case names the server, to be looked up.
    const std::string host = (&c - cases) % 2 ? "localhost" : "127.0.0.1";
    LocalHttpServer server;
    server.on("/f", c.reply);
    std::string got;
    EXPECT_EQ(c.succeeds, fetch(server.port(), "http://" + host + "/f", &got)) << c.name;
    if (c.succeeds) { EXPECT_EQ(c.reply.bytes.substr(c.reply.bytes.find("\r\n\r\n") + 4), got); }
    EXPECT_EQ(std::vector<std::string>{"GET /f HTTP/1.0\r\nHost: " + host + "\r\n\r\n"},
              server.requests()) << c.name;
  }
  const uint16_t closed = LocalHttpServer().port();  // nobody listens there any more
  EXPECT_FALSE(fetch(closed, "http://127.0.0.1/f") || fetch(closed, "http://no-such-host.invalid/f"));
}

TEST(StreamFile, CreatesOnlyNewFilesWithinItsLimit) {
  mzktest::TempDir dir;
  dir.write("old", "keep me");
  ASSERT_EQ(0, symlink(dir.file("old").c_str(), dir.file("link").c_str()));
  StreamFile file;
  EXPECT_FALSE(file.open(dir.file("old")) || file.open(dir.file("link")));
  ASSERT_TRUE(file.open(dir.file("new")));
  file.setLimit(6);
  EXPECT_TRUE(file.write("abcd", 4) && !file.write("efg", 3) && file.write("ef", 2));
  file.close();
  struct stat made, old;
  ASSERT_EQ(0, lstat(dir.file("new").c_str(), &made) | lstat(dir.file("old").c_str(), &old));
  EXPECT_EQ(std::make_pair(off_t(6), off_t(7)), std::make_pair(made.st_size, old.st_size));
}

}  // namespace
