#include "update/HttpResponseHead.h"

#include <cctype>

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

std::string lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos)
    return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A decimal number of at most 18 digits (far beyond any installer), so the
// value cannot overflow.
bool number(const std::string& text, int64_t& value) {
  if (text.empty() || text.size() > 18)
    return false;
  value = 0;
  for (char c : text) {
    if (!digit(c))
      return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

}  // namespace

bool parseHttpResponseHead(const std::string& head, HttpResponseHead& out) {
  size_t lineEnd = head.find("\r\n");
  const std::string status = head.substr(0, lineEnd);
  if (status.size() < 12 || status.compare(0, 5, "HTTP/") != 0 || !digit(status[5]) ||
      status[6] != '.' || !digit(status[7]) || status[8] != ' ' || !digit(status[9]) ||
      !digit(status[10]) || !digit(status[11]) || (status.size() > 12 && status[12] != ' '))
    return false;
  HttpResponseHead result;
  result.status = (status[9] - '0') * 100 + (status[10] - '0') * 10 + (status[11] - '0');

  while (lineEnd != std::string::npos) {
    size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos
                                                                             : lineEnd - start);
    size_t colon = line.find(':');
    if (colon == std::string::npos || lower(line.substr(0, colon)) != "content-length")
      continue;
    int64_t length;
    if (!number(trimmed(line.substr(colon + 1)), length))
      return false;
    if (result.contentLength >= 0 && result.contentLength != length)
      return false;
    result.contentLength = length;
  }
  out = result;
  return true;
}
