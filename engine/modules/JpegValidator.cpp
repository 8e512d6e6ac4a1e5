// JPEG proof: the marker segments and the Huffman-coded blocks of every scan.

#include "engine/modules/JpegValidator.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "media/ByteCursor.h"
#include "media/Reader.h"
#include "shell/Endian.h"

namespace {

const size_t kBlockBytes = 8192;  // cursor block: a failed guess costs little
const uint64_t kKeepInterval = 2048;
const size_t kMostKept = 64;

// Canonical Huffman table with a 9-bit lookup for the short codes.
struct Huffman {
  static constexpr int kFastBits = 9;
  bool defined = false;
  uint16_t fast[1 << kFastBits] = {};  // (length << 8) | symbol; 0: a longer code
  // For AC tables: (bits << 8) | symbol when a code and the coefficient
  // bits its symbol asks for fit in kFastBits together; 0: the long way.
  uint16_t fastAc[1 << kFastBits] = {};
  int32_t maxCode[18] = {};            // largest code of each length, -1 for none
  int32_t valueOffset[17] = {};
  uint8_t values[256] = {};

  bool build(const uint8_t counts[16], const uint8_t* symbols, int total) {
    memset(fast, 0, sizeof fast);
    memset(fastAc, 0, sizeof fastAc);
    memcpy(values, symbols, total);
    int32_t code = 0;
    int k = 0;
    for (int length = 1; length <= 16; ++length) {
      valueOffset[length] = k - code;
      for (int i = 0; i < counts[length - 1]; ++i, ++k, ++code) {
        if (code >= (1 << length)) return false;  // more codes than the length has room for
        if (length <= kFastBits) {
          int shift = kFastBits - length;
          for (int j = 0; j < (1 << shift); ++j) fast[(code << shift) | j] = uint16_t(length << 8 | values[k]);
          int bits = length + (values[k] & 15);
          if (bits <= kFastBits)
            for (int j = 0; j < (1 << shift); ++j) fastAc[(code << shift) | j] = uint16_t(bits << 8 | values[k]);
        }
      }
      maxCode[length] = counts[length - 1] ? code - 1 : -1;
      code <<= 1;
    }
    maxCode[17] = INT32_MAX;
    defined = true;
    return true;
  }
};

struct Tables {
  Huffman dc[4], ac[4];
  uint16_t dcQuant[4] = {};  // 0: no table
};

const int kNotCoded = -1;

struct Component {
  uint8_t id = 0, h = 1, v = 1, tq = 0;
  uint32_t blocksW = 0, blocksH = 0;  // of the component's own picture
  uint32_t allocW = 0, allocH = 0;    // of the whole MCUs that cover it
  int32_t pred = 0;
  uint8_t dcTable = 0, acTable = 0;
  int8_t level[64];  // successive-approximation bit last coded per coefficient
  std::vector<uint64_t> history;  // progressive: coefficients already nonzero, per block
};

}  // namespace

// Everything a decode needs to go on from where it is; copied to be kept.
struct JpegValidator::State {
  enum Phase { kMarkers, kScan };
  Phase phase = kMarkers;
  uint64_t at = 0;  // kMarkers: the next marker's position
  bool frame = false, progressive = false;
  uint32_t segments = 0, fill = 0;
  int precision = 8;
  uint32_t width = 0, height = 0, hMax = 1, vMax = 1, mcusX = 0, mcusY = 0;
  std::vector<Component> components;
  std::shared_ptr<Tables> tables = std::make_shared<Tables>();
  uint32_t restartInterval = 0;
  // The scan being decoded.
  uint8_t scanComponents[4] = {};
  int scanCount = 0, ss = 0, se = 63, ah = 0, al = 0;
  uint64_t unit = 0, units = 0;
  uint32_t untilRestart = 0, restarts = 0;
  uint32_t eobRun = 0;
  // The bit reader over the entropy-coded data.
  uint64_t pos = 0, buffer = 0;
  int bits = 0, padded = 0;
  bool marker = false;
  uint64_t markerPos = 0;
  uint64_t highWater = 0;  // every byte read lies before this
  uint64_t sound = 0;
};

namespace {

// One decode over one reader, on a state that it advances.
class Decoder {
 public:
  typedef JpegValidator::State State;

