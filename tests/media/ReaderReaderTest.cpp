// Windows onto other readers: bounds, cutting, and offsets near 2^64.

#include "media/ReaderReader.h"

#include <gtest/gtest.h>

#include <vector>

#include "shell/DebugLog.h"
#include "tests/support/MemoryReader.h"

namespace {

MemoryReader countingMedium(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i);
  return MemoryReader(bytes);
}

}  // namespace

TEST(ReaderWindow, StartsAsTheWholeInnerReader) {
  MemoryReader medium = countingMedium(1000);
  ReaderReader window(&medium);
  EXPECT_EQ(1000u, window.size());
  EXPECT_EQ(0u, window.base());
  EXPECT_EQ(&medium, window.inner());
  uint8_t b;
  ASSERT_TRUE(window.read(999, &b, 1));
  EXPECT_EQ(static_cast<uint8_t>(999), b);
}

TEST(ReaderWindow, SetWindowAimsAndCutsAtTheEnd) {
  MemoryReader medium = countingMedium(1000);
  ReaderReader window(&medium);
  ASSERT_TRUE(window.setWindow(100, 50));
  EXPECT_EQ(100u, window.base());
  EXPECT_EQ(50u, window.size());
  uint8_t b[50];
  ASSERT_TRUE(window.read(0, b, 50));
  EXPECT_EQ(100, b[0]);
  EXPECT_EQ(149, b[49]);

  ASSERT_TRUE(window.setWindow(900, 500));
  EXPECT_EQ(100u, window.size());
  ASSERT_TRUE(window.setWindow(999, UINT64_MAX));
  EXPECT_EQ(1u, window.size());
  ASSERT_TRUE(window.setWindow(10, 0));
  EXPECT_EQ(0u, window.size());
}

TEST(ReaderWindow, OffsetAtOrPastTheInnerEndKeepsTheWindow) {
  MemoryReader medium = countingMedium(1000);
  ReaderReader window(&medium);
  ASSERT_TRUE(window.setWindow(200, 300));
  DebugLogCapture log;
  EXPECT_FALSE(window.setWindow(1000, 1));
  EXPECT_EQ("ReaderReader(19): 1000 1000\n", log.text());
  EXPECT_FALSE(window.setWindow(UINT64_MAX, 1));
  EXPECT_EQ(200u, window.base());
  EXPECT_EQ(300u, window.size());
}

TEST(ReaderWindow, ReadsEndingAtTheEndPassAndPastItFail) {
  MemoryReader medium = countingMedium(1000);
  ReaderReader window(&medium);
  ASSERT_TRUE(window.setWindow(500, 100));
  std::vector<uint8_t> b(101, 0xEE);
  EXPECT_TRUE(window.read(90, b.data(), 10));
  EXPECT_EQ(static_cast<uint8_t>(599), b[9]);
  DebugLogCapture log;
  uint64_t readsBefore = medium.reads;
  EXPECT_FALSE(window.read(91, b.data(), 10));
  EXPECT_EQ("ReaderReader(30): 91 10 100\n", log.text());
  EXPECT_FALSE(window.read(0, b.data(), 101));
  EXPECT_EQ(readsBefore, medium.reads);
}

TEST(ReaderWindow, ZeroByteReads) {
  MemoryReader medium = countingMedium(1000);
  ReaderReader window(&medium);
  ASSERT_TRUE(window.setWindow(500, 100));
  uint8_t b;
  EXPECT_TRUE(window.read(100, &b, 0));
  EXPECT_TRUE(window.read(0, &b, 0));
  EXPECT_FALSE(window.read(101, &b, 0));
}

TEST(ReaderWindow, OffsetsNearTwoToTheSixtyFourDoNotWrap) {
  MemoryReader medium = countingMedium(1000);
  ReaderReader window(&medium);
  ASSERT_TRUE(window.setWindow(100, 500));
  uint8_t b[16];
  DebugLogCapture log;
  // offset + size wraps to 4, which a plain sum would let through.
  EXPECT_FALSE(window.read(UINT64_MAX - 5, b, 10));
  EXPECT_EQ("ReaderReader(30): 18446744073709551610 10 500\n", log.text());
  EXPECT_FALSE(window.read(10, b, UINT64_MAX));
  EXPECT_FALSE(window.read(UINT64_MAX, b, 1));
  EXPECT_FALSE(window.read(1ULL << 63, b, 1ULL << 63));
  EXPECT_EQ(0u, medium.reads);
}

TEST(ReaderWindow, InnerFailureAddsItsOwnLine) {
  MemoryReader medium = countingMedium(4096);
  FaultReader faulty(&medium);
  faulty.failRange(1024, 512);
  ReaderReader window(&faulty);
  ASSERT_TRUE(window.setWindow(1000, 1000));
  uint8_t b[64];
  DebugLogCapture log;
  EXPECT_FALSE(window.read(20, b, 64));
  EXPECT_EQ("ReaderReader(34): 20 1000 64\n", log.text());
  EXPECT_TRUE(window.read(600, b, 64));
  EXPECT_EQ(static_cast<uint8_t>(1600), b[0]);
}

TEST(ReaderWindow, WindowOverAWindow) {
  MemoryReader medium = countingMedium(1000);
  ReaderReader outer(&medium);
  ASSERT_TRUE(outer.setWindow(100, 200));
  ReaderReader inner(&outer);
  EXPECT_EQ(200u, inner.size());
  ASSERT_TRUE(inner.setWindow(50, 1000));
  EXPECT_EQ(150u, inner.size());
  uint8_t b;
  ASSERT_TRUE(inner.read(149, &b, 1));
  EXPECT_EQ(static_cast<uint8_t>(299), b);
  EXPECT_FALSE(inner.read(150, &b, 1));
}

TEST(ReaderWindow, EmptyInnerReader) {
  MemoryReader empty;
  ReaderReader window(&empty);
  EXPECT_EQ(0u, window.size());
  EXPECT_FALSE(window.setWindow(0, 0));
  uint8_t b;
  EXPECT_TRUE(window.read(0, &b, 0));
  EXPECT_FALSE(window.read(0, &b, 1));
}

TEST(ReaderBounds, FitsNeverWraps) {
  EXPECT_TRUE(Reader::fits(0, 0, 0));
  EXPECT_TRUE(Reader::fits(90, 10, 100));
  EXPECT_FALSE(Reader::fits(91, 10, 100));
  EXPECT_FALSE(Reader::fits(UINT64_MAX, 2, 100));
  EXPECT_FALSE(Reader::fits(2, UINT64_MAX, UINT64_MAX));
  EXPECT_TRUE(Reader::fits(1, UINT64_MAX - 1, UINT64_MAX));
}
