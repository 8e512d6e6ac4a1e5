// The feed parser: attribute order, plain-text matching, the length number.
#include <gtest/gtest.h>

#include <string>

#include "update/FeedParser.h"

namespace {

struct FeedCase {
  const char* name;
  std::string feed;
  bool parses;
  UpdateInfo expected;
};

const std::string kItem =
    "<rss><channel><item><title>mzk 1.1</title>"
    "<enclosure version=\"mzk 1.1\" url=\"http://h/mzk_1.1.deb\" length=\"123456\" "
    "releaseNotesUrl=\"http://h/notes.html\" type=\"application/octet-stream\"/>"
    "</item></channel></rss>";

TEST(FeedParser, ReadsTheEnclosureAttributesInTheirOrder) {
  const UpdateInfo good{"mzk 1.1", "http://h/mzk_1.1.deb", 123456, "http://h/notes.html"};
  const FeedCase cases[] = {
      {"whole feed", kItem, true, good},
      {"no enclosure", "<item version=\"1\" url=\"u\" length=\"1\" releaseNotesUrl=\"n\"/>", false, {}},
      {"url before version", "<enclosure url=\"u\" version=\"v\" length=\"1\" releaseNotesUrl=\"n\"/>",
       false, {}},
      {"notes missing", "<enclosure version=\"v\" url=\"u\" length=\"1\"/>", false, {}},
      {"value never closed", "<enclosure version=\"v\" url=\"u\" length=\"1\" releaseNotesUrl=\"n",
       false, {}},
      // Attributes before the enclosure do not count; a longer name ending
      // in ours matches (plain text search); no entity decoding.
      {"text search", "<x version=\"old\"/><enclosure xversion=\"a&amp;b\" url=\"u\" length=\" 42z\" "
       "releaseNotesUrl=\"n\"/>", true, {"a&amp;b", "u", 42, "n"}},
      {"length no number", "<enclosure version=\"v\" url=\"u\" length=\"big\" releaseNotesUrl=\"n\"/>",
       true, {"v", "u", 0, "n"}},
      {"length negative", "<enclosure version=\"v\" url=\"u\" length=\"-5\" releaseNotesUrl=\"n\"/>",
       true, {"v", "u", -5, "n"}},
      {"length past 32 bits", "<enclosure version=\"v\" url=\"u\" length=\"4294967297\" "
       "releaseNotesUrl=\"n\"/>", true, {"v", "u", 0, "n"}},
  };
  for (const FeedCase& c : cases) {
    SCOPED_TRACE(c.name);
    UpdateInfo info{"untouched", "", 7, ""};
    ASSERT_EQ(c.parses, parseFeed(c.feed, info));
    const UpdateInfo& want = c.parses ? c.expected : UpdateInfo{"untouched", "", 7, ""};
    EXPECT_EQ(want.version, info.version);
    EXPECT_EQ(want.url, info.url);
    EXPECT_EQ(want.length, info.length);
    EXPECT_EQ(want.releaseNotesUrl, info.releaseNotesUrl);
  }
}

}  // namespace
