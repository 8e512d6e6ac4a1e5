#include "engine/modules/FlacFrame.h"

#include <algorithm>

#include "engine/modules/StreamCrc.h"
#include "media/ByteCursor.h"

namespace {

const unsigned kBitsPerSampleCodes[8] = {0, 8, 12, 0, 16, 20, 24, 32};
const unsigned kMaxHeaderBytes = 16;
const unsigned kReservedBitDepth = 3;

// Bits from a run of bytes read through the cursor, most significant first.
class BitReader {
 public:
  BitReader(ByteCursor& cursor, uint64_t position, uint64_t limit) : cursor_(cursor), next_(position), limit_(limit) {}

  bool ok() const { return ok_; }
  // The byte after the last bit read, once aligned.
  uint64_t bytePosition() const { return next_ - held_ / 8; }

  uint64_t bits(unsigned count) {
    uint64_t value = 0;
    while (count > 0 && ok_) {
      if (held_ == 0 && !fill()) return 0;
      unsigned take = count < held_ ? count : held_;
      value = value << take | (buffer_ >> (held_ - take) & ((1ull << take) - 1));
      held_ -= take;
      count -= take;
    }
    return value;
  }
  int64_t signedBits(unsigned count) {
    uint64_t value = bits(count);
    if (count == 0) return 0;
    return value >> (count - 1) & 1 ? int64_t(value) - (int64_t(1) << count) : int64_t(value);
  }
  // Zero bits up to the next one bit (which is taken), at most `limit`.
  uint64_t unary(uint64_t limit) {
    uint64_t zeros = 0;
    while (ok_) {
      if (held_ == 0 && !fill()) return 0;
      uint64_t window = buffer_ & ((1ull << held_) - 1);
      if (window == 0) {
        zeros += held_;
        held_ = 0;
      } else {
        unsigned width = 63 - __builtin_clzll(window);  // position of the highest one bit
        zeros += held_ - 1 - width;
        held_ = width;
        return zeros;
      }
      if (zeros > limit) ok_ = false;
    }
    return 0;
  }
  void align() { held_ -= held_ % 8; }

 private:
  bool fill() {
    // Up to 7 bytes at a time, so that 56 bits plus what is held fit.
    size_t available = 0;
    const uint8_t* span = next_ < limit_ ? cursor_.span(next_, available) : nullptr;
    if (!span) return ok_ = false;
    uint64_t take = available < 7 ? available : 7;
    if (take > limit_ - next_) take = limit_ - next_;
    for (uint64_t i = 0; i < take; ++i) buffer_ = buffer_ << 8 | span[i];
    held_ += unsigned(take * 8);
    next_ += take;
    return true;
  }

  ByteCursor& cursor_;
  uint64_t next_, limit_;
  uint64_t buffer_ = 0;
  unsigned held_ = 0;
  bool ok_ = true;
};

bool readResidual(BitReader& in, uint32_t blockSize, unsigned order) {
  unsigned method = unsigned(in.bits(2));
  if (method > 1) return false;
  unsigned parameterBits = method == 0 ? 4 : 5;
  unsigned escape = (1u << parameterBits) - 1;
  unsigned partitionOrder = unsigned(in.bits(4));
  uint32_t partitions = 1u << partitionOrder;
  if (blockSize % partitions || (blockSize >> partitionOrder) <= order) return false;
  for (uint32_t p = 0; p < partitions && in.ok(); ++p) {
    uint32_t samples = (blockSize >> partitionOrder) - (p == 0 ? order : 0);
    unsigned parameter = unsigned(in.bits(parameterBits));
    if (parameter == escape) {
      // Samples stored plainly, each of the width given.
      unsigned width = unsigned(in.bits(5));
      for (uint32_t s = 0; s < samples && in.ok(); ++s) in.bits(width);
      continue;
    }
    // A residual never reaches 2^31, so its quotient stays below this.
    uint64_t maxQuotient = (1ull << 32) >> parameter;
    for (uint32_t s = 0; s < samples && in.ok(); ++s) {
      in.unary(maxQuotient);
      in.bits(parameter);
    }
  }
  return in.ok();
}

bool readSubframe(BitReader& in, uint32_t blockSize, unsigned bits) {
  if (in.bits(1) != 0) return false;
  unsigned type = unsigned(in.bits(6));
  if (in.bits(1)) {
    uint64_t wasted = in.unary(32) + 1;
    if (wasted >= bits) return false;
    bits -= unsigned(wasted);
  }
  if (type == 0) {
    in.bits(bits);
  } else if (type == 1) {
    for (uint32_t i = 0; i < blockSize && in.ok(); ++i) in.bits(bits);
  } else if (type >= 8 && type <= 12) {
    unsigned order = type - 8;
    for (unsigned i = 0; i < order; ++i) in.bits(bits);
    return readResidual(in, blockSize, order);
  } else if (type >= 32) {
    unsigned order = type - 31;
    for (unsigned i = 0; i < order; ++i) in.bits(bits);
    unsigned precision = unsigned(in.bits(4)) + 1;
    if (precision == 16 || in.signedBits(5) < 0) return false;
    for (unsigned i = 0; i < order; ++i) in.bits(precision);
    return readResidual(in, blockSize, order);
  } else {
    return false;
  }
  return in.ok();
}

}  // namespace

