// ZIP proof: the record walk, the directory against the local headers, and
// every entry's data against its length and CRC-32.

#include "engine/modules/ZipValidator.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

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
const uint16_t kFlagEncrypted = 0x0001;
const uint16_t kFlagDescriptor = 0x0008;
const uint16_t kStored = 0, kDeflated = 8;
const uint32_t kWide = 0xFFFFFFFF;  // the real value is in a ZIP64 field
const size_t kOutBytes = 65536;

struct Local {
  uint64_t at = 0, data = 0, next = 0;
  uint16_t flags = 0, method = 0;
  uint32_t crc = 0, packed = 0;
  std::string name;
};

struct Central {
  uint64_t localAt = 0;
  uint16_t flags = 0, method = 0;
  uint32_t crc = 0, packed = 0, size = 0;
  std::string name;
};

bool recordAt(ByteCursor& c, uint64_t position, uint16_t& kind) {
  uint8_t head[4];
  if (!c.read(position, head, sizeof head) || head[0] != 'P' || head[1] != 'K') return false;
  kind = le16(head + 2);
  return true;
}

bool nameAt(ByteCursor& c, uint64_t position, uint16_t length, std::string& name) {
  name.assign(length, '\0');
  return !length || c.read(position, &name[0], length);
}

// The next local or central header from `from` on, for data whose length a
// descriptor after it gives.
bool findNextHeader(ByteCursor& c, uint64_t from, uint64_t& next) {
  uint64_t limit = std::min(c.size(), from + std::min(ZipValidator::kDescriptorSearch, UINT64_MAX - from));
  for (uint64_t at = from; at < limit;) {
    size_t available = 0;
    const uint8_t* bytes = c.span(at, available);
    if (!bytes) return false;
    size_t usable = static_cast<size_t>(std::min<uint64_t>(available, limit - at));
    const void* hit = memchr(bytes, 'P', usable);
    if (!hit) {
      at += usable;
      continue;
    }
    uint64_t candidate = at + (static_cast<const uint8_t*>(hit) - bytes);
    uint8_t head[4];
    if (!c.read(candidate, head, sizeof head)) return false;
    if (head[1] == 'K' && ((head[2] == 3 && head[3] == 4) || (head[2] == 1 && head[3] == 2))) {
      next = candidate;
      return true;
    }
    at = candidate + 1;
  }
  return false;
}

FormatProof brokenAt(uint64_t at, uint64_t sound) {
  FormatProof proof;
  proof.verdict = FormatProof::kBroken;
  proof.failedAt = at;
  proof.soundUntil = std::min(sound, at);
  return proof;
}

// The entry's data, stored or deflated, against its length and CRC; on a
// failure `failedAt` is where it showed.
bool dataChecksOut(ByteCursor& c, uint64_t data, const Central& e, uint64_t& inflated, uint64_t& failedAt) {
  failedAt = data + e.packed;
  uLong crc = crc32(0, Z_NULL, 0);
  uint64_t produced = 0;
  if (e.method == kStored) {
    for (uint64_t at = data; at < data + e.packed;) {
      size_t n = 0;
      const uint8_t* bytes = c.span(at, n);
      if (!bytes) return false;
      n = static_cast<size_t>(std::min<uint64_t>(n, data + e.packed - at));
      crc = crc32(crc, bytes, static_cast<uInt>(n));
      at += n;
    }
    produced = e.packed;
  } else {
    z_stream z = {};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    std::vector<uint8_t> out(kOutBytes);
    int status = Z_OK;
    uint64_t at = data;
    while (status != Z_STREAM_END) {
      size_t n = 0;
      const uint8_t* bytes = at < data + e.packed ? c.span(at, n) : nullptr;
      if (!bytes) break;
      n = static_cast<size_t>(std::min<uint64_t>(n, data + e.packed - at));
      z.next_in = const_cast<Bytef*>(bytes);
      z.avail_in = static_cast<uInt>(n);
      do {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        status = inflate(&z, Z_NO_FLUSH);
        size_t got = out.size() - z.avail_out;
        crc = crc32(crc, out.data(), static_cast<uInt>(got));
        produced += got;
        inflated += got;
      } while (status == Z_OK && z.avail_out == 0 && inflated <= ZipValidator::kMaxInflated);
      at += n - z.avail_in;
      if (status != Z_OK && status != Z_STREAM_END) break;
      if (status == Z_OK && z.avail_in) break;  // no progress: the data ends early
      if (inflated > ZipValidator::kMaxInflated) break;
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END) {
      if (status == Z_DATA_ERROR) failedAt = std::min(failedAt, at + 1);
      return false;
    }
    if (at != data + e.packed) return false;
  }
  return produced == e.size && crc == e.crc;
}

}  // namespace

constexpr uint32_t ZipValidator::kMaxEntries;
constexpr uint64_t ZipValidator::kMaxInflated;
constexpr uint64_t ZipValidator::kDescriptorSearch;

