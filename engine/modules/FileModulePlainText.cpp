// Plain text files: a run of text bytes.

#include "engine/modules/FileModulePlainText.h"

#include "media/ByteCursor.h"
#include "media/Reader.h"

namespace {

// Text one byte at a time: ASCII text bytes, and UTF-8 characters checked
// as they come (no overlong forms, no surrogates, nothing above U+10FFFF).
class TextBytes {
 public:
  enum Kind { kNotText, kAscii, kPartOfCharacter };

  Kind next(uint8_t b) {
    if (pending_) {
      if (b < low_ || b > high_) return kNotText;
      low_ = 0x80;
      high_ = 0xBF;
      --pending_;
      return kPartOfCharacter;
    }
    if (b < 0x80) return b == '\t' || b == '\n' || b == '\f' || b == '\r' || (b >= 32 && b < 127) ? kAscii : kNotText;
    if (b >= 0xC2 && b <= 0xDF) return lead(1, 0x80, 0xBF);
    if (b == 0xE0) return lead(2, 0xA0, 0xBF);
    if (b == 0xED) return lead(2, 0x80, 0x9F);
    if (b >= 0xE1 && b <= 0xEF) return lead(2, 0x80, 0xBF);
    if (b == 0xF0) return lead(3, 0x90, 0xBF);
    if (b >= 0xF1 && b <= 0xF3) return lead(3, 0x80, 0xBF);
    if (b == 0xF4) return lead(3, 0x80, 0x8F);
    return kNotText;
  }

 private:
  Kind lead(int continuation, uint8_t low, uint8_t high) {
    pending_ = continuation;
    low_ = low;
    high_ = high;
    return kPartOfCharacter;
  }
  int pending_ = 0;
  uint8_t low_ = 0x80, high_ = 0xBF;
};

bool isAlnum(uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

bool FileModulePlainText::scan(const uint8_t* sector, uint32_t length) {
  TextBytes text;
  bool word = false;
  for (uint32_t i = 0; i < length; ++i) {
    if (text.next(sector[i]) == TextBytes::kNotText) return false;
    word = word || isAlnum(sector[i]);
  }
  return word;
}

bool FileModulePlainText::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  TextBytes text;
  uint64_t end = 0;  // after the last ASCII text byte
  for (uint64_t at = 0; at < cursor.size();) {
    size_t available = 0;
    const uint8_t* bytes = cursor.span(at, available);
    if (!bytes) break;
    size_t i = 0;
    for (; i < available; ++i) {
      TextBytes::Kind kind = text.next(bytes[i]);
      if (kind == TextBytes::kNotText) break;
      if (kind == TextBytes::kAscii) end = at + i + 1;
    }
    if (i < available) break;
    at += available;
  }
  if (end == 0) return false;
  file.clear();
  file.attributes.set("t", "txt");
  file.size = end;
  return true;
}