bool readFlacFrameHeader(ByteCursor& cursor, uint64_t position, FlacFrameHeader& header) {
  uint8_t b[kMaxHeaderBytes];
  if (!cursor.read(position, b, 5) || b[0] != 0xFF || (b[1] & 0xFE) != 0xF8) return false;
  header.variable = b[1] & 1;
  unsigned sizeCode = b[2] >> 4, rateCode = b[2] & 15;
  header.assignment = b[3] >> 4;
  unsigned depthCode = b[3] >> 1 & 7;
  if (sizeCode == 0 || rateCode == 15 || header.assignment > 10 || depthCode == kReservedBitDepth || (b[3] & 1))
    return false;
  header.channels = header.assignment >= 8 ? 2 : header.assignment + 1;
  header.bitsPerSample = kBitsPerSampleCodes[depthCode];
  // The coded number: UTF-8-like, one to seven bytes, as many as the
  // leading one bits of the first byte say.
  unsigned length = 1;
  if (b[4] & 0x80) {
    length = 0;
    while (length < 8 && (b[4] & (0x80 >> length))) ++length;
    if (length < 2 || length > 7) return false;
  }
  unsigned extra = (sizeCode == 6 ? 1 : sizeCode == 7 ? 2 : 0) + (rateCode == 12 ? 1 : rateCode >= 13 ? 2 : 0);
  header.bytes = 4 + length + extra + 1;
  if (!cursor.read(position, b, header.bytes)) return false;
  uint64_t number = length == 1 ? b[4] : b[4] & (0xFF >> (length + 1));
  for (unsigned i = 1; i < length; ++i) {
    if ((b[4 + i] & 0xC0) != 0x80) return false;
    number = number << 6 | (b[4 + i] & 0x3F);
  }
  header.number = number;
  if (!header.variable && number >= (1ull << 31)) return false;
  unsigned at = 4 + length;
  if (sizeCode == 1) header.blockSize = 192;
  else if (sizeCode <= 5) header.blockSize = 144u << sizeCode;
  else if (sizeCode == 6) header.blockSize = b[at++] + 1u;
  else if (sizeCode == 7) header.blockSize = (b[at] << 8 | b[at + 1]) + 1u, at += 2;
  else header.blockSize = 1u << sizeCode;
  if (header.blockSize > 65535) return false;
  return flacCrc8(0, b, header.bytes - 1) == b[header.bytes - 1];
}

uint64_t flacFrameLength(ByteCursor& cursor, uint64_t position, uint64_t limit, const FlacFrameHeader& header,
                         unsigned bitsPerSample) {
  unsigned bits = header.bitsPerSample ? header.bitsPerSample : bitsPerSample;
  if (bits < 4 || bits > 32 || position > limit) return 0;
  BitReader in(cursor, position + header.bytes, limit);
  for (unsigned channel = 0; channel < header.channels; ++channel) {
    // The side channel of a decorrelated pair has one bit more.
    bool side = (header.assignment == 8 && channel == 1) || (header.assignment == 9 && channel == 0) ||
                (header.assignment == 10 && channel == 1);
    if (!readSubframe(in, header.blockSize, bits + (side ? 1 : 0))) return 0;
  }
  in.align();
  uint64_t end = in.bytePosition() + 2;  // the frame's checksum
  if (!in.ok() || end > limit) return 0;
  // The checksum over a whole frame, its own two bytes included, is 0.
  uint16_t crc = 0;
  for (uint64_t at = position; at < end;) {
    size_t available = 0;
    const uint8_t* span = cursor.span(at, available);
    if (!span) return 0;
    uint64_t take = std::min<uint64_t>(available, end - at);
    crc = flacCrc16(crc, span, size_t(take));
    at += take;
  }
  return crc == 0 ? end - position : 0;
}
