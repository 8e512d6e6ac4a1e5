#include "engine/modules/FileModuleCrw.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

const uint64_t kHeapStart = 26;  // table and data offsets count from here
const uint16_t kRawData = 0x2005;
const uint16_t kJpegImage = 0x2007;
const uint16_t kThumbnail = 0x2008;
const uint32_t kEntryBytes = 10;

struct HeapEnd {
  uint64_t end = 0;
  bool preview = false;
  uint32_t previewOffset = 0;
  uint32_t previewLength = 0;
};

class HeapSearch {
 public:
  HeapSearch(Reader& reader, bool big) : reader_(reader), big_(big) {}

  // The first end of a root heap with raw data whose table pointer lies
  // between `from` - 3 and `to`.
  bool find(uint64_t from, uint64_t to, HeapEnd& out) {
    if (from < FileModuleCrw::kCarry || from >= to) return false;
    std::vector<uint8_t> buffer(FileModuleCrw::kCarry + FileModuleCrw::kPieceBytes);
    if (!reader_.read(from - FileModuleCrw::kCarry, buffer.data(), FileModuleCrw::kCarry)) return false;
    for (uint64_t piece = from; piece < to;) {
      uint32_t n =
          static_cast<uint32_t>(to - piece < FileModuleCrw::kPieceBytes ? to - piece : FileModuleCrw::kPieceBytes);
      if (!reader_.read(piece, buffer.data() + FileModuleCrw::kCarry, n)) return false;
      // buffer[i] is the byte at base + i.
      uint64_t base = piece - FileModuleCrw::kCarry;
      if (findIn(buffer.data(), base, piece - 3, piece - 3 + n, out)) return true;
      memmove(buffer.data(), buffer.data() + n, FileModuleCrw::kCarry);
      piece += n;
    }
    return false;
  }

 private:
  uint16_t u16(const uint8_t* p) const { return big_ ? be16(p) : le16(p); }
  uint32_t u32(const uint8_t* p) const { return big_ ? be32(p) : le32(p); }

  // Whether the 32-bit value at q is the table offset of a heap that ends
  // at q + 4 and holds raw data.
  bool candidate(const uint8_t* buffer, uint64_t base, uint64_t q, HeapEnd& out) const {
    uint64_t v = u32(buffer + (q - base));
    if (v + kMinDistance > q || q > v + kMaxDistance) return false;
    uint64_t table = v + kHeapStart;  // at least 22 bytes before q: inside the carry
    uint16_t count = u16(buffer + (table - base));
    if (table + 2 + uint64_t(kEntryBytes) * count != q) return false;
    HeapEnd found;
    bool raw = false;
    for (uint16_t i = 0; i < count; ++i) {
      const uint8_t* e = buffer + (table + 2 + kEntryBytes * i - base);
      uint16_t tag = u16(e);
      uint32_t length = u32(e + 2), offset = u32(e + 6);
      if (uint64_t(offset) + length + kHeapStart > table) return false;
      if (tag == kRawData) raw = true;
      if (tag == kThumbnail || (tag == kJpegImage && !found.preview)) {
        found.preview = true;
        found.previewOffset = offset;
        found.previewLength = length;
      }
    }
    if (!raw) return false;
    found.end = q + 4;
    out = found;
    return true;
  }

  // The first candidate q in [first, end).  A table lies 48 to 108 bytes
  // before its pointer, so the pointer's upper 16 bits are those of q - 48
  // (or of q - 108 near a 64 KiB boundary): memchr finds the few places
  // that hold them, and zeros or noise pass at memory speed.
  bool findIn(const uint8_t* buffer, uint64_t base, uint64_t first, uint64_t end, HeapEnd& out) const {
    for (uint64_t q = first; q < end;) {
      uint64_t upper = (q - kMinDistance) >> 16;
      if (q < kMaxDistance || ((q - kMaxDistance) >> 16) != upper) {
        if (candidate(buffer, base, q, out)) return true;
        ++q;
        continue;
      }
      uint64_t stretchEnd = std::min(end, ((upper + 1) << 16) + kMinDistance);
      if (upper <= 0xFFFF) {
        // The two upper bytes of the pointer lie at q + 2 and q + 3 (little
        // endian) or q and q + 1 (big endian); search for the one that is
        // not zero.
        const uint8_t low = static_cast<uint8_t>(upper), high = static_cast<uint8_t>(upper >> 8);
        const bool byLow = low != 0;
        const uint64_t at = big_ ? (byLow ? 1 : 0) : (byLow ? 2 : 3);
        const uint64_t other = big_ ? (byLow ? 0 : 1) : (byLow ? 3 : 2);
        const uint8_t* from = buffer + (q - base) + at;
        const uint8_t* stop = buffer + (stretchEnd - base) + at;
        const uint8_t wanted = byLow ? low : high, otherWanted = byLow ? high : low;
        for (const uint8_t* hit = static_cast<const uint8_t*>(memchr(from, wanted, static_cast<size_t>(stop - from)));
             hit; hit = static_cast<const uint8_t*>(memchr(hit + 1, wanted, static_cast<size_t>(stop - hit - 1)))) {
          const uint8_t* p = hit - at;
          if (p[other] == otherWanted && candidate(buffer, base, base + static_cast<uint64_t>(p - buffer), out))
            return true;
          if (hit + 1 == stop) break;
        }
      }
      q = stretchEnd;
    }
    return false;
  }

  static constexpr uint64_t kMinDistance = 48, kMaxDistance = 108;

  Reader& reader_;
  bool big_;
};

}  // namespace

bool FileModuleCrw::scan(const uint8_t* sector, uint32_t length) {
  static const uint8_t kLittle[6] = {'I', 'I', 0x1A, 0, 0, 0};
  static const uint8_t kBig[6] = {'M', 'M', 0, 0, 0, 0x1A};
  return length >= 14 && (memcmp(sector, kLittle, 6) == 0 || memcmp(sector, kBig, 6) == 0) &&
         memcmp(sector + 6, "HEAPCCDR", 8) == 0;
}

bool FileModuleCrw::analyze(Reader& reader, File& file) {
  uint8_t order;
  if (!reader.read(0, &order, 1)) return false;
  HeapSearch search(reader, order != 'I');
  HeapEnd heap;
  if (!search.find(kSearchFrom, reader.size(), heap)) return false;
  // A heap end a little further on is the real one.
  HeapEnd later;
  uint64_t to = heap.end + kSecondLook < reader.size() ? heap.end + kSecondLook : reader.size();
  if (search.find(heap.end, to, later)) heap = later;

  file.clear();
  file.attributes.set("t", "crw");
  file.size = heap.end;
  file.attributes.setBool("raw", true);
  if (heap.preview) {
    file.attributes.setUint32("thumbnail_offset", static_cast<uint32_t>(heap.previewOffset + kHeapStart));
    file.attributes.setUint32("thumbnail_size", heap.previewLength);
    file.attributes.setUint32("thumbnail_compression", 6);
  }
  return true;
}
