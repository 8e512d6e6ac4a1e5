// The attribute store: record layout, replacement, typed reads, and the
// cutting of over-long keys and values.

#include "engine/Attributes.h"

#include <glib.h>
#include <gtest/gtest.h>

namespace {

std::string times(int n, const std::string& text) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

}  // namespace

TEST(Attributes, RecordsAreLengthPrefixedAndASetKeyMovesToTheEnd) {
  Attributes a;
  a.set("t", "jpeg");
  a.setBool("fragmented", true);
  EXPECT_EQ(std::string("\x01\x04tjpeg\x0A\x01" "fragmented\x01", 20), a.bytes());
  a.set("fn", "IMG.JPG");
  a.set("t", "tiff");
  a.remove("fragmented");
  EXPECT_EQ(std::string("\x02\x07" "fnIMG.JPG\x01\x04ttiff", 18), a.bytes());
  a.set("thumbnail_offset", "x");
  a.remove("t");
  EXPECT_FALSE(a.has("t")) << "keys are matched whole";
  EXPECT_EQ("none", a.getString("t", "none"));
  EXPECT_EQ("IMG.JPG", a.getString("fn"));
}

TEST(Attributes, TypedValuesAreLittleEndianAndNeedTheirWidth) {
  Attributes a;
  a.setUint32("thumbnail_offset", 0x12345678u);
  a.setInt32("fs", -2);
  EXPECT_EQ(0x12345678u, a.getUint32("thumbnail_offset", 0));
  EXPECT_EQ(std::string("\x78\x56\x34\x12", 4), a.getString("thumbnail_offset"));
  EXPECT_EQ(-2, a.getInt32("fs", 0));
  a.set("fs", "abc");
  EXPECT_EQ(-1, a.getInt32("fs", -1));
  a.set("fragmented", "no");
  EXPECT_TRUE(a.getBool("fragmented", true));
  a.setUint32("fragmented", 1);
  EXPECT_FALSE(a.getBool("fragmented", false));
  EXPECT_EQ(77u, a.getUint32("absent", 77u));
}

TEST(Attributes, LongKeysAndValuesAreCutAtCharactersAndFileNamesKeepTheirExtension) {
  const std::string ya = "\xD0\xAF", ef = "\xD1\x84";  // two bytes each
  const struct {
    std::string key, value, stored;
  } cases[] = {
      {"name", std::string(300, 'x'), std::string(255, 'x')},
      {"fn", std::string(255, 'z'), std::string(255, 'z')},
      {"name", times(128, ya), times(127, ya)},                        // 255 would split the last one
      {"fn", times(140, ef) + ".jpg", times(125, ef) + ".jpg"},       // 251 bytes left for the stem
      {"fn", "a" + times(140, ef) + ".jpg", "a" + times(125, ef) + ".jpg"},
      {"name", std::string(300, 'n') + ".txt", std::string(255, 'n')},  // only "fn" is a file name
  };
  for (const auto& c : cases) {
    Attributes a;
    a.set(c.key, c.value);
    EXPECT_EQ(c.stored, a.getString(c.key)) << c.key << " of " << c.value.size() << " bytes";
    EXPECT_TRUE(g_utf8_validate(a.getString(c.key).data(), -1, nullptr));
  }
  Attributes a;
  a.set(std::string(256, 'k'), "v");
  EXPECT_EQ("v", a.getString(std::string(255, 'k')));
}