FormatProof ZipValidator::check(Reader& file, uint64_t, bool) {
  ByteCursor c(file);
  struct Reads {
    ByteCursor& c;
    uint64_t& total;
    ~Reads() { total += c.readsMade(); }
  } reads{c, reads_};

  uint64_t pos = 0;
  uint16_t kind = 0;
  if (!recordAt(c, pos, kind) || kind != kLocalHeader) return brokenAt(0, 0);

  // Local part: each header where the one before says.
  std::vector<Local> locals;
  while (kind == kLocalHeader) {
    if (locals.size() >= kMaxEntries) return FormatProof();
    uint8_t h[kLocalFixed];
    if (!c.read(pos, h, sizeof h)) return brokenAt(pos, pos);
    Local l;
    l.at = pos;
    l.flags = le16(h + 6);
    l.method = le16(h + 8);
    l.crc = le32(h + 14);
    l.packed = le32(h + 18);
    uint16_t nameLength = le16(h + 26), extraLength = le16(h + 28);
    if (!nameAt(c, pos + kLocalFixed, nameLength, l.name)) return brokenAt(pos, pos);
    l.data = pos + kLocalFixed + nameLength + extraLength;
    if (l.flags & kFlagDescriptor) {
      if (!findNextHeader(c, l.data, l.next)) return brokenAt(std::min(c.size(), l.data + kDescriptorSearch), l.data);
    } else {
      if (l.packed == kWide) return FormatProof();  // ZIP64 sizes: not judged here
      l.next = l.data + l.packed;
    }
    pos = l.next;
    locals.push_back(l);
    if (!recordAt(c, pos, kind)) return brokenAt(pos, l.data);
  }
  if (kind == kExtraData) {
    uint32_t length = 0;
    if (!c.le32(pos + 4, length)) return brokenAt(pos, pos);
    pos += 8 + uint64_t(length);
    if (!recordAt(c, pos, kind)) return brokenAt(pos, pos);
  }

  // Central part.
  const uint64_t centralStart = pos;
  std::vector<Central> centrals;
  while (kind == kCentralHeader) {
    if (centrals.size() >= kMaxEntries) return FormatProof();
    uint8_t h[kCentralFixed];
    if (!c.read(pos, h, sizeof h)) return brokenAt(pos, centralStart);
    Central e;
    e.flags = le16(h + 8);
    e.method = le16(h + 10);
    e.crc = le32(h + 16);
    e.packed = le32(h + 20);
    e.size = le32(h + 24);
    e.localAt = le32(h + 42);
    uint16_t nameLength = le16(h + 28);
    if (!nameAt(c, pos + kCentralFixed, nameLength, e.name)) return brokenAt(pos, centralStart);
    if (e.packed == kWide || e.size == kWide || e.localAt == kWide) return FormatProof();
    pos += kCentralFixed + nameLength + le16(h + 30) + uint64_t(le16(h + 32));
    centrals.push_back(e);
    if (!recordAt(c, pos, kind)) return brokenAt(pos, centralStart);
  }
  if (kind == kSignature) {
    uint16_t length = 0;
    if (!c.le16(pos + 4, length)) return brokenAt(pos, centralStart);
    pos += 6 + uint64_t(length);
    if (!recordAt(c, pos, kind)) return brokenAt(pos, centralStart);
  }
  if (kind == kZip64End || kind == kZip64Locator) return FormatProof();
  if (kind != kEnd) return brokenAt(pos, centralStart);
  uint8_t end[kEndFixed];
  if (!c.read(pos, end, sizeof end)) return brokenAt(pos, centralStart);
  uint64_t fileEnd = pos + kEndFixed + le16(end + 20);
  if (fileEnd > c.size()) return brokenAt(c.size(), centralStart);
  // The end record, the directory and the local headers must agree.
  if (le32(end + 16) != centralStart || le32(end + 12) != pos - centralStart || le16(end + 10) != centrals.size() ||
      centrals.size() != locals.size())
    return brokenAt(pos, centralStart);
  std::map<uint64_t, const Local*> byOffset;
  for (const Local& l : locals) byOffset[l.at] = &l;
  std::sort(centrals.begin(), centrals.end(), [](const Central& a, const Central& b) { return a.localAt < b.localAt; });
  uint64_t inflated = 0;
  for (const Central& e : centrals) {
    auto found = byOffset.find(e.localAt);
    if (found == byOffset.end()) return brokenAt(pos, centralStart);
    const Local& l = *found->second;
    if (l.name != e.name || l.method != e.method || l.data + e.packed > l.next ||
        (!(l.flags & kFlagDescriptor) && (l.packed != e.packed || l.crc != e.crc)))
      return brokenAt(l.next, l.at);
    if ((e.flags & kFlagEncrypted) || (e.method != kStored && e.method != kDeflated)) continue;
    uint64_t failedAt = 0;
    if (!dataChecksOut(c, l.data, e, inflated, failedAt)) {
      if (inflated > kMaxInflated) return FormatProof();
      return brokenAt(failedAt, l.at);
    }
  }
  FormatProof proof;
  proof.verdict = FormatProof::kProven;
  proof.end = fileEnd;
  return proof;
}
