#include "engine/modules/FileModuleCrw.h"

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
  // before its pointer, so the pointer's most significant byte is that of
  // q - 48 (or of q - 108): memchr finds the few places worth a look.
  bool findIn(const uint8_t* buffer, uint64_t base, uint64_t first, uint64_t end, HeapEnd& out) const {
    const uint64_t top = big_ ? 0 : 3;  // where the most significant byte lies
    if (first >= kMaxDistance && ((first - kMaxDistance) >> 24) == ((end - 1 - kMinDistance) >> 24)) {
      const int msb = static_cast<int>((first - kMinDistance) >> 24);
      const uint8_t* from = buffer + (first - base) + top;
      const uint8_t* stop = buffer + (end - base) + top;
      for (const void* hit = memchr(from, msb, static_cast<size_t>(stop - from)); hit;) {
        const uint8_t* at = static_cast<const uint8_t*>(hit);
        if (candidate(buffer, base, base + static_cast<uint64_t>(at - buffer) - top, out)) return true;
        hit = memchr(at + 1, msb, static_cast<size_t>(stop - at - 1));
      }
      return false;
    }
    for (uint64_t q = first; q < end; ++q)
      if (candidate(buffer, base, q, out)) return true;
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
