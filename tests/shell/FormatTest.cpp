// Placeholders, number, size and duration display forms, and split.

#include "shell/Format.h"

#include <gtest/gtest.h>

TEST(Format, PlaceholdersAreFilledOnceAndNeverRescanned) {
  const std::pair<std::string, std::string> cases[] = {
      {format("%1%%", 50), "50%"},
      {format("done 100%"), "done 100%"},
      {format("%9 and %0", "x"), "%9 and %0"},
      {format("%2 %1", "a", "b"), "b a"},
      {format("%1-%1-%1", "a"), "a-a-a"},
      {format("%1 %2 %3 %4 %5", 1, 2, 3, 4, 5), "1 2 3 4 5"},
      {format("[%3]", "a", "b"), "[]"},
      {format("%x"), "%x"},
      {format("%%%1", "%1"), "%%1"},
      {format("%1 %2", "%2", "b"), "%2 b"},
      {format("%1", "%%"), "%%"},
      {format("%1 %2 %3 %4", int32_t(-7), uint32_t(4294967295u), int64_t(-9000000000LL), uint64_t(UINT64_MAX)),
       "-7 4294967295 -9000000000 18446744073709551615"},
      {format(nullptr), ""},
      {format("[%1]", static_cast<const char*>(nullptr)), "[]"},
      {formatNumber(UINT64_MAX), "18446744073709551615"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, c.first);
}

TEST(Format, SizesAndDurations) {
  const std::pair<std::string, std::string> cases[] = {
      {formatSize(0), "0"},
      {formatSize(999), "999"},
      {formatSize(1000), "1.000KB"},
      {formatSize(999949), "999.9KB"},
      {formatSize(999950), "1.000MB"},
      {formatSize(12345678), "12.35MB"},
      {formatSize(999950000), "1.000GB"},
      {formatSize(999950000000ULL), "1.000TB"},
      {formatSize(2000000000000000ULL), "2000.0TB"},
      {formatSizeOf(0, 999), "0 of 999"},
      {formatSizeOf(999, 1000), "0.999 of 1.000KB"},
      {formatSizeOf(500000, 2000000), "0.500 of 2.000MB"},
      {formatSizeOf(0, 4000000000ULL), "0.000 of 4.000GB"},
      {formatDuration(0), " 0 minutes  0 seconds"},
      {formatDuration(1), " 0 minutes  1 second"},
      {formatDuration(65), " 1 minute  5 seconds"},
      {formatDuration(3600), " 1 hour  0 minutes"},
      {formatDuration(7260), " 2 hours  1 minute"},
      {formatDuration(360000), "100 hours  0 minutes"},
      {formatDuration(UINT32_MAX), "1193046 hours 28 minutes"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, c.first);
  EXPECT_FALSE(formatSize(UINT64_MAX).empty());
}

TEST(Format, SplitKeepsEmptyPiecesAndAppends) {
  std::vector<std::string> pieces(1, "kept");
  split("1394,USB,,SD", ',', pieces);
  split("", ',', pieces);
  split("a,", ',', pieces);
  split("no separator", ',', pieces);
  EXPECT_EQ((std::vector<std::string>{"kept", "1394", "USB", "", "SD", "", "a", "", "no separator"}), pieces);
}
