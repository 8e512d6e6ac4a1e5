// ID3 tags of MP3 files: the version 2 header test and the titles of
// version 2 and version 1 tags, as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Id3v2Header {
  uint8_t major = 0;          // 3 or 4
  uint64_t tagLength = 0;     // header, frames, padding and footer
  uint64_t headerLength = 0;  // where the first frame starts
};

// The number of header bytes the tests below may need.
constexpr size_t kId3v2HeaderPeek = 14;

// "ID3" followed by major version 3 or 4 (the first 4 of `n` bytes).
bool startsId3v2(const uint8_t* bytes, size_t n);

// The header test of a tag that starts at `bytes[0]`: revision not 0xFF, no
// undefined flag bit, a syncsafe size, and with the extended-header flag a
// syncsafe extended-header size of at least 6 in the next 4 bytes (so
// `n` must reach 14 for such a tag).  False leaves `out` unspecified.
bool parseId3v2Header(const uint8_t* bytes, size_t n, Id3v2Header& out);

// The text of the first "TIT2" frame among the frames in `body` (the bytes
// from the header's end), walking at most `n` bytes; empty when there is
// none or its text encoding is neither ISO-8859-1 (converted from the
// character set `charsetNames().id3v2Latin()` names) nor UTF-8.  The walk
// gives up at the first frame with a bad identifier, size or flags.
std::string id3v2Title(const uint8_t* body, size_t n, uint8_t major);

// The title of a version 1 tag from its 30 title bytes: cut at the first
// zero byte, trailing spaces removed, converted from the character set
// `charsetNames().id3v1()` names.
std::string id3v1Title(const uint8_t* title30);
