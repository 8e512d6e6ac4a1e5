#include "update/FeedParser.h"

#include <cstdint>

#include "shell/DebugLog.h"

namespace {

// The value of `name="..."` searched for from `from`; `from` moves past the
// closing quote.
bool readAttribute(const std::string& text, size_t& from, const char* name, std::string& value) {
  const std::string opening = std::string(name) + "=\"";
  size_t start = text.find(opening, from);
  if (start == std::string::npos) {
    dlog() << "Update(24): " << name << "\n";
    return false;
  }
  start += opening.size();
  size_t end = text.find('"', start);
  if (end == std::string::npos) {
    dlog() << "Update(30): " << name << "\n";
    return false;
  }
  value = text.substr(start, end - start);
  from = end + 1;
  return true;
}

// Decimal in the "C" conventions (blanks, a sign, digits up to the first
// non-digit); 0 when there are no digits or the number does not fit.
int32_t decimal(const std::string& text) {
  size_t i = text.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string::npos)
    return 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-')
    negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT64_C(2147483648))
      return 0;
  }
  if (negative)
    value = -value;
  return value > INT32_MAX ? 0 : static_cast<int32_t>(value);
}

}  // namespace

bool parseFeed(const std::string& text, UpdateInfo& out) {
  size_t from = text.find("<enclosure");
  if (from == std::string::npos) {
    dlog() << "Update(232)\n";
    return false;
  }
  from += 10;
  UpdateInfo info;
  std::string length;
  if (!readAttribute(text, from, "version", info.version)) {
    dlog() << "Update(239)\n";
    return false;
  }
  if (!readAttribute(text, from, "url", info.url)) {
    dlog() << "Update(245)\n";
    return false;
  }
  if (!readAttribute(text, from, "length", length)) {
    dlog() << "Update(251)\n";
    return false;
  }
  if (!readAttribute(text, from, "releaseNotesUrl", info.releaseNotesUrl)) {
    dlog() << "Update(257)\n";
    return false;
  }
  info.length = decimal(length);
  out = info;
  return true;
}
