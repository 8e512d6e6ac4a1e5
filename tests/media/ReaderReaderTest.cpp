// Windows onto other readers: bounds, cutting, and offsets near 2^64.

#include "media/ReaderReader.h"

#include <gtest/gtest.h>

#include "tests/support/MemoryReader.h"

namespace {

MemoryReader counting(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i);
  return MemoryReader(bytes);
}

}  // namespace

TEST(ReaderWindow, AimedWindowsAreCutAtTheInnerEnd) {
  MemoryReader medium = counting(1000);
  ReaderReader window(&medium);
  EXPECT_EQ(1000u, window.size()) << "the whole inner reader to start with";
  const struct {
    uint64_t offset, size;
    bool ok;
    uint64_t base, windowSize;
  } cases[] = {{100, 50, true, 100, 50},      {900, 500, true, 900, 100}, {999, UINT64_MAX, true, 999, 1},
               {10, 0, true, 10, 0},          {1000, 1, false, 10, 0},    {UINT64_MAX, 1, false, 10, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.ok, window.setWindow(c.offset, c.size)) << c.offset;
    EXPECT_EQ(c.base, window.base()) << c.offset << ": a refused window leaves the window as it was";
    EXPECT_EQ(c.windowSize, window.size()) << c.offset;
  }
  ReaderReader empty(nullptr);
  EXPECT_FALSE(empty.setWindow(0, 0));
}

TEST(ReaderWindow, ReadsInsideOnlyWithoutWrapping) {
  MemoryReader medium = counting(1000);
  ReaderReader window(&medium);
  ASSERT_TRUE(window.setWindow(500, 100));
  uint8_t b[128];
  ASSERT_TRUE(window.read(90, b, 10));
  EXPECT_EQ(uint8_t(599), b[9]);
  EXPECT_TRUE(window.read(100, b, 0));
  uint64_t reads = medium.reads;
  const std::pair<uint64_t, uint64_t> refused[] = {{91, 10}, {0, 101}, {101, 0}, {UINT64_MAX - 5, 10}, {10, UINT64_MAX},
                                                   {UINT64_MAX, 1}, {1ULL << 63, 1ULL << 63}};
  for (const auto& r : refused) EXPECT_FALSE(window.read(r.first, b, r.second)) << r.first << " " << r.second;
  EXPECT_EQ(reads, medium.reads) << "nothing refused reaches the inner reader";
  // A window over a window.
  ReaderReader inner(&window);
  ASSERT_TRUE(inner.setWindow(50, 1000));
  EXPECT_EQ(50u, inner.size());
  ASSERT_TRUE(inner.read(49, b, 1));
  EXPECT_EQ(uint8_t(599), b[0]);
  EXPECT_FALSE(inner.read(50, b, 1));
}

TEST(ReaderWindow, AnInnerFailurePassesThrough) {
  MemoryReader medium = counting(4096);
  FaultReader faulty(&medium);
  faulty.failRange(1024, 512);
  ReaderReader window(&faulty);
  ASSERT_TRUE(window.setWindow(1000, 1000));
  uint8_t b[64];
  EXPECT_FALSE(window.read(20, b, 64));
  EXPECT_TRUE(window.read(600, b, 64));
  EXPECT_EQ(uint8_t(1600), b[0]);
}

TEST(ReaderBounds, FitsNeverWraps) {
  const struct {
    uint64_t offset, length, limit;
    bool fits;
  } cases[] = {{0, 0, 0, true},          {90, 10, 100, true},         {91, 10, 100, false},
               {UINT64_MAX, 2, 100, false}, {2, UINT64_MAX, UINT64_MAX, false}, {1, UINT64_MAX - 1, UINT64_MAX, true}};
  for (const auto& c : cases) EXPECT_EQ(c.fits, Reader::fits(c.offset, c.length, c.limit)) << c.offset << " " << c.length;
}
