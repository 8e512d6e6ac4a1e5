// Conversion of byte texts found on media to UTF-8, and error texts.

#include "shell/Charset.h"

#include <glib.h>

#include <cerrno>
#include <cstring>

CharsetNames& charsetNames() {
  static CharsetNames names;
  return names;
}

std::string convertToUtf8(const char* bytes, size_t length, const char* charset) {
  if (!bytes || length == 0 || !charset) return std::string();
  gsize bytesRead = 0;
  gsize bytesWritten = 0;
  gchar* out = g_convert(bytes, static_cast<gssize>(length), "UTF-8", charset, &bytesRead,
                         &bytesWritten, nullptr);
  if (!out) {
    // Keep what converted before the first invalid or incomplete sequence.
    if (bytesRead == 0) return std::string();
    gsize again = bytesRead;
    bytesRead = bytesWritten = 0;
    out = g_convert(bytes, static_cast<gssize>(again), "UTF-8", charset, &bytesRead,
                    &bytesWritten, nullptr);
    if (!out) return std::string();
  }
  std::string result(out, bytesWritten);
  g_free(out);
  return result;
}

std::string lastErrorText() {
  int code = errno;
  std::string text = g_strerror(code);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

std::string utf16ToUtf8(const uint16_t* units, size_t count) {
  std::string out;
  char buffer[6];
  for (size_t i = 0; i < count; ++i) {
    gunichar c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    out.append(buffer, g_unichar_to_utf8(c, buffer));
  }
  return out;
}

bool isValidUtf8(const char* bytes, size_t length) {
  return g_utf8_validate(bytes, static_cast<gssize>(length), nullptr);
}

size_t utf8PrefixLength(const char* bytes, size_t length, size_t limit) {
  if (length <= limit) return length;
  size_t cut = limit;
  // A continuation byte (10xxxxxx) at the cut means the cut splits a character.
  while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}
