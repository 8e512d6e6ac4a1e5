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
