// Address splitting, installer file names and response heads.
#include <gtest/gtest.h>

#include <string>

#include "update/HttpResponseHead.h"
#include "update/HttpUrl.h"
#include "update/Update.h"

namespace {

TEST(HttpUrl, SplitsHostAndPath) {
  struct Case {
    const char* url;
    bool splits;
    const char* host;
    const char* path;
  } cases[] = {
      {"http://example.com/feed/rss.xml", true, "example.com", "/feed/rss.xml"},
      {"http://example.com", true, "example.com", "/"},
      {"example.com/a", true, "example.com", "/a"},  // no scheme: split all the same
      {"HTTP://example.com/a", true, "HTTP:", "//example.com/a"},  // the scheme is case-sensitive
      {"http:///a", false, "", ""},
      {"", false, "", ""},
      {"http://h/a b", false, "", ""},
      {"http://h/a\r\nX-Evil: 1", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    HttpUrl out{"keep", "keep"};
    ASSERT_EQ(c.splits, splitHttpUrl(c.url, out));
    EXPECT_EQ(c.splits ? c.host : "keep", out.host);
    EXPECT_EQ(c.splits ? c.path : "keep", out.path);
  }
  EXPECT_EQ("GET / HTTP/1.0\r\nHost: example.com\r\n\r\n", Update::requestFor("http://example.com"));
}

TEST(HttpUrl, InstallerNameIsAPlainFileName) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://h/dl/mzk_1.1_amd64.deb", "mzk_1.1_amd64.deb"},
      {"http://h/dl/", ""},
      {"http://h", ""},
      {"http://h/dl/..", ""},
      {"http://h/.", ""},
      {"http://h/a\\..\\b", ""},
      {"http://h/x y", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.second, plainFileNameOfUrl(c.first)) << c.first;
}

TEST(HttpResponseHead, ReadsStatusAndLength) {
  struct Case {
    const char* head;
    bool parses;
    int status;
    long length;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\nContent-Length: 12", true, 200, 12},
      {"HTTP/1.1 404", true, 404, -1},
      {"HTTP/1.1 302 Found\r\nLocation: http://x/\r\ncontent-length:  0 ", true, 302, 0},
      {"HTTP/1.0 200 OK\r\nContent-Length: 1\r\nContent-Length: 1", true, 200, 1},
      {"HTTP/1.0 200 OK\r\nContent-Length: 1\r\nContent-Length: 2", false, 0, 0},
      {"HTTP/1.0 200 OK\r\nContent-Length: -1", false, 0, 0},
      {"HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999", false, 0, 0},
      {"HTTP/1.0 2000 OK", false, 0, 0},
      {"ICY 200 OK", false, 0, 0},
      {"", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    HttpResponseHead head;
    ASSERT_EQ(c.parses, parseHttpResponseHead(c.head, head));
    if (c.parses) {
      EXPECT_EQ(c.status, head.status);
      EXPECT_EQ(c.length, head.contentLength);
    }
  }
}

}  // namespace
