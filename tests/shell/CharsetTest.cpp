// Conversion of medium texts to UTF-8, and the text of system errors.

#include "shell/Charset.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(CharsetConvert, DosCodePagesAndLatin1) {
  EXPECT_EQ("\xC3\xBC", convertToUtf8("\x81", 1, "CP850"));
  EXPECT_EQ("M\xC3\xBCnchen", convertToUtf8("M\x81nchen", 7, "CP437"));
  EXPECT_EQ("caf\xC3\xA9", convertToUtf8("caf\xE9", 4, "ISO8859-1"));
  EXPECT_EQ("plain", convertToUtf8("plain", 5, charsetNames().id3v1().c_str()));
}

TEST(CharsetConvert, CutBeforeTheFirstInvalidByte) {
  EXPECT_EQ("ab", convertToUtf8("ab\xFF" "cd", 5, "UTF-8"));
  EXPECT_EQ("ab", convertToUtf8("ab\xC3", 3, "UTF-8"));
  EXPECT_EQ("", convertToUtf8("\xFF" "abc", 4, "UTF-8"));
}

TEST(CharsetConvert, EmptyResults) {
  EXPECT_EQ("", convertToUtf8("abc", 3, "NO-SUCH-CHARSET"));
  EXPECT_EQ("", convertToUtf8("abc", 0, "CP850"));
  EXPECT_EQ("", convertToUtf8(nullptr, 3, "CP850"));
}

TEST(CharsetConvert, LengthIsHonouredAndNulBytesPass) {
  EXPECT_EQ("ab", convertToUtf8("abcdef", 2, "CP850"));
  EXPECT_EQ(std::string("a\0b", 3), convertToUtf8("a\0b", 3, "CP850"));
}

TEST(CharsetNamesTable, DefaultsAndSetters) {
  CharsetNames names;
  EXPECT_EQ("CP850", names.archiveNames());
  EXPECT_EQ("CP850", names.id3v1());
  EXPECT_EQ("ISO8859-1", names.id3v2Latin());
  names.setId3v1("CP437");
  EXPECT_EQ("CP437", names.id3v1());
  EXPECT_EQ(&charsetNames(), &charsetNames());
}

TEST(CharsetErrors, LastErrorTextIsTheTextOfErrno) {
  errno = ENOENT;
  EXPECT_EQ("No such file or directory", lastErrorText());
  errno = EACCES;
  EXPECT_EQ("Permission denied", lastErrorText());
}
