// ZIP archives: the record walk from the first local header to the end of
// the central directory.

#include "engine/modules/FileModuleZip.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

// Record kinds: the two bytes after "PK".
const uint16_t kLocalHeader = 0x0403;
const uint16_t kExtraData = 0x0806;
const uint16_t kCentralHeader = 0x0201;
const uint16_t kSignature = 0x0505;
const uint16_t kZip64End = 0x0606;
const uint16_t kZip64Locator = 0x0706;
const uint16_t kEnd = 0x0605;

const uint64_t kLocalFixed = 30;
const uint64_t kCentralFixed = 46;
const uint64_t kEndFixed = 22;
const uint16_t kFlagDescriptor = 0x0008;
const uint16_t kMethodStored = 0;

// Enough of an entry name to tell the office types apart.
const size_t kNamePrefix = 16;
const size_t kMimeTypeMax = 96;

// The "PK" record kind at `position`, or false.
bool recordAt(ByteCursor& cursor, uint64_t position, uint16_t& kind) {
  uint8_t head[4];
  if (!cursor.read(position, head, sizeof head)) return false;
  if (head[0] != 'P' || head[1] != 'K') return false;
  kind = le16(head + 2);
  return true;
}

// Checked position + a + b + c; false when it would wrap.
bool advance(uint64_t& position, uint64_t a, uint64_t b = 0, uint64_t c = 0) {
  for (uint64_t step : {a, b, c}) {
    if (step > UINT64_MAX - position) return false;
    position += step;
  }
  return true;
}

// Data written with a data descriptor: its length is unknown, so the next
// local or central header is searched from `from` on.  `next` is where it
// starts.
bool findNextHeader(ByteCursor& cursor, uint64_t from, uint64_t& next) {
  uint64_t limit = from + FileModuleZip::kDescriptorSearch;
  if (limit < from || limit > cursor.size()) limit = cursor.size();
  for (uint64_t at = from; at < limit;) {
    size_t available = 0;
    const uint8_t* bytes = cursor.span(at, available);
    if (!bytes) return false;
    size_t usable = static_cast<size_t>(std::min<uint64_t>(available, limit - at));
    const void* hit = memchr(bytes, 'P', usable);
    if (!hit) {
      at += usable;
      continue;
    }
    uint64_t candidate = at + (static_cast<const uint8_t*>(hit) - bytes);
    uint8_t head[4];
    // The reader ends before a whole header could follow: no header.
    if (!cursor.read(candidate, head, sizeof head)) return false;
    if (head[1] == 'K' && ((head[2] == 3 && head[3] == 4) || (head[2] == 1 && head[3] == 2))) {
      next = candidate;
      return true;
    }
    at = candidate + 1;
  }
  return false;
}

// What the entries say about the archive: office documents are ZIP files
// whose entries name the application.
struct OfficeHints {
  const char* type = nullptr;      // from the first entry "mimetype"
  const char* fromFolder = nullptr; // from word/, xl/, ppt/ entries
};

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, strlen(prefix), prefix) == 0;
}

void noteEntry(ByteCursor& cursor, uint64_t header, uint16_t nameLength, bool first, uint16_t method,
               uint32_t dataLength, OfficeHints& hints) {
  // Beyond what the walk needs: these change the type (and so the output
  // name) of office documents from "zip" to what users know them as.
  uint8_t prefix[kNamePrefix];
  size_t n = std::min<size_t>(nameLength, sizeof prefix);
  if (!cursor.read(header + kLocalFixed, prefix, n)) return;
  std::string name(reinterpret_cast<const char*>(prefix), n);
  if (!hints.fromFolder) {
    if (startsWith(name, "word/")) hints.fromFolder = "docx";
    else if (startsWith(name, "xl/")) hints.fromFolder = "xlsx";
    else if (startsWith(name, "ppt/")) hints.fromFolder = "pptx";
  }
  if (!first || nameLength != 8 || name != "mimetype" || method != kMethodStored) return;
  if (dataLength == 0 || dataLength > kMimeTypeMax) return;
  char mime[kMimeTypeMax];
  if (!cursor.read(header + kLocalFixed + nameLength, mime, dataLength)) return;
  static const struct {
    const char* mime;
    const char* type;
  } kOpenDocument[] = {
      {"application/vnd.oasis.opendocument.text", "odt"},
      {"application/vnd.oasis.opendocument.spreadsheet", "ods"},
      {"application/vnd.oasis.opendocument.presentation", "odp"},
  };
  std::string text(mime, dataLength);
  for (const auto& known : kOpenDocument)
    if (text == known.mime) hints.type = known.type;
}

}  // namespace

