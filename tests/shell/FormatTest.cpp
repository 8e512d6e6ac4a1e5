// Placeholders, number, size and duration display forms, and split.

#include "shell/Format.h"

#include <gtest/gtest.h>

TEST(FormatPlaceholders, NumberedArgumentsPercentAndStrayPercents) {
  EXPECT_EQ("50%", format("%1%%", 50));
  EXPECT_EQ("done 100%", format("done 100%"));
  EXPECT_EQ("%9 and %0", format("%9 and %0", "x"));
  EXPECT_EQ("b a", format("%2 %1", "a", "b"));
  EXPECT_EQ("a-a-a", format("%1-%1-%1", "a"));
  EXPECT_EQ("1 2 3 4 5", format("%1 %2 %3 %4 %5", 1, 2, 3, 4, 5));
  EXPECT_EQ("[]", format("[%3]", "a", "b"));
  EXPECT_EQ("%x", format("%x"));
  EXPECT_EQ("%%1", format("%%%1", "%1"));
}

TEST(FormatPlaceholders, ArgumentsAreNotRescanned) {
  EXPECT_EQ("%2 b", format("%1 %2", "%2", "b"));
  EXPECT_EQ("%%", format("%1", "%%"));
}

TEST(FormatPlaceholders, ArgumentKinds) {
  EXPECT_EQ("-7 4294967295 -9000000000 18446744073709551615",
            format("%1 %2 %3 %4", int32_t(-7), uint32_t(4294967295u), int64_t(-9000000000LL),
                   uint64_t(UINT64_MAX)));
  EXPECT_EQ("", format(nullptr));
  EXPECT_EQ("[]", format("[%1]", static_cast<const char*>(nullptr)));
}

TEST(FormatNumbers, AllTwentyDigitsFit) {
  EXPECT_EQ("0", formatNumber(0));
  EXPECT_EQ("1000000000000000", formatNumber(1000000000000000ULL));
  EXPECT_EQ("18446744073709551615", formatNumber(UINT64_MAX));
}

TEST(FormatSizes, UnitThresholds) {
  EXPECT_EQ("0", formatSize(0));
  EXPECT_EQ("999", formatSize(999));
  EXPECT_EQ("1.000KB", formatSize(1000));
  EXPECT_EQ("999.9KB", formatSize(999949));
  EXPECT_EQ("1.000MB", formatSize(999950));
  EXPECT_EQ("1.536MB", formatSize(1536000));
  EXPECT_EQ("12.35MB", formatSize(12345678));
  EXPECT_EQ("1.000GB", formatSize(999950000));
  EXPECT_EQ("1.000TB", formatSize(999950000000ULL));
  EXPECT_EQ("1.000TB", formatSize(1000000000000ULL));
  EXPECT_EQ("2000.0TB", formatSize(2000000000000000ULL));
  EXPECT_FALSE(formatSize(UINT64_MAX).empty());
}

TEST(FormatSizes, DoneOfTotalUsesTheUnitOfTheTotal) {
  EXPECT_EQ("0 of 999", formatSizeOf(0, 999));
  EXPECT_EQ("0.999 of 1.000KB", formatSizeOf(999, 1000));
  EXPECT_EQ("0.500 of 2.000MB", formatSizeOf(500000, 2000000));
  EXPECT_EQ("0.000 of 4.000GB", formatSizeOf(0, 4000000000ULL));
}

TEST(FormatDurations, HoursMinutesSecondsWithPluralsAndWidths) {
  EXPECT_EQ(" 0 minutes  0 seconds", formatDuration(0));
  EXPECT_EQ(" 0 minutes  1 second", formatDuration(1));
  EXPECT_EQ(" 0 minutes 59 seconds", formatDuration(59));
  EXPECT_EQ(" 1 minute  5 seconds", formatDuration(65));
  EXPECT_EQ(" 1 hour  0 minutes", formatDuration(3600));
  EXPECT_EQ(" 1 hour  2 minutes", formatDuration(3725));
  EXPECT_EQ(" 2 hours  1 minute", formatDuration(7260));
  EXPECT_EQ("100 hours  0 minutes", formatDuration(360000));
  EXPECT_EQ("1193046 hours 28 minutes", formatDuration(UINT32_MAX));
}

TEST(FormatSplit, KeepsEmptyPiecesAndAppends) {
  std::vector<std::string> pieces;
  split("1394,USB,,SD", ',', pieces);
  ASSERT_EQ(4u, pieces.size());
  EXPECT_EQ("1394", pieces[0]);
  EXPECT_EQ("USB", pieces[1]);
  EXPECT_EQ("", pieces[2]);
  EXPECT_EQ("SD", pieces[3]);

  pieces.clear();
  split("", ',', pieces);
  ASSERT_EQ(1u, pieces.size());
  EXPECT_EQ("", pieces[0]);

  pieces.assign(1, "kept");
  split("a,", ',', pieces);
  ASSERT_EQ(3u, pieces.size());
  EXPECT_EQ("kept", pieces[0]);
  EXPECT_EQ("a", pieces[1]);
  EXPECT_EQ("", pieces[2]);

  pieces.clear();
  split("no separator", ',', pieces);
  EXPECT_EQ(std::vector<std::string>{"no separator"}, pieces);
}
