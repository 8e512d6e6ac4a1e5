#include "engine/modules/PdfSyntax.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/modules/ExifDate.h"
#include "media/ByteCursor.h"
#include "shell/Charset.h"

namespace {

const size_t kMaxDictionaryBytes = 4096;
const size_t kEntryBytes = 20;       // one cross-reference table entry
const int kMaxTables = 32;           // "/Prev" hops
const int kMaxSubsections = 10000;   // in one table
const size_t kMaxTitleBytes = 1024;

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool isDelimiter(uint8_t c) { return isPdfSpace(c) || strchr("()<>[]{}/%", c); }

// Up to `length` bytes at `offset`, fewer at the limit.
std::string bytesAt(ByteCursor& cursor, uint64_t offset, uint64_t limit, size_t length) {
  if (offset >= limit) return std::string();
  std::string bytes(size_t(std::min<uint64_t>(length, limit - offset)), '\0');
  if (!cursor.read(offset, bytes.data(), bytes.size())) return std::string();
  return bytes;
}

// A cursor over text held in memory.
struct Text {
  const std::string& s;
  size_t at = 0;

  uint8_t peek() const { return at < s.size() ? uint8_t(s[at]) : 0; }
  bool more() const { return at < s.size(); }
  void skipSpace() {
    while (more()) {
      if (isPdfSpace(peek())) {
        ++at;
      } else if (peek() == '%' && s.compare(at, 5, "%PDF-") != 0) {
        // A comment runs to the line's end; "%PDF-" starts the next
        // document, not a comment.
        while (more() && peek() != '\n' && peek() != '\r') ++at;
      } else {
        break;
      }
    }
  }
  bool number(uint64_t& value) {
    skipSpace();
    size_t begin = at;
    value = 0;
    while (more() && isDigit(peek()) && at - begin < 18) value = value * 10 + (s[at++] - '0');
    return at > begin && !(more() && isDigit(peek()));
  }
  bool keyword(const char* word) {
    skipSpace();
    size_t n = strlen(word);
    if (s.compare(at, n, word) != 0 || (at + n < s.size() && !isDelimiter(uint8_t(s[at + n])))) return false;
    at += n;
    return true;
  }
  // "N G" followed by `word` ("obj" or "R").
  bool reference(const char* word, uint64_t& object) {
    uint64_t generation = 0;
    return number(object) && number(generation) && keyword(word);
  }
  // The value after the name `key` (e.g. "/Info"), which must be followed
  // by a delimiter; positions the text there.
  bool find(const char* key) {
    size_t n = strlen(key);
    for (size_t from = 0; (at = s.find(key, from)) != std::string::npos; from = at + 1) {
      if (at + n < s.size() && isDelimiter(uint8_t(s[at + n]))) {
        at += n;
        return true;
      }
    }
    at = s.size();
    return false;
  }
  // A literal "( )" or hexadecimal "< >" string, as bytes.
  bool string(std::string& out) {
    skipSpace();
    out.clear();
    if (peek() == '<') {
      ++at;
      int nibbles = 0, value = 0;
      while (more() && peek() != '>' && out.size() < kMaxTitleBytes) {
        int c = s[at++];
        int digit = isDigit(c) ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
        if (digit < 0) continue;
        value = value << 4 | digit;
        if (++nibbles % 2 == 0) out += char(value), value = 0;
      }
      if (nibbles % 2) out += char(value << 4);
      return true;
    }
    if (peek() != '(') return false;
    ++at;
    int depth = 1;
    while (more() && out.size() < kMaxTitleBytes) {
      char c = s[at++];
      if (c == '(') ++depth;
      if (c == ')' && --depth == 0) return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (!more()) break;
      c = s[at++];
      const char* escapes = "n\nr\rt\tb\bf\f";
      if (const char* e = strchr(escapes, c); e && c && (e - escapes) % 2 == 0) {
        out += e[1];
      } else if (c >= '0' && c <= '7') {
        int value = c - '0';
        for (int i = 0; i < 2 && more() && peek() >= '0' && peek() <= '7'; ++i) value = value * 8 + (s[at++] - '0');
        out += char(value);
      } else if (c == '\r') {
        if (peek() == '\n') ++at;  // a line continued
      } else if (c != '\n') {
        out += c;
      }
    }
    return true;
  }
};

// Text strings are UTF-16BE with a byte-order mark, UTF-8 with one, or in
// PDF's own single-byte encoding, which is Latin-1 for letters.
std::string textString(const std::string& bytes) {
  if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFE && uint8_t(bytes[1]) == 0xFF) {
    std::vector<uint16_t> units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) units.push_back(uint16_t(uint8_t(bytes[i]) << 8 | uint8_t(bytes[i + 1])));
    return utf16ToUtf8(units.data(), units.size());
  }
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return isValidUtf8(bytes.data() + 3, bytes.size() - 3) ? bytes.substr(3) : std::string();
  return convertToUtf8(bytes.data(), bytes.size(), "ISO8859-1");
}