  Decoder(Reader& file, State& state) : cursor_(file, UINT64_MAX, kBlockBytes), s_(state) {}

  FormatProof run(const std::function<void(const State&)>& keep);
  uint64_t readsMade() const { return cursor_.readsMade(); }

 private:
  bool byteAt(uint64_t position, uint8_t& out) {
    if (position < spanBase_ || position - spanBase_ >= spanLength_) {
      size_t n = 0;
      span_ = cursor_.span(position, n);
      if (!span_) return false;
      spanBase_ = position;
      spanLength_ = n;
    }
    if (position + 1 > s_.highWater) s_.highWater = position + 1;
    out = span_[position - spanBase_];
    return true;
  }
  bool readAt(uint64_t position, uint8_t* out, size_t n) {
    spanLength_ = 0;  // the cursor may load another block: the span goes stale
    if (!cursor_.read(position, out, n)) return false;
    s_.highWater = std::max(s_.highWater, position + n);
    return true;
  }

  void fill();
  uint32_t bitsOf(int n);
  int symbol(const Huffman& table);
  bool overrun() const { return s_.bits < s_.padded; }
  uint64_t bytePosition() const {
    uint64_t unread = s_.bits > s_.padded ? uint64_t(s_.bits - s_.padded) / 8 : 0;
    return s_.pos > unread ? s_.pos - unread : 0;
  }
  void resetBits(uint64_t position) {
    s_.pos = position;
    s_.buffer = 0;
    s_.bits = s_.padded = 0;
    s_.marker = false;
  }

  FormatProof broken(uint64_t at) {
    FormatProof proof;
    proof.verdict = FormatProof::kBroken;
    proof.failedAt = at;
    proof.soundUntil = std::min(s_.sound, at);
    return proof;
  }
  FormatProof unknown() { return FormatProof(); }

  bool segment(uint8_t code, uint64_t start, uint64_t length, FormatProof& stop);
  bool frameHeader(uint8_t code, const uint8_t* p, uint64_t length, FormatProof& stop);
  bool huffmanTables(const uint8_t* p, uint64_t length);
  bool quantTables(const uint8_t* p, uint64_t length);
  bool scanHeader(const uint8_t* p, uint64_t length);
  bool complete() const;

  bool decodeUnit();
  bool block(Component& c, uint64_t index);
  bool dcValue(Component& c, int32_t diff);
  bool alignedAtMarker();

