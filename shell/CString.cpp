// Backslash escapes of pattern texts.

#include "shell/CString.h"

#include <stdexcept>

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isOctal(char c) { return c >= '0' && c <= '7'; }

}  // namespace

std::string unescape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    char c = text[i++];
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (i >= n) throw std::runtime_error("CString(86)");
    char e = text[i];
    if (isOctal(e)) {
      unsigned value = 0;
      for (int digits = 0; digits < 3 && i < n && isOctal(text[i]); ++digits, ++i)
        value = value * 8 + static_cast<unsigned>(text[i] - '0');
      if (value > 255) throw std::runtime_error("CString(28)");
      out.push_back(static_cast<char>(value));
      continue;
    }
    ++i;
    switch (e) {
      case 'x': {
        if (i >= n || hexValue(text[i]) < 0) throw std::runtime_error("CString(42)");
        unsigned value = static_cast<unsigned>(hexValue(text[i++]));
        if (i < n && hexValue(text[i]) >= 0) value = value * 16 + static_cast<unsigned>(hexValue(text[i++]));
        // A third digit would be ambiguous: it has to be escaped itself.
        if (i < n && hexValue(text[i]) >= 0) throw std::runtime_error("CString(60)");
        out.push_back(static_cast<char>(value));
        break;
      }
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 'v': out.push_back('\v'); break;
      case 'b': out.push_back('\b'); break;
      case 'r': out.push_back('\r'); break;
      case 'f': out.push_back('\f'); break;
      case 'a': out.push_back('\a'); break;
      case '\\': out.push_back('\\'); break;
      default: throw std::runtime_error("CString(86)");
    }
  }
  return out;
}

std::string asciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}
