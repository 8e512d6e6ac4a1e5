// The feed parser: attribute order, plain-text matching, the length number.
#include <gtest/gtest.h>

#include <string>

#include "update/FeedParser.h"

TEST(FeedParser, ReadsTheEnclosureAttributesInTheirOrder) {
  const std::string url = " url=\"http://h/m.deb\" length=\"", notes = "\" releaseNotesUrl=\"http://h/n\"/>";
  const struct {
    std::string feed;
    const char* version;  // null: refused
    int32_t length;
  } cases[] = {
      {"<item><title/><enclosure version=\"mzk 1.1\"" + url + "123456" + notes + "</item>", "mzk 1.1", 123456},
      // Only after "<enclosure"; a longer name ending in ours matches; no
      // entity decoding; the length is read as far as it is a number.
      {"<x version=\"0\"/><enclosure xversion=\"a&amp;b\"" + url + " 42z" + notes, "a&amp;b", 42},
      {"<enclosure version=\"v\"" + url + "big" + notes, "v", 0},
      {"<enclosure version=\"v\"" + url + "4294967297" + notes, "v", 0},
      {"<item version=\"v\"" + url + "1" + notes, nullptr, 0},
      {"<enclosure" + url + "1\" version=\"v" + notes, nullptr, 0},
      {"<enclosure version=\"v\"" + url + "1\"/>", nullptr, 0},
      {"<enclosure version=\"v\"" + url + "1\" releaseNotesUrl=\"n", nullptr, 0},
  };
  for (const auto& c : cases) {
    UpdateInfo info{"untouched", "", 7, ""};
    ASSERT_EQ(c.version != nullptr, parseFeed(c.feed, info)) << c.feed;
    const bool parsed = c.version != nullptr;
    EXPECT_EQ(parsed ? c.version : "untouched", info.version);
    EXPECT_EQ(parsed ? c.length : 7, info.length);
    EXPECT_EQ(parsed ? "http://h/m.deb|http://h/n" : "|", info.url + "|" + info.releaseNotesUrl);
  }
}