  ByteCursor cursor_;
  State& s_;
  const uint8_t* span_ = nullptr;
  uint64_t spanBase_ = 0;
  size_t spanLength_ = 0;
};

void Decoder::fill() {
  // The bytes the span holds are taken without a call each, up to a marker
  // or the span's last byte (which the long way below reads).
  if (!s_.marker && s_.bits <= 56 && s_.pos >= spanBase_ && s_.pos - spanBase_ < spanLength_) {
    const uint8_t* p = span_ + (s_.pos - spanBase_);
    const uint8_t* end = span_ + spanLength_;
    uint64_t buffer = s_.buffer;
    int bits = s_.bits;
    while (bits <= 56 && end - p >= 2) {
      uint8_t b = p[0];
      if (b == 0xFF) {
        if (p[1] != 0x00) break;
        p += 2;
      } else {
        ++p;
      }
      buffer |= uint64_t(b) << (56 - bits);
      bits += 8;
    }
    s_.pos = spanBase_ + uint64_t(p - span_);
    s_.highWater = std::max(s_.highWater, s_.pos);
    s_.buffer = buffer;
    s_.bits = bits;
  }
  while (s_.bits <= 56) {
    if (!s_.marker) {
      uint8_t b = 0, next = 0;
      if (!byteAt(s_.pos, b)) {
        s_.marker = true;  // the end of the data: nothing more to take
        s_.markerPos = s_.pos;
      } else if (b == 0xFF && (!byteAt(s_.pos + 1, next) || next != 0x00)) {
        s_.marker = true;
        s_.markerPos = s_.pos;
      } else {
        s_.pos += b == 0xFF ? 2 : 1;
        s_.buffer |= uint64_t(b) << (56 - s_.bits);
        s_.bits += 8;
        continue;
      }
    }
    // Past a marker the stream reads as zeros; taking any of them is an error.
    s_.bits += 8;
    s_.padded += 8;
  }
}

uint32_t Decoder::bitsOf(int n) {
  if (n == 0) return 0;
  if (s_.bits < n) fill();
  uint32_t value = uint32_t(s_.buffer >> (64 - n));
  s_.buffer <<= n;
  s_.bits -= n;
  return value;
}

int Decoder::symbol(const Huffman& table) {
  if (s_.bits < 16) fill();
  uint16_t entry = table.fast[s_.buffer >> (64 - Huffman::kFastBits)];
  if (entry) {
    int length = entry >> 8;
    s_.buffer <<= length;
    s_.bits -= length;
    return entry & 0xFF;
  }
  for (int length = Huffman::kFastBits + 1; length <= 16; ++length) {
    int32_t code = int32_t(s_.buffer >> (64 - length));
    if (code <= table.maxCode[length]) {
      s_.buffer <<= length;
      s_.bits -= length;
      return table.values[(table.valueOffset[length] + code) & 0xFF];
    }
  }
  return -1;  // no table holds this code
}

// Whether any byte of `word` is 0xFF.
inline bool hasByteFF(uint32_t word) {
  uint32_t inverted = ~word;
  return ((inverted - 0x01010101u) & ~inverted & 0x80808080u) != 0;
}

int32_t extend(uint32_t value, int size) {
  return value < (1u << (size - 1)) ? int32_t(value) - (1 << size) + 1 : int32_t(value);
}

// The decoded DC value of a block must be one a picture can have: a block's
// DC coefficient is eight times its mean sample, less the level shift.
bool Decoder::dcValue(Component& c, int32_t diff) {
  c.pred += diff;
  uint16_t q = s_.tables->dcQuant[c.tq];
  if (!q) return true;
  int64_t coefficient = (int64_t(c.pred) * (int64_t(1) << s_.al)) * q;
  int64_t limit = (int64_t(1024) << (s_.precision - 8)) + q + 8;
  return coefficient <= limit && coefficient >= -limit;
}

bool Decoder::block(Component& c, uint64_t index) {
  const Tables& t = *s_.tables;
  const int dcCategories = s_.precision == 8 ? 11 : 15;
  const int acCategories = s_.precision == 8 ? 10 : 14;
  if (!s_.progressive) {
    int size = symbol(t.dc[c.dcTable]);
    if (size < 0 || size > dcCategories) return false;
    if (!dcValue(c, size ? extend(bitsOf(size), size) : 0)) return false;
    const Huffman& ac = t.ac[c.acTable];
    // The bit buffer stays in registers while codes and their coefficient
    // bits are one lookup each; the long way works on the state.
    uint64_t buffer = s_.buffer;
    int bits = s_.bits;
    for (int k = 1; k < 64;) {
      if (bits < 32) {
        // Four bytes at once when none of them is 0xFF (a marker or a
        // stuffed byte), else the long way.
        uint64_t at = s_.pos - spanBase_;
        uint32_t word;
        if (!s_.marker && s_.pos >= spanBase_ && at + 4 <= spanLength_ &&
            (memcpy(&word, span_ + at, 4), !hasByteFF(word))) {
          buffer |= uint64_t(__builtin_bswap32(word)) << (32 - bits);
          bits += 32;
          s_.pos += 4;
          if (s_.pos > s_.highWater) s_.highWater = s_.pos;
        } else {
          s_.buffer = buffer;
          s_.bits = bits;
          fill();
          buffer = s_.buffer;
          bits = s_.bits;
        }
      }
      if (uint16_t entry = ac.fastAc[buffer >> (64 - Huffman::kFastBits)]) {
        int length = entry >> 8, run = (entry >> 4) & 15, size = entry & 15;
        buffer <<= length;
        bits -= length;
        if (size == 0) {
          if (run != 15) break;
          k += 16;
          if (k <= 63) continue;
        } else {
          k += run + 1;
          if (k <= 64) continue;
        }
        // A zero run that leads to no coefficient, or one past the block.
        s_.buffer = buffer;
        s_.bits = bits;
        return false;
      }
      // The long way, on the state.
      s_.buffer = buffer;
      s_.bits = bits;
      int rs = symbol(ac);
      if (rs < 0) return false;
      int run = rs >> 4, size = rs & 15;
      if (size) {
        k += run;
        if (k > 63 || size > acCategories) return false;
        bitsOf(size);
      }
      buffer = s_.buffer;
      bits = s_.bits;
      if (size) {
        ++k;
      } else if (run != 15) {
        break;  // end of block
      } else {
        k += 16;
        if (k > 63) return false;  // a zero run must lead to a coefficient
      }
    }
    s_.buffer = buffer;
    s_.bits = bits;
    return !overrun();
  }

  if (s_.ss == 0) {  // DC scans
    if (s_.ah == 0) {
      int size = symbol(t.dc[c.dcTable]);
      if (size < 0 || size > dcCategories) return false;
      if (!dcValue(c, size ? extend(bitsOf(size), size) : 0)) return false;
    } else {
      bitsOf(1);
    }
    return !overrun();
  }

  uint64_t& nonzero = c.history[index];
  const Huffman& ac = t.ac[c.acTable];
  if (s_.ah == 0) {  // first AC scan of a band
    if (s_.eobRun > 0) {
      --s_.eobRun;
      return true;
    }
    for (int k = s_.ss; k <= s_.se; ++k) {
      int rs = symbol(ac);
      if (rs < 0) return false;
      int run = rs >> 4, size = rs & 15;
      if (size) {
        k += run;
        if (k > s_.se || size > acCategories) return false;
        bitsOf(size);
        nonzero |= uint64_t(1) << k;
      } else if (run == 15) {
        k += 15;
        if (k >= s_.se) return false;
      } else {
        s_.eobRun = (1u << run) - 1;
        if (run) s_.eobRun += bitsOf(run);
        break;
      }
    }
    return !overrun();
  }

  // Refinement of an AC band: a correction bit for every coefficient that is
  // already nonzero, and at most one new coefficient of magnitude 1 per code.
  int k = s_.ss;
  if (s_.eobRun == 0) {
    for (; k <= s_.se; ++k) {
      int rs = symbol(ac);
      if (rs < 0) return false;
      int run = rs >> 4, size = rs & 15;
      if (size) {
        if (size != 1) return false;
        bitsOf(1);
      } else if (run != 15) {
        s_.eobRun = 1u << run;
        if (run) s_.eobRun += bitsOf(run);
        break;
      }
      for (; k <= s_.se; ++k) {
        if (nonzero & (uint64_t(1) << k)) {
          bitsOf(1);
        } else if (--run < 0) {
          break;
        }
      }
      if (size) {
        if (k > s_.se) return false;
        nonzero |= uint64_t(1) << k;
      }
      if (overrun()) return false;
    }
  }
  if (s_.eobRun > 0) {
    for (; k <= s_.se; ++k)
      if (nonzero & (uint64_t(1) << k)) bitsOf(1);
    --s_.eobRun;
  }
  return !overrun();
}

bool Decoder::decodeUnit() {
  if (s_.scanCount == 1) {
    Component& c = s_.components[s_.scanComponents[0]];
    uint64_t row = s_.unit / c.blocksW, column = s_.unit % c.blocksW;
    return block(c, row * c.allocW + column);
  }
  uint64_t mcuRow = s_.unit / s_.mcusX, mcuColumn = s_.unit % s_.mcusX;
  for (int i = 0; i < s_.scanCount; ++i) {
    Component& c = s_.components[s_.scanComponents[i]];
    for (uint32_t v = 0; v < c.v; ++v)
      for (uint32_t h = 0; h < c.h; ++h)
        if (!block(c, (mcuRow * c.v + v) * c.allocW + mcuColumn * c.h + h)) return false;
  }
  return true;
}

// After the last block of an interval or a scan: only the 1-bits that pad
// the last byte may remain before the marker.
bool Decoder::alignedAtMarker() {
  fill();
  if (!s_.marker) return false;
  int left = s_.bits - s_.padded;
  if (left < 0 || left >= 8) return false;
  uint32_t padding = left ? uint32_t(s_.buffer >> (64 - left)) : 0;
  return padding == (1u << left) - 1;
}

bool Decoder::complete() const {
  if (!s_.frame) return false;
  for (const Component& c : s_.components)
    for (int k = 0; k < (s_.progressive ? 64 : 1); ++k)
      if (c.level[k] == kNotCoded) return false;
  return true;
}

bool Decoder::huffmanTables(const uint8_t* p, uint64_t length) {
  std::shared_ptr<Tables> tables = std::make_shared<Tables>(*s_.tables);
  uint64_t at = 0;
  while (at < length) {
    if (length - at < 17) return false;
    int tc = p[at] >> 4, th = p[at] & 15;
    if (tc > 1 || th > 3) return false;
    int total = 0;
    for (int i = 0; i < 16; ++i) total += p[at + 1 + i];
    if (total > 256 || uint64_t(total) > length - at - 17) return false;
    const uint8_t* symbols = p + at + 17;
    if (tc == 0)
      for (int i = 0; i < total; ++i)
        if (symbols[i] > 15) return false;
    Huffman& table = tc ? tables->ac[th] : tables->dc[th];
    if (!table.build(p + at + 1, symbols, total)) return false;
    at += 17 + uint64_t(total);
  }
  s_.tables = tables;
  return true;
}

bool Decoder::quantTables(const uint8_t* p, uint64_t length) {
  std::shared_ptr<Tables> tables = std::make_shared<Tables>(*s_.tables);
  uint64_t at = 0;
  while (at < length) {
    int pq = p[at] >> 4, tq = p[at] & 15;
    uint64_t bytes = 1 + 64 * uint64_t(pq + 1);
    if (pq > 1 || tq > 3 || length - at < bytes) return false;
    uint16_t dc = pq ? be16(p + at + 1) : p[at + 1];
    if (dc == 0) return false;
    tables->dcQuant[tq] = dc;
    at += bytes;
  }
  s_.tables = tables;
  return true;
}

bool Decoder::frameHeader(uint8_t code, const uint8_t* p, uint64_t length, FormatProof& stop) {
  if (s_.frame || length < 6) return false;
  s_.precision = p[0];
  s_.height = be16(p + 1);
  s_.width = be16(p + 3);
  int count = p[5];
  if (count < 1 || count > 4 || length != 6 + 3 * uint64_t(count)) return false;
  if (s_.precision != 8 && (s_.precision != 12 || code == 0xC0)) return false;
  if (s_.width == 0) return false;
  if (s_.height == 0) {  // the height comes later, in a DNL segment
    stop = unknown();
    return false;
  }
  s_.progressive = code == 0xC2;
  s_.components.assign(count, Component());
  s_.hMax = s_.vMax = 1;
  for (int i = 0; i < count; ++i) {
    Component& c = s_.components[i];
    c.id = p[6 + 3 * i];
    c.h = p[7 + 3 * i] >> 4;
    c.v = p[7 + 3 * i] & 15;
    c.tq = p[8 + 3 * i];
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.tq > 3) return false;
    for (int j = 0; j < i; ++j)
      if (s_.components[j].id == c.id) return false;
    s_.hMax = std::max<uint32_t>(s_.hMax, c.h);
    s_.vMax = std::max<uint32_t>(s_.vMax, c.v);
    memset(c.level, kNotCoded, sizeof c.level);
  }
  s_.mcusX = (s_.width + 8 * s_.hMax - 1) / (8 * s_.hMax);
  s_.mcusY = (s_.height + 8 * s_.vMax - 1) / (8 * s_.vMax);
  for (Component& c : s_.components) {
    uint32_t w = uint32_t((uint64_t(s_.width) * c.h + s_.hMax - 1) / s_.hMax);
    uint32_t h = uint32_t((uint64_t(s_.height) * c.v + s_.vMax - 1) / s_.vMax);
    c.blocksW = (w + 7) / 8;
    c.blocksH = (h + 7) / 8;
    c.allocW = s_.mcusX * c.h;
    c.allocH = s_.mcusY * c.v;
    if (s_.progressive) {
      uint64_t blocks = uint64_t(c.allocW) * c.allocH;
      if (blocks > JpegValidator::kMaxProgressiveBlocks) {
        stop = unknown();
        return false;
      }
      c.history.assign(blocks, 0);
    }
  }
  s_.frame = true;
  return true;
}

