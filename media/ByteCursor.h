// Bounded, buffered reads of small fields from a Reader.
//
// Parsers of medium data (format modules, directory walks) ask for a few
// bytes at a time, often close together.  The cursor holds one block of the
// reader in memory so that such reads cost one medium read per block, and
// never reads past `limit`.  When a block cannot be read whole (a bad
// sector further on), the bytes asked for are read on their own, so a
// damaged sector costs only what lies in it; a block that failed is not
// tried again.  A reader that holds the bytes in memory (the medium's
// cache) lends them instead of copying them into the cursor's block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class Reader;

class ByteCursor {
 public:
  static constexpr size_t kDefaultBlock = 65536;

  // The reader is not owned and must outlive the cursor.  Reads stop at
  // min(limit, reader.size()).
  explicit ByteCursor(Reader& reader, uint64_t limit = UINT64_MAX, size_t blockBytes = kDefaultBlock);

  uint64_t size() const { return size_; }

  // Exactly n bytes at position, or false (nothing past size() is read).
  bool read(uint64_t position, void* out, size_t n);
  bool u8(uint64_t position, uint8_t& out);
  bool le16(uint64_t position, uint16_t& out);
  bool le32(uint64_t position, uint32_t& out);
  bool le64(uint64_t position, uint64_t& out);
  bool be16(uint64_t position, uint16_t& out);
  bool be32(uint64_t position, uint32_t& out);
  bool be64(uint64_t position, uint64_t& out);

  // The bytes held from `position` on: a pointer into the cursor's block and
  // their count (at least 1, at most the block size), loading the block that
  // starts at `position` when needed.  Null at or past size() or when the
  // block cannot be read.  Valid until the next call.  For scanning loops
  // (memchr over what is held, then ask for the next span).
  const uint8_t* span(uint64_t position, size_t& available);

  // Medium reads made so far (for tests and benchmarks).
  uint64_t readsMade() const { return reads_; }

 private:
  bool holds(uint64_t position, size_t n) const;
  bool load(uint64_t position);

  Reader& reader_;
  uint64_t size_;
  size_t blockBytes_;
  std::vector<uint8_t> block_;
  const uint8_t* data_ = nullptr;  // the bytes held: block_, or lent by the reader
  std::shared_ptr<const void> lent_;
  uint64_t base_ = 0;
  size_t length_ = 0;  // valid bytes at data_
  uint64_t failedBase_ = UINT64_MAX;
  uint64_t reads_ = 0;
};
