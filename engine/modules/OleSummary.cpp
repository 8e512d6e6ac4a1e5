// The summary information property set.

#include "engine/modules/OleSummary.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "shell/Charset.h"
#include "shell/Endian.h"

namespace {

// FMTID_SummaryInformation, F29F85E0-4FF9-1068-AB91-08002B27B3D9, as stored.
const uint8_t kSummaryId[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
const size_t kSectionCountAt = 24;
const size_t kSectionListAt = 28;
const size_t kSectionEntry = 20;
const uint32_t kMaxSections = 16;
const uint32_t kMaxProperties = 1024;

const uint32_t kCodePage = 1;
const uint32_t kTitle = 2;
const uint32_t kLastSaved = 13;
const uint32_t kApplication = 18;

const uint32_t kTypeI2 = 2;
const uint32_t kTypeString = 0x1E;      // 8-bit, in the code page
const uint32_t kTypeWideString = 0x1F;  // UTF-16, counted in characters
const uint32_t kTypeFiletime = 0x40;

const uint16_t kNoCodePage = 0xFFFF;
const uint16_t kCodePageUtf8 = 65001;

// A bounded view of the stream.
struct Bytes {
  const uint8_t* data;
  size_t size;
  bool has(size_t at, size_t n) const { return at <= size && n <= size - at; }
};

std::string eightBitText(const uint8_t* bytes, size_t n, int codePage) {
  const void* nul = memchr(bytes, 0, n);
  if (nul) n = static_cast<const uint8_t*>(nul) - bytes;
  const char* text = reinterpret_cast<const char*>(bytes);
  if (codePage >= 0 && codePage != kNoCodePage && codePage != kCodePageUtf8)
    return convertToUtf8(text, n, ("CP" + std::to_string(codePage)).c_str());
  if (isValidUtf8(text, n)) return std::string(text, n);
  return convertToUtf8(text, n, "CP1252");
}

// The text value of a property at `at` (its type field), or empty.
std::string textValue(const Bytes& s, size_t at, int codePage) {
  if (!s.has(at, 8)) return std::string();
  uint32_t type = le32(s.data + at);
  uint32_t count = le32(s.data + at + 4);
  if (type == kTypeString) {
    if (!s.has(at + 8, count)) return std::string();
    return eightBitText(s.data + at + 8, count, codePage);
  }
  if (type == kTypeWideString) {
    if (count > s.size / 2 || !s.has(at + 8, size_t(count) * 2)) return std::string();
    std::vector<uint16_t> units;
    for (uint32_t i = 0; i < count; ++i) {
      uint16_t u = le16(s.data + at + 8 + 2 * i);
      if (u == 0) break;
      units.push_back(u);
    }
    return utf16ToUtf8(units.data(), units.size());
  }
  return std::string();
}

void decodeSection(const Bytes& s, size_t section, OleSummary& summary) {
  if (!s.has(section, 8)) return;
  uint32_t count = std::min(le32(s.data + section + 4), kMaxProperties);
  struct Property {
    uint32_t id;
    size_t at;
  };
  std::vector<Property> properties;
  int codePage = -1;
  for (uint32_t i = 0; i < count; ++i) {
    size_t entry = section + 8 + 8 * size_t(i);
    if (!s.has(entry, 8)) break;
    size_t at = section + le32(s.data + entry + 4);
    if (at < section || !s.has(at, 4)) continue;
    uint32_t id = le32(s.data + entry);
    properties.push_back({id, at});
    if (id == kCodePage && le32(s.data + at) == kTypeI2 && s.has(at + 4, 2)) codePage = le16(s.data + at + 4);
  }
  // The code page first: the texts may come before it.
  for (const Property& p : properties) {
    uint32_t type = le32(s.data + p.at);
    if (p.id == kTitle) summary.title = textValue(s, p.at, codePage);
    if (p.id == kApplication) summary.application = textValue(s, p.at, codePage);
    if (p.id == kLastSaved && type == kTypeFiletime && s.has(p.at + 4, 8)) {
      uint64_t seconds = le64(s.data + p.at + 4) / 10000000;
      if (seconds >= kFiletimeTo1970) {
        summary.hasTime = true;
        summary.time = static_cast<int32_t>(static_cast<uint32_t>(seconds - kFiletimeTo1970));
      }
    }
  }
}

}  // namespace

bool decodeOleSummary(const uint8_t* stream, size_t size, OleSummary& summary) {
  Bytes s{stream, size};
  if (!s.has(kSectionCountAt, 4)) return false;
  uint32_t sections = std::min(le32(stream + kSectionCountAt), kMaxSections);
  for (uint32_t i = 0; i < sections; ++i) {
    size_t entry = kSectionListAt + kSectionEntry * i;
    if (!s.has(entry, kSectionEntry)) return false;
    if (memcmp(stream + entry, kSummaryId, sizeof kSummaryId) != 0) continue;
    decodeSection(s, le32(stream + entry + 16), summary);
    return true;
  }
  return false;
}