bool Decoder::scanHeader(const uint8_t* p, uint64_t length) {
  if (!s_.frame || length < 1) return false;
  int count = p[0];
  if (count < 1 || count > 4 || length != 4 + 2 * uint64_t(count)) return false;
  int blocksPerMcu = 0, previous = -1;
  for (int i = 0; i < count; ++i) {
    int found = -1;
    for (size_t j = 0; j < s_.components.size(); ++j)
      if (s_.components[j].id == p[1 + 2 * i]) found = int(j);
    if (found <= previous) return false;  // unknown, repeated or out of the frame's order
    previous = found;
    Component& c = s_.components[found];
    c.dcTable = p[2 + 2 * i] >> 4;
    c.acTable = p[2 + 2 * i] & 15;
    if (c.dcTable > 3 || c.acTable > 3) return false;
    s_.scanComponents[i] = uint8_t(found);
    blocksPerMcu += c.h * c.v;
  }
  const uint8_t* tail = p + 1 + 2 * count;
  s_.scanCount = count;
  s_.ss = tail[0];
  s_.se = tail[1];
  s_.ah = tail[2] >> 4;
  s_.al = tail[2] & 15;
  if (count > 1 && blocksPerMcu > 10) return false;
  const Tables& t = *s_.tables;
  if (!s_.progressive) {
    if (s_.ss != 0 || s_.se != 63 || s_.ah != 0 || s_.al != 0) return false;
  } else {
    if (s_.se < s_.ss || s_.se > 63 || (s_.ss == 0 && s_.se != 0) || (s_.ss > 0 && count != 1)) return false;
    if (s_.al > 13 || (s_.ah && s_.al != s_.ah - 1)) return false;
  }
  // Each coefficient is coded once first and then refined one bit at a
  // time; a scan that breaks that order belongs to another file.
  for (int i = 0; i < count; ++i) {
    Component& c = s_.components[s_.scanComponents[i]];
    if (s_.ss > 0 && c.level[0] == kNotCoded) return false;
    for (int k = s_.ss; k <= s_.se; ++k) {
      int expected = s_.ah == 0 ? kNotCoded : s_.ah;
      if (c.level[k] != expected) return false;
      c.level[k] = int8_t(s_.al);
    }
    bool dcFirst = s_.ss == 0 && s_.ah == 0;
    if (dcFirst && !t.dc[c.dcTable].defined) return false;
    if (s_.se > 0 && !t.ac[c.acTable].defined) return false;
    if (dcFirst) c.pred = 0;
  }
  if (count == 1) {
    const Component& c = s_.components[s_.scanComponents[0]];
    s_.units = uint64_t(c.blocksW) * c.blocksH;
  } else {
    s_.units = uint64_t(s_.mcusX) * s_.mcusY;
  }
  s_.unit = 0;
  s_.eobRun = 0;
  s_.restarts = 0;
  s_.untilRestart = s_.restartInterval;
  return true;
}