// "D:YYYYMMDDHHmmSSOHH'mm'", every part after the year optional.
bool parseDate(const std::string& text, int64_t& seconds) {
  size_t at = text.compare(0, 2, "D:") == 0 ? 2 : 0;
  unsigned parts[6] = {0, 1, 1, 0, 0, 0};
  const unsigned widths[6] = {4, 2, 2, 2, 2, 2};
  for (int i = 0; i < 6; ++i) {
    if (at + widths[i] > text.size() || !isDigit(text[at])) {
      if (i == 0) return false;
      break;
    }
    unsigned value = 0;
    for (unsigned k = 0; k < widths[i]; ++k) {
      if (!isDigit(text[at + k])) return false;
      value = value * 10 + (text[at + k] - '0');
    }
    parts[i] = value;
    at += widths[i];
  }
  if (parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > 31 || parts[3] > 23 || parts[4] > 59 || parts[5] > 60)
    return false;
  seconds = secondsSince1970(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]);
  if (at < text.size() && (text[at] == '+' || text[at] == '-') && at + 3 <= text.size() && isDigit(text[at + 1]) &&
      isDigit(text[at + 2])) {
    int64_t offset = ((text[at + 1] - '0') * 10 + (text[at + 2] - '0')) * 3600;
    if (at + 6 <= text.size() && text[at + 3] == '\'' && isDigit(text[at + 4]) && isDigit(text[at + 5]))
      offset += ((text[at + 4] - '0') * 10 + (text[at + 5] - '0')) * 60;
    seconds += text[at] == '+' ? -offset : offset;
  }
  return true;
}

// One cross-reference table: where `object` is, if it lists it, and the
// trailer's "/Info" and "/Prev".
struct Table {
  bool listed = false;
  uint64_t offset = 0;  // of the object
  bool hasInfo = false;
  uint64_t info = 0;
  bool hasPrevious = false;
  uint64_t previous = 0;
};

bool readTable(ByteCursor& cursor, uint64_t at, uint64_t end, uint64_t object, Table& table) {
  std::string head = bytesAt(cursor, at, end, 64);
  Text text{head};
  if (!text.keyword("xref")) return false;
  uint64_t position = at + text.at;
  for (int i = 0; i < kMaxSubsections; ++i) {
    std::string line = bytesAt(cursor, position, end, 64);
    Text t{line};
    uint64_t first = 0, count = 0;
    if (t.keyword("trailer")) {
      std::string dictionary = bytesAt(cursor, position + t.at, end, kMaxDictionaryBytes);
      Text d{dictionary};
      table.hasInfo = d.find("/Info") && d.reference("R", table.info);
      table.hasPrevious = d.find("/Prev") && d.number(table.previous);
      return true;
    }
    if (!t.number(first) || !t.number(count)) return false;
    t.skipSpace();
    uint64_t entries = position + t.at;
    if (count > (end - std::min(end, entries)) / kEntryBytes) return false;
    if (object >= first && object - first < count) {
      std::string entry = bytesAt(cursor, entries + (object - first) * kEntryBytes, end, kEntryBytes);
      Text e{entry};
      uint64_t generation = 0;
      if (entry.size() == kEntryBytes && entry[17] == 'n' && e.number(table.offset) && e.number(generation))
        table.listed = true;
    }
    position = entries + count * kEntryBytes;
  }
  return false;
}

bool readInformation(ByteCursor& cursor, uint64_t at, uint64_t end, uint64_t object, PdfInformation& information) {
  std::string bytes = bytesAt(cursor, at, end, kMaxDictionaryBytes);
  Text text{bytes};
  uint64_t number = 0;
  if (!text.reference("obj", number) || number != object || !text.keyword("<<")) return false;
  std::string value;
  Text title{bytes}, date{bytes};
  if (title.find("/Title") && title.string(value)) information.title = textString(value);
  if (date.find("/CreationDate") && date.string(value)) information.dated = parseDate(value, information.seconds);
  return true;
}

}  // namespace

bool isPdfSpace(uint8_t c) { return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' '; }

bool isCrossReferenceAt(ByteCursor& cursor, uint64_t offset, uint64_t limit) {
  std::string bytes = bytesAt(cursor, offset, limit, 64);
  Text text{bytes};
  uint64_t object = 0;
  if (text.keyword("xref")) return true;
  text.at = 0;
  return text.reference("obj", object);
}

bool continuesAt(ByteCursor& cursor, uint64_t offset, uint64_t limit) {
  std::string bytes = bytesAt(cursor, offset, limit, 512);
  Text text{bytes};
  for (const char* word : {"xref", "trailer", "startxref"}) {
    text.at = 0;
    if (text.keyword(word)) return true;
  }
  text.at = 0;
  uint64_t object = 0;
  return text.reference("obj", object);
}

bool readPdfInformation(ByteCursor& cursor, uint64_t crossReference, uint64_t end, PdfInformation& information) {
  Table latest;
  if (!readTable(cursor, crossReference, end, 0, latest) || !latest.hasInfo) return false;
  uint64_t at = crossReference;
  for (int i = 0; i < kMaxTables; ++i) {
    Table table;
    if (!readTable(cursor, at, end, latest.info, table)) return false;
    if (table.listed) return table.offset < end && readInformation(cursor, table.offset, end, latest.info, information);
    if (!table.hasPrevious || table.previous >= end) return false;
    at = table.previous;
  }
  return false;
}
