// Address splitting and installer file names.
#include <gtest/gtest.h>

#include <string>

#include "update/HttpUrl.h"
#include "update/Update.h"

TEST(HttpUrl, SplitsHostAndPathAndNamesTheInstaller) {
  const struct {
    const char* url;
    const char* request;  // empty: refused
    const char* fileName;
  } cases[] = {
      {"http://example.com/dl/mzk_1.1.deb", "GET /dl/mzk_1.1.deb HTTP/1.0\r\nHost: example.com", "mzk_1.1.deb"},
      {"http://example.com", "GET / HTTP/1.0\r\nHost: example.com", ""},
      {"example.com/a", "GET /a HTTP/1.0\r\nHost: example.com", "a"},
      {"HTTP://h/a", "GET //h/a HTTP/1.0\r\nHost: HTTP:", "a"},  // the scheme is case-sensitive
      {"http://h/dl/", "GET /dl/ HTTP/1.0\r\nHost: h", ""},
      {"http://h/dl/..", "GET /dl/.. HTTP/1.0\r\nHost: h", ""},
      {"http://h/a\\..\\b", "GET /a\\..\\b HTTP/1.0\r\nHost: h", ""},
      {"http:///a", "", ""},
      {"http://h/a b", "", ""},
      {"http://h/a\r\nX-Evil: 1", "", ""},
  };
  for (const auto& c : cases) {
    const std::string request = *c.request ? c.request + std::string("\r\n\r\n") : "";
    EXPECT_EQ(request, Update::requestFor(c.url)) << c.url;
    EXPECT_EQ(c.fileName, plainFileNameOfUrl(c.url)) << c.url;
  }
}
