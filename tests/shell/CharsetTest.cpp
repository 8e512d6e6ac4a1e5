// Conversion of medium texts to UTF-8, and the text of system errors.

#include "shell/Charset.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(Charset, ConvertsUpToTheFirstInvalidByte) {
  const struct {
    std::string text;
    const char* charset;
    std::string utf8;
  } cases[] = {
      {"\x81", "CP850", "\xC3\xBC"},
      {"M\x81nchen", "CP437", "M\xC3\xBCnchen"},
      {"caf\xE9", "ISO8859-1", "caf\xC3\xA9"},
      {std::string("a\0b", 3), "CP850", std::string("a\0b", 3)},
      {"ab\xFF" "cd", "UTF-8", "ab"},
      {"ab\xC3", "UTF-8", "ab"},
      {"\xFF" "abc", "UTF-8", ""},
      {"abc", "NO-SUCH-CHARSET", ""},
      {"", "CP850", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.utf8, convertToUtf8(c.text.data(), c.text.size(), c.charset)) << c.text;
  EXPECT_EQ("ab", convertToUtf8("abcdef", 2, "CP850"));
  EXPECT_EQ("", convertToUtf8(nullptr, 3, "CP850"));
}

TEST(Charset, NamesAndErrorTexts) {
  CharsetNames names;
  EXPECT_EQ("CP850", names.archiveNames());
  EXPECT_EQ("CP850", names.id3v1());
  EXPECT_EQ("ISO8859-1", names.id3v2Latin());
  names.setId3v1("CP437");
  EXPECT_EQ("CP437", names.id3v1());
  errno = ENOENT;
  EXPECT_EQ("No such file or directory", lastErrorText());
}
