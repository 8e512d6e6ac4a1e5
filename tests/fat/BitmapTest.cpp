// The bit array behind the FAT-copy map.

#include "fat/Bitmap.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(Bitmap, SetReturnsThePreviousBitAndKeepsTheCountExact) {
  Bitmap b(20);
  EXPECT_EQ(20u, b.size());
  EXPECT_FALSE(b.set(9, true));
  EXPECT_TRUE(b.set(9, true));  // setting again changes nothing
  EXPECT_EQ(1u, b.count());
  b.set(19, true);
  EXPECT_TRUE(b.get(19));
  EXPECT_FALSE(b.get(18));
  EXPECT_TRUE(b.set(9, false));
  EXPECT_EQ(1u, b.count());
}

TEST(Bitmap, FillAndCopy) {
  Bitmap b(13);
  b.fill(true);
  EXPECT_EQ(13u, b.count());
  Bitmap c = b;
  c.set(0, false);
  EXPECT_TRUE(b.get(0));
  EXPECT_EQ(12u, c.count());
  c.fill(false);
  EXPECT_EQ(0u, c.count());
  EXPECT_FALSE(c.get(12));
}

TEST(Bitmap, AnIndexAtTheSizeThrowsTheLocation) {
  Bitmap b(8);
  try {
    b.get(8);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("Bitmap(72)", e.what());
  }
  EXPECT_THROW(b.set(UINT64_MAX, true), std::runtime_error);
  EXPECT_THROW(Bitmap().get(0), std::runtime_error);
}
