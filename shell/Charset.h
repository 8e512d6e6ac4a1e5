// Character sets of texts found on media, and the text of system errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CharsetNames {
 public:
  const std::string& archiveNames() const { return archiveNames_; }
  const std::string& id3v1() const { return id3v1_; }
  const std::string& id3v2Latin() const { return id3v2Latin_; }
  void setArchiveNames(const std::string& v) { archiveNames_ = v; }
  void setId3v1(const std::string& v) { id3v1_ = v; }
  void setId3v2Latin(const std::string& v) { id3v2Latin_ = v; }

 private:
  std::string archiveNames_ = "CP850";
  std::string id3v1_ = "CP850";
  std::string id3v2Latin_ = "ISO8859-1";
};

CharsetNames& charsetNames();

// UTF-8 text of `length` bytes in `charset`; cut before the first invalid
// byte; empty for an unknown character set.
std::string convertToUtf8(const char* bytes, size_t length, const char* charset);

// UTF-8 text of UTF-16 code units (a surrogate pair becomes one character,
// an unpaired surrogate U+FFFD).
std::string utf16ToUtf8(const uint16_t* units, size_t count);

// True when `length` bytes are valid UTF-8.
bool isValidUtf8(const char* bytes, size_t length);
// The longest prefix of at most `limit` bytes that does not cut a UTF-8
// character in two.
size_t utf8PrefixLength(const char* bytes, size_t length, size_t limit);

// The text of errno, without trailing line ends.
std::string lastErrorText();
