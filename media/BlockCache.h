// The blocks of a medium held in memory, shared by everything that reads
// the medium during a scan and a recovery.
//
// The scan reads the medium front to back; a format module reads ahead of
// it through the same cache, and the recoverer reads what the scan passed
// a moment ago.  So every block is read from the medium once, in one large
// read, as long as it is still held when it is wanted again.  Blocks start
// at multiples of the block size; the last one ends with the medium.
//
// Memory is bounded: at most `budget` bytes of blocks are held (the least
// recently used go first), plus the blocks a caller still holds a
// reference to.  A block of zeros takes no memory of its own (all of them
// share one buffer), so a stretch of zeros that a module walks far ahead of
// the scan is not read twice; their count is bounded too.
//
// The cache also remembers which stretches of 4 to 64 KiB it saw hold
// only zeros (a bit each): they are not read again, even after their block
// was given up.
//
// A block that cannot be read whole is remembered as failed and not tried
// again; reads that touch it go to the inner reader for exactly the bytes
// asked for, so a bad sector costs what lies in it and the inner reader
// logs the failure with the values of the read made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "media/Reader.h"

class BlockCache : public Reader {
 public:
  static constexpr size_t kDefaultBlockBytes = 1024000;
  // Larger blocks are cut to this (a scan buffer may be larger).
  static constexpr size_t kMaxBlockBytes = 4u << 20;
  static constexpr uint64_t kDefaultBudget = 48ull << 20;
  // Zero blocks held at most (each costs a few dozen bytes).
  static constexpr size_t kMaxZeroBlocks = 65536;
  // The stretches whose zeros are remembered: the shortest whole number of
  // sectors from kLeastZeroPiece to kMostZeroPiece that divides the block
  // size (so that blocks hold whole stretches), longer on a medium where
  // their count would pass kMaxZeroPieces (one bit each: 2 MiB of memory).
  static constexpr size_t kLeastZeroPiece = 4096;
  static constexpr size_t kMostZeroPiece = 65536;
  static constexpr uint64_t kMaxZeroPieces = 1ull << 24;

  // Bytes [start, start + length) of the medium.
  struct Block {
    uint64_t start = 0;
    size_t length = 0;
    const uint8_t* data = nullptr;
    std::unique_ptr<uint8_t[]> bytes;                    // null for a block of zeros
    std::shared_ptr<const std::vector<uint8_t>> zeros;  // what a block of zeros points into
  };
  typedef std::shared_ptr<const Block> BlockRef;

  // `inner` is not owned and must outlive the cache.  `blockBytes` is
  // rounded up to a multiple of 512 and cut to kMaxBlockBytes.
  explicit BlockCache(Reader* inner, size_t blockBytes = kDefaultBlockBytes, uint64_t budget = kDefaultBudget);

  // Drops every block (the medium may have been written) and uses blocks
  // of `blockBytes` from now on; references held stay valid.
  void reset(size_t blockBytes);
  void reset() { reset(blockBytes_); }

  bool read(uint64_t offset, void* buffer, uint64_t size) override;
  // Lends the bytes of one block (up to its end).
  bool borrow(uint64_t offset, uint64_t size, const uint8_t*& out, uint64_t& available,
              std::shared_ptr<const void>& hold) override;

  // The block that holds `offset`, read from the medium when it is not
  // held; null past the end or when it cannot be read (the inner reader
  // has logged why).  Its bytes stay valid while the reference is kept.
  BlockRef block(uint64_t offset);
  // The block that holds `offset` when it is held now, else null; nothing
  // is read.
  BlockRef held(uint64_t offset) const;

  // Gives up the blocks that end at or below `position`, which nobody will
  // read again (the scan has passed them): their buffers are the next to be
  // filled, while they are still in the processor's caches.  Positions
  // only grow between resets; a block read again later is held as usual.
  void releaseBelow(uint64_t position);

  size_t blockBytes() const { return blockBytes_; }
  Reader* inner() const { return inner_; }

  // What was asked of the medium: bytes and reads, failed ones included.
  uint64_t bytesFetched() const { return bytesFetched_; }
  uint64_t fetches() const { return fetches_; }
  uint64_t bytesHeld() const { return held_; }

 private:
  struct Entry {
    std::shared_ptr<Block> block;
    std::list<uint64_t>::iterator age;
  };

  BlockRef load(uint64_t index);
  void evict();
  void drop(std::unordered_map<uint64_t, Entry>::iterator entry);
  void giveBack(std::unique_ptr<uint8_t[]> buffer);
  // Notes the stretches of [start, start + length), held at `data`, that
  // hold only zeros; and whether every stretch [start, start + length)
  // touches is known to.
  void noteZeros(uint64_t start, const uint8_t* data, size_t length);
  bool knownZero(uint64_t start, size_t length) const;
  bool fetch(uint64_t offset, void* buffer, uint64_t size);
  // Reads [offset, offset + size) into `buffer`, but for the stretches
  // known to hold zeros.
  bool fetchUnknown(uint64_t offset, uint8_t* buffer, size_t size);

  Reader* inner_;
  size_t blockBytes_;
  uint64_t budget_;
  std::unordered_map<uint64_t, Entry> entries_;
  std::list<uint64_t> ages_;  // most recently used first
  uint64_t held_ = 0;         // bytes of the non-zero blocks in entries_
  size_t zeroBlocks_ = 0;
  std::shared_ptr<const std::vector<uint8_t>> zeros_;
  // Buffers of blocks given up, for the next loads, the last given up
  // first; together with the blocks held they stay within the budget.
  std::vector<std::unique_ptr<uint8_t[]>> spare_;
  std::unordered_set<uint64_t> failed_;
  std::vector<uint64_t> zeroPieces_;  // a bit per stretch; empty: not remembered
  size_t zeroPiece_ = kMostZeroPiece;  // bytes of a stretch
  uint64_t released_ = 0;  // blocks below this index have been given up
  uint64_t bytesFetched_ = 0;
  uint64_t fetches_ = 0;
};
