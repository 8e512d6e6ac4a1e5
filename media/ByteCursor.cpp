#include "media/ByteCursor.h"

#include <algorithm>
#include <cstring>

#include "media/Reader.h"
#include "shell/Endian.h"

ByteCursor::ByteCursor(Reader& reader, uint64_t limit, size_t blockBytes)
    : reader_(reader), size_(std::min(limit, reader.size())), blockBytes_(blockBytes ? blockBytes : 1) {}

bool ByteCursor::holds(uint64_t position, size_t n) const {
  return length_ != 0 && position >= base_ && Reader::fits(position - base_, n, length_);
}

bool ByteCursor::load(uint64_t position) {
  if (position >= size_) return false;
  // Blocks start at multiples of the block size, so that every position in
  // a block that failed maps to that block and it is not tried again.
  if (failedBase_ != UINT64_MAX && position >= failedBase_ && position - failedBase_ < blockBytes_)
    return false;
  size_t n = static_cast<size_t>(std::min<uint64_t>(blockBytes_, size_ - position));
  ++reads_;
  const uint8_t* lent = nullptr;
  uint64_t available = 0;
  if (reader_.borrow(position, n, lent, available, lent_)) {
    data_ = lent;
    base_ = position;
    length_ = static_cast<size_t>(available);
    return true;
  }
  lent_.reset();
  if (block_.size() < blockBytes_) block_.resize(blockBytes_);
  data_ = block_.data();
  if (!reader_.read(position, block_.data(), n)) {
    length_ = 0;
    failedBase_ = position - position % blockBytes_;
    return false;
  }
  base_ = position;
  length_ = n;
  return true;
}

bool ByteCursor::read(uint64_t position, void* out, size_t n) {
  if (!Reader::fits(position, n, size_)) return false;
  if (n == 0) return true;
  if (!holds(position, n)) {
    // Larger than a block: straight from the reader.
    if (n > blockBytes_) {
      ++reads_;
      return reader_.read(position, out, n);
    }
    // The aligned block, or one that starts here when the field straddles
    // the aligned block's end.
    uint64_t aligned = position - position % blockBytes_;
    bool loaded = load(aligned) && holds(position, n);
    if (!loaded && length_ != 0) loaded = load(position) && holds(position, n);
    if (!loaded) {
      ++reads_;
      return reader_.read(position, out, n);
    }
  }
  memcpy(out, data_ + (position - base_), n);
  return true;
}

const uint8_t* ByteCursor::span(uint64_t position, size_t& available) {
  available = 0;
  if (position >= size_) return nullptr;
  // The aligned block may end before `position` when the reader lent less
  // than a block (its own block ends there): then the bytes from here on.
  if (!holds(position, 1) && !(load(position - position % blockBytes_) && holds(position, 1)) &&
      !(load(position) && holds(position, 1)))
    return nullptr;
  available = length_ - static_cast<size_t>(position - base_);
  return data_ + (position - base_);
}

bool ByteCursor::u8(uint64_t position, uint8_t& out) { return read(position, &out, 1); }

#define MZK_CURSOR_FIELD(name, type, width, decode) \
  bool ByteCursor::name(uint64_t position, type& out) { \
    uint8_t b[width]; \
    if (!read(position, b, width)) return false; \
    out = decode(b); \
    return true; \
  }
MZK_CURSOR_FIELD(le16, uint16_t, 2, ::le16)
MZK_CURSOR_FIELD(le32, uint32_t, 4, ::le32)
MZK_CURSOR_FIELD(le64, uint64_t, 8, ::le64)
MZK_CURSOR_FIELD(be16, uint16_t, 2, ::be16)
MZK_CURSOR_FIELD(be32, uint32_t, 4, ::be32)
MZK_CURSOR_FIELD(be64, uint64_t, 8, ::be64)
#undef MZK_CURSOR_FIELD
