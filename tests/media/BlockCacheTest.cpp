// The cache of medium blocks: what it reads and lends is the medium's, a
// block is fetched once while it is held, the budget holds, zeros take no
// room, released blocks go, and a bad sector costs what lies in it.

#include "media/BlockCache.h"

#include <gtest/gtest.h>

#include "media/ByteCursor.h"
#include "tests/support/MemoryReader.h"
#include "tests/support/Tools.h"

using mzktest::randomBytes;

namespace {

const size_t kBlock = 1024;

std::string readThrough(Reader& reader, uint64_t offset, uint64_t size) {
  std::string out(size, '\0');
  return reader.read(offset, &out[0], size) ? out : "failed";
}

}  // namespace

TEST(BlockCache, ReadsAndLoansAreTheMediumsBytes) {
  const std::string bytes = randomBytes(10000, 3);
  MemoryReader medium(bytes.data(), bytes.size());
  BlockCache cache(&medium, kBlock, 1 << 20);
  const struct {
    uint64_t offset, size;
    bool ok;
  } cases[] = {{0, 1, true},     {1000, 100, true}, {1023, 2, true},   {0, 10000, true},
               {9999, 1, true},  {10000, 0, true},  {9999, 2, false},  {UINT64_MAX, 2, false}};
  for (const auto& c : cases) {
    std::string got = readThrough(cache, c.offset, c.size);
    EXPECT_EQ(c.ok ? bytes.substr(c.offset, c.size) : "failed", got) << c.offset << "+" << c.size;
  }
  // A loan reaches to the end of the block that holds its first byte.
  for (uint64_t offset : {0u, 1000u, 1023u, 9990u}) {
    const uint8_t* at = nullptr;
    uint64_t available = 0;
    std::shared_ptr<const void> hold;
    ASSERT_TRUE(cache.borrow(offset, 5000, at, available, hold)) << offset;
    EXPECT_EQ(std::min<uint64_t>(kBlock - offset % kBlock, bytes.size() - offset), available) << offset;
    EXPECT_EQ(bytes.substr(offset, available), std::string(reinterpret_cast<const char*>(at), available));
  }
  EXPECT_EQ(10u, medium.reads) << "every block once";
}

TEST(BlockCache, TheBudgetHoldsAndWhatWasDroppedIsFetchedAgain) {
  const std::string bytes = randomBytes(20 * kBlock, 4);
  MemoryReader medium(bytes.data(), bytes.size());
  BlockCache cache(&medium, kBlock, 4 * kBlock);
  BlockCache::BlockRef first = cache.block(0);
  for (uint64_t at = 0; at < bytes.size(); at += 100) {
    uint64_t n = std::min<uint64_t>(100, bytes.size() - at);
    ASSERT_EQ(bytes.substr(at, n), readThrough(cache, at, n));
    EXPECT_LE(cache.bytesHeld(), 4 * kBlock);
  }
  EXPECT_EQ(20u, medium.reads);
  EXPECT_EQ(bytes.substr(0, 100), readThrough(cache, 0, 100)) << "evicted, fetched again";
  EXPECT_EQ(21u, medium.reads);
  EXPECT_EQ(bytes.substr(0, kBlock), std::string(reinterpret_cast<const char*>(first->data), first->length))
      << "a block held by a caller keeps its bytes";
  // Given up: the next read of it goes to the medium; references stay good.
  BlockCache::BlockRef last = cache.block(19 * kBlock);
  cache.releaseBelow(20 * kBlock);
  readThrough(cache, 19 * kBlock, 10);
  EXPECT_EQ(22u, medium.reads);
  EXPECT_EQ(bytes.substr(19 * kBlock, kBlock), std::string(reinterpret_cast<const char*>(last->data), last->length));
}