bool FileModuleZip::scan(const uint8_t* sector, uint32_t length) {
  return length >= 4 && sector[0] == 'P' && sector[1] == 'K' && sector[2] == 3 && sector[3] == 4;
}

bool FileModuleZip::analyze(Reader& reader, File& file) {
  ByteCursor cursor(reader);
  uint64_t position = 0;
  uint16_t kind = 0;
  if (!recordAt(cursor, position, kind)) return false;

  // Local part: each file's header and data.
  OfficeHints hints;
  for (uint32_t entry = 0; kind == kLocalHeader; ++entry) {
    if (entry == kMaxEntries) return false;
    uint8_t header[kLocalFixed];
    if (!cursor.read(position, header, sizeof header)) return false;
    uint16_t flags = le16(header + 6);
    uint16_t method = le16(header + 8);
    uint32_t dataLength = le32(header + 18);
    uint16_t nameLength = le16(header + 26);
    uint16_t extraLength = le16(header + 28);
    uint64_t data = position;
    if (!advance(data, kLocalFixed, nameLength, extraLength)) return false;
    noteEntry(cursor, position, nameLength, entry == 0, method, dataLength, hints);
    uint64_t next = data;
    if (flags & kFlagDescriptor) {
      if (!findNextHeader(cursor, data, next)) return false;
    } else if (!advance(next, dataLength)) {
      return false;
    }
    position = next;
    if (!recordAt(cursor, position, kind)) return false;
  }
  if (kind == kExtraData) {
    // The published format counts the 8 bytes of signature and length
    // field apart from the length; so does this walk.
    uint32_t length = 0;
    if (!cursor.le32(position + 4, length) || !advance(position, 8, length)) return false;
    if (!recordAt(cursor, position, kind)) return false;
  }

  // Central part.
  for (uint32_t entry = 0; kind == kCentralHeader; ++entry) {
    if (entry == kMaxEntries) return false;
    uint8_t header[kCentralFixed];
    if (!cursor.read(position, header, sizeof header)) return false;
    if (!advance(position, kCentralFixed, le16(header + 28), uint64_t(le16(header + 30)) + le16(header + 32)))
      return false;
    if (!recordAt(cursor, position, kind)) return false;
  }
  if (kind == kSignature) {
    uint16_t length = 0;
    if (!cursor.le16(position + 4, length) || !advance(position, 6, length)) return false;
    if (!recordAt(cursor, position, kind)) return false;
  }
  if (kind == kZip64End) {
    // The size field counts the record after its first 12 bytes (signature
    // and the field itself), as the published format says.
    uint64_t length = 0;
    if (!cursor.le64(position + 4, length) || !advance(position, 12, length)) return false;
    if (!recordAt(cursor, position, kind)) return false;
  }
  if (kind == kZip64Locator) {
    if (!advance(position, 20) || !recordAt(cursor, position, kind)) return false;
  }
  if (kind != kEnd) return false;
  uint16_t commentLength = 0;
  if (!cursor.le16(position + 20, commentLength)) return false;
  uint64_t end = position;
  if (!advance(end, kEndFixed, commentLength) || end > cursor.size()) return false;

  file.clear();
  file.attributes.set("t", hints.type ? hints.type : hints.fromFolder ? hints.fromFolder : "zip");
  file.size = end;
  return true;
}
