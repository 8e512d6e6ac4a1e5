// The attribute store: record layout, replacement, typed reads, and the
// cutting of over-long keys and values.

#include "engine/Attributes.h"

#include <gtest/gtest.h>

#include "shell/DebugLog.h"

namespace {

bool validUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = s[i];
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

TEST(AttributesLayout, RecordsAreLengthPrefixedAndFollowEachOther) {
  Attributes a;
  a.set("t", "jpeg");
  a.setBool("fragmented", true);
  std::string expected = std::string("\x01\x04", 2) + "tjpeg" + std::string("\x0a\x01", 2) +
                         "fragmented" + std::string("\x01", 1);
  EXPECT_EQ(a.bytes(), expected);
}

TEST(AttributesLayout, SettingAKeyAgainMovesItToTheEndWithTheNewValue) {
  Attributes a;
  a.set("t", "jpeg");
  a.set("fn", "IMG.JPG");
  a.set("t", "tiff");
  EXPECT_EQ(a.getString("t"), "tiff");
  EXPECT_EQ(a.bytes(), std::string("\x02\x07", 2) + "fnIMG.JPG" + std::string("\x01\x04", 2) + "ttiff");
}

TEST(AttributesLayout, RemoveCutsTheRecordOut) {
  Attributes a;
  a.set("a", "1");
  a.set("b", "22");
  a.set("c", "333");
  a.remove("b");
  EXPECT_FALSE(a.has("b"));
  EXPECT_EQ(a.getString("a"), "1");
  EXPECT_EQ(a.getString("c"), "333");
  EXPECT_EQ(a.bytes().size(), 2u + 2 + 2 + 4);
}

TEST(AttributesLayout, KeysAreMatchedWholeNotByPrefix) {
  Attributes a;
  a.set("thumbnail_offset", "x");
  EXPECT_FALSE(a.has("t"));
  EXPECT_EQ(a.getString("t", "none"), "none");
}

TEST(AttributesTyped, ValuesAreLittleEndianAndRoundTrip) {
  Attributes a;
  a.setUint32("thumbnail_offset", 0x12345678u);
  a.setInt32("fs", -2);
  EXPECT_EQ(a.getUint32("thumbnail_offset", 0), 0x12345678u);
  EXPECT_EQ(a.getString("thumbnail_offset"), std::string("\x78\x56\x34\x12", 4));
  EXPECT_EQ(a.getInt32("fs", 0), -2);
}

TEST(AttributesTyped, WrongWidthGivesTheDefault) {
  Attributes a;
  a.set("fs", "abc");
  EXPECT_EQ(a.getInt32("fs", -1), -1);
  a.set("fragmented", "no");
  EXPECT_TRUE(a.getBool("fragmented", true));
  a.setUint32("fragmented", 1);
  EXPECT_FALSE(a.getBool("fragmented", false));
  EXPECT_EQ(a.getUint32("absent", 77u), 77u);
}

TEST(AttributesCut, LongValueIsCutTo255AndLogged) {
  DebugLogCapture log;
  Attributes a;
  a.set("name", std::string(300, 'x'));
  EXPECT_EQ(a.getString("name"), std::string(255, 'x'));
  EXPECT_NE(log.text().find("Attributes(55): 300"), std::string::npos);
}

TEST(AttributesCut, LongKeyIsCutTo255AndLogged) {
  DebugLogCapture log;
  Attributes a;
  a.set(std::string(256, 'k'), "v");
  EXPECT_TRUE(a.has(std::string(255, 'k')));
  EXPECT_NE(log.text().find("Attributes(51): 256"), std::string::npos);
}

TEST(AttributesCut, Utf8ValueIsCutAtACharacterBoundary) {
  Attributes a;
  // 'Я' is two bytes: 128 of them are 256 bytes, and a cut at 255 would
  // split the last one.
  std::string text;
  for (int i = 0; i < 128; ++i) text += "\xD0\xAF";
  a.set("name", text);
  std::string stored = a.getString("name");
  EXPECT_EQ(stored.size(), 254u);
  EXPECT_TRUE(validUtf8(stored));
}

TEST(AttributesCut, LongCyrillicFileNameKeepsItsExtension) {
  Attributes a;
  std::string stem;
  for (int i = 0; i < 140; ++i) stem += "\xD1\x84";  // 'ф', 280 bytes
  a.set("fn", stem + ".jpg");
  std::string stored = a.getString("fn");
  ASSERT_LE(stored.size(), 255u);
  EXPECT_TRUE(validUtf8(stored));
  ASSERT_GE(stored.size(), 4u);
  EXPECT_EQ(stored.substr(stored.size() - 4), ".jpg");
  // 251 bytes remain for the stem, which would split a character: 125
  // whole characters are kept.
  EXPECT_EQ(stored.size(), 250u + 4u);
  EXPECT_EQ(stored.substr(0, 250), stem.substr(0, 250));
}

TEST(AttributesCut, OddByteStemIsCutBeforeTheSplitCharacter) {
  Attributes a;
  std::string stem = "a";
  for (int i = 0; i < 140; ++i) stem += "\xD1\x84";
  a.set("fn", stem + ".jpg");
  std::string stored = a.getString("fn");
  EXPECT_TRUE(validUtf8(stored));
  EXPECT_EQ(stored.substr(stored.size() - 4), ".jpg");
  // 251 bytes for the stem: "a" and 125 characters make 251.
  EXPECT_EQ(stored.size(), 255u);
}

TEST(AttributesCut, OtherKeysAreNotTreatedAsFileNames) {
  Attributes a;
  a.set("name", std::string(300, 'n') + ".txt");
  EXPECT_EQ(a.getString("name"), std::string(255, 'n'));
}

TEST(AttributesCut, ShortValuesAreStoredWhole) {
  DebugLogCapture log;
  Attributes a;
  a.set("fn", std::string(255, 'z'));
  EXPECT_EQ(a.getString("fn").size(), 255u);
  EXPECT_EQ(log.text().find("Attributes("), std::string::npos);
}

}  // namespace