TEST(BlockCache, ZerosTakeNoRoomSoAWalkAheadOverThemIsNotReadTwice) {
  std::string bytes(64 * kBlock, '\0');
  bytes[5 * kBlock + 7] = 1;
  MemoryReader medium(bytes.data(), bytes.size());
  BlockCache cache(&medium, kBlock, 2 * kBlock);
  for (int pass = 0; pass < 2; ++pass)
    for (uint64_t at = 0; at < bytes.size(); at += kBlock) ASSERT_EQ(bytes.substr(at, kBlock), readThrough(cache, at, kBlock));
  EXPECT_EQ(64u, medium.reads);
  EXPECT_EQ(kBlock, cache.bytesHeld()) << "only the block that is not zeros";
}

// Stretches seen to hold zeros are not read again after their blocks went;
// a reset forgets them (the medium may have been written).
TEST(BlockCache, ZerosSeenOnceAreNotReadAgainAfterTheirBlocksWent) {
  const size_t block = 8192, piece = 4096;
  std::string bytes(32 * block, '\0');
  bytes[5 * piece + 7] = 1;
  bytes[41 * piece] = 2;
  MemoryReader medium(bytes.data(), bytes.size());
  BlockCache cache(&medium, block, 4 * block);
  auto readAll = [&] {
    for (uint64_t at = 0; at < bytes.size(); at += 3000) {
      uint64_t n = std::min<uint64_t>(3000, bytes.size() - at);
      ASSERT_EQ(bytes.substr(at, n), readThrough(cache, at, n)) << at;
    }
    cache.releaseBelow(bytes.size());
  };
  readAll();
  EXPECT_EQ(bytes.size(), cache.bytesFetched());
  readAll();
  EXPECT_EQ(bytes.size() + 2 * piece, cache.bytesFetched()) << "the two stretches with data";
  cache.reset();
  readAll();
  EXPECT_EQ(2 * bytes.size() + 2 * piece, cache.bytesFetched());
}

TEST(BlockCache, ABadSectorCostsOnlyWhatLiesInIt) {
  const std::string bytes = randomBytes(4 * kBlock, 5);
  MemoryReader memory(bytes.data(), bytes.size());
  FaultReader medium(&memory);
  medium.failRange(kBlock + 500, 10);
  BlockCache cache(&medium, kBlock, 1 << 20);
  const struct {
    uint64_t offset, size;
    bool ok;
  } cases[] = {{kBlock, 500, true}, {kBlock + 490, 20, false}, {kBlock + 510, 514, true}, {kBlock - 10, 20, true},
               {0, 4 * kBlock, false}};
  for (const auto& c : cases)
    EXPECT_EQ(c.ok ? bytes.substr(c.offset, c.size) : "failed", readThrough(cache, c.offset, c.size)) << c.offset;
  EXPECT_FALSE(cache.block(kBlock + 1));
  // The block was tried once; then only the reads that touch the bad bytes failed.
  EXPECT_EQ(3u, medium.failedReads);
}

TEST(BlockCache, ACursorWalksEveryByteWhereLoansEndInsideItsBlocks) {
  // Loans end at the cache's 1536-byte blocks, inside the cursor's 1000-byte
  // ones: the spans and the fields across those ends are still all there.
  const std::string bytes = randomBytes(7000, 6);
  MemoryReader medium(bytes.data(), bytes.size());
  BlockCache cache(&medium, 1536, 1 << 20);
  ByteCursor cursor(cache, UINT64_MAX, 1000);
  std::string walked;
  for (uint64_t at = 0; at < bytes.size();) {
    size_t n = 0;
    const uint8_t* p = cursor.span(at, n);
    ASSERT_TRUE(p && n > 0) << at;
    walked.append(reinterpret_cast<const char*>(p), n);
    at += n;
  }
  EXPECT_EQ(bytes, walked);
  for (uint64_t at : {1530u, 1535u, 2990u, 3070u, 6996u}) {
    uint32_t v = 0;
    ASSERT_TRUE(cursor.le32(at, v)) << at;
    EXPECT_EQ(uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
                  uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24,
              v)
        << at;
  }
}
