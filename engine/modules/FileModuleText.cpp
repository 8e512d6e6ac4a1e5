// HTML and XML documents: the walk to the root element's closing tag.

#include "engine/modules/FileModuleText.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "media/ByteCursor.h"
#include "media/Reader.h"

namespace {

const size_t kXmlDeclaration = 5;  // "<?xml"
const size_t kMinXml = 14;
const uint64_t kHtmlOpening = 6;
const int kTrailingBlanks = 2;

// Byte tests in ASCII terms, whatever the locale.
uint8_t lower(uint8_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }
bool isAlnum(uint8_t c) { return (c >= '0' && c <= '9') || (lower(c) >= 'a' && lower(c) <= 'z'); }

bool isTextByte(uint8_t b) { return b == '\t' || b == '\n' || b == '\r' || (b >= 32 && b != 127); }

bool startsWithNoCase(const uint8_t* bytes, size_t length, const char* prefix) {
  size_t n = strlen(prefix);
  if (length < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (lower(bytes[i]) != prefix[i]) return false;
  return true;
}

size_t leadingText(const uint8_t* bytes, size_t length) {
  size_t n = 0;
  while (n < length && isTextByte(bytes[n])) ++n;
  return n;
}

// Characters of element names, a few more than the letters, digits, ':',
// '-' and '+' (XML names also use '_' and '.').
bool isNameChar(uint8_t c) { return isAlnum(c) || c == ':' || c == '-' || c == '+' || c == '_' || c == '.'; }
bool endsName(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>' || c == '/'; }

// The root element of an XML document within its first `length` text
// bytes: the first tag after the declaration that is not a declaration,
// comment or processing instruction.  `end` is where its name ends.
bool rootElement(const uint8_t* text, size_t length, std::string& name, uint64_t& end) {
  for (size_t at = kXmlDeclaration; at < length; ++at) {
    const void* open = memchr(text + at, '<', length - at);
    if (!open) return false;
    at = static_cast<const uint8_t*>(open) - text;
    if (at + 1 >= length) return false;
    if (text[at + 1] == '!' || text[at + 1] == '?') continue;
    size_t i = at + 1;
    while (i < length && isNameChar(text[i])) ++i;
    if (i == at + 1 || i >= length || !endsName(text[i])) return false;
    name.assign(reinterpret_cast<const char*>(text + at + 1), i - at - 1);
    end = i;
    return true;
  }
  return false;
}

bool isBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where the closing tag ends: `opening` ("</" and the name, lower case),
// any letter case, then optional blanks (some generators break the line
// before the ">") and ">".  Searched from `from`; false when a byte that is
// not text comes first or the reader ends.
bool findClosingTag(ByteCursor& cursor, uint64_t from, const std::string& opening, uint64_t& end) {
  size_t matched = 0;  // bytes of `opening` matched; == size(): before ">"
  for (uint64_t at = from; at < cursor.size();) {
    size_t available = 0;
    const uint8_t* bytes = cursor.span(at, available);
    if (!bytes) return false;
    for (size_t i = 0; i < available; ++i) {
      uint8_t b = bytes[i];
      if (!isTextByte(b)) return false;
      if (matched == opening.size()) {
        if (b == '>') {
          end = at + i + 1;
          return true;
        }
        if (isBlank(b)) continue;
        matched = 0;
      }
      // "<" occurs only at the start of `opening`, so a mismatch restarts
      // the match at this byte.
      if (lower(b) == static_cast<uint8_t>(opening[matched]))
        ++matched;
      else
        matched = b == '<' ? 1 : 0;
    }
    at += available;
  }
  return false;
}

}  // namespace

bool FileModuleText::scan(const uint8_t* sector, uint32_t length) {
  for (const char* start : {"<html", "<body", "<?xml", "<title", "<!doctype html"})
    if (startsWithNoCase(sector, length, start)) return true;
  return false;
}

bool FileModuleText::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(kRootSearch, cursor.size())));
  if (head.empty() || !cursor.read(0, head.data(), head.size())) return false;
  size_t text = leadingText(head.data(), head.size());
  if (text == 0) return false;

  std::string name = "html";
  const char* type = "html";
  uint64_t from = kHtmlOpening;
  if (text >= kXmlDeclaration && startsWithNoCase(head.data(), text, "<?xml")) {
    if (text < kMinXml || !rootElement(head.data(), text, name, from)) return false;
    type = "xml";
  }
  // The closing tag, "</" + name + ">", is at most kMaxClosingTag long.
  if (name.size() + 3 > kMaxClosingTag) return false;
  std::string tag = "</" + name;
  for (char& c : tag) c = static_cast<char>(lower(static_cast<uint8_t>(c)));

  uint64_t end = 0;
  if (!findClosingTag(cursor, from, tag, end)) return false;
  for (int i = 0; i < kTrailingBlanks; ++i) {
    uint8_t b = 0;
    if (!cursor.u8(end, b) || (b != '\n' && b != '\r' && b != ' ')) break;
    ++end;
  }
  file.clear();
  file.attributes.set("t", type);
  file.size = end;
  return true;
}