// A marker segment of `length` bytes (after the length field) at `start`.
bool Decoder::segment(uint8_t code, uint64_t start, uint64_t length, FormatProof& stop) {
  if ((code >= 0xE0 && code <= 0xEF) || code == 0xFE) return true;  // application data, comments
  if (code != 0xC0 && code != 0xC1 && code != 0xC2 && code != 0xC4 && code != 0xDB && code != 0xDD &&
      code != 0xDA) {
    // Other coding processes cannot be judged here; any other marker is not
    // a JPEG's.
    bool otherProcess = code >= 0xC3 && code <= 0xCF;
    if (otherProcess && !s_.frame) stop = unknown();
    return false;
  }
  if (length > 65535) return false;
  std::vector<uint8_t> bytes(length);
  if (!readAt(start, bytes.data(), bytes.size())) return false;
  const uint8_t* p = bytes.data();
  switch (code) {
    case 0xC4: return huffmanTables(p, length);
    case 0xDB: return quantTables(p, length);
    case 0xDD:
      if (length != 2) return false;
      s_.restartInterval = be16(p);
      return true;
    case 0xDA: return scanHeader(p, length);
    default: return frameHeader(code, p, length, stop);
  }
}

FormatProof Decoder::run(const std::function<void(const State&)>& keep) {
  uint64_t lastKept = 0;
  // A kept state costs a copy of the coefficient history of a progressive
  // file: keep them far enough apart that copying stays a small part of the
  // work.
  auto interval = [this] {
    uint64_t history = 0;
    for (const Component& c : s_.components) history += c.history.size() * sizeof(uint64_t);
    return std::max<uint64_t>(kKeepInterval, 2 * history);
  };
  if (s_.phase == State::kMarkers && s_.at == 0) {
    uint8_t soi[2];
    if (!readAt(0, soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) return broken(0);
    s_.at = 2;
  }
  for (;;) {
    if (s_.phase == State::kScan) {
      while (s_.unit < s_.units) {
        if (s_.restartInterval && s_.untilRestart == 0) {
          uint8_t rst[2];
          if (!alignedAtMarker()) return broken(bytePosition());
          uint64_t at = s_.markerPos;
          while (readAt(at, rst, 2) && rst[0] == 0xFF && rst[1] == 0xFF) ++at;
          if (!readAt(at, rst, 2) || rst[1] != 0xD0 + (s_.restarts & 7)) return broken(at);
          resetBits(at + 2);
          s_.sound = at + 2;
          for (Component& c : s_.components) c.pred = 0;
          s_.eobRun = 0;
          ++s_.restarts;
          s_.untilRestart = s_.restartInterval;
        }
        uint64_t position = bytePosition();
        if (keep && position >= lastKept + interval()) {
          keep(s_);
          lastKept = position;
        }
        if (!decodeUnit()) return broken(bytePosition());
        ++s_.unit;
        if (s_.restartInterval) --s_.untilRestart;
      }
      if (!alignedAtMarker()) return broken(bytePosition());
      s_.phase = State::kMarkers;
      s_.at = s_.markerPos;
      s_.sound = s_.at;
    }

    // The marker walk between scans.
    uint8_t head[4];
    if (!readAt(s_.at, head, 2) || head[0] != 0xFF) return broken(s_.at);
    if (head[1] == 0xFF) {  // fill byte
      if (++s_.fill > JpegValidator::kMaxFillBytes) return broken(s_.at);
      ++s_.at;
      continue;
    }
    if (++s_.segments > JpegValidator::kMaxSegments) return broken(s_.at);
    if (head[1] == 0xD9) {
      if (!complete()) return broken(s_.at);
      FormatProof proof;
      proof.verdict = FormatProof::kProven;
      proof.end = s_.at + 2;
      return proof;
    }
    if (!readAt(s_.at + 2, head + 2, 2)) return broken(s_.at);
    uint64_t length = be16(head + 2);
    if (length < 2) return broken(s_.at);
    FormatProof stop;
    stop.verdict = FormatProof::kBroken;
    uint64_t start = s_.at + 4;
    if (!segment(head[1], start, length - 2, stop)) {
      if (stop.verdict == FormatProof::kUnknown) return stop;
      return broken(s_.at);
    }
    uint64_t next = start + length - 2;
    if (head[1] == 0xDA) {
      s_.phase = State::kScan;
      resetBits(next);
      s_.sound = next;
      if (keep) {
        keep(s_);
        lastKept = next;
      }
    } else {
      s_.at = next;
    }
  }
}

}  // namespace

JpegValidator::JpegValidator() {}
JpegValidator::~JpegValidator() {}

FormatProof JpegValidator::check(Reader& file, uint64_t sameUntil, bool record) {
  // The latest state kept whose bytes all lie before sameUntil.
  State state;
  size_t usable = 0;
  while (usable < kept_.size() && kept_[usable]->highWater <= sameUntil) ++usable;
  if (usable) state = *kept_[usable - 1];
  if (record) kept_.resize(usable);

  std::function<void(const State&)> keep;
  if (record)
    keep = [this](const State& s) {
      if (!kept_.empty() && kept_.back()->highWater >= s.highWater) return;
      if (kept_.size() >= kMostKept) kept_.erase(kept_.begin());
      kept_.emplace_back(new State(s));
    };
  Decoder decoder(file, state);
  FormatProof proof = decoder.run(keep);
  reads_ += decoder.readsMade();
  return proof;
}
