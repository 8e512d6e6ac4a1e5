// The bit array behind the FAT-copy map.

#include "fat/Bitmap.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(Bitmap, SetReturnsThePreviousBitAndTheCountStaysExact) {
  Bitmap b(13);
  EXPECT_FALSE(b.set(9, true));
  EXPECT_TRUE(b.set(9, true));
  EXPECT_FALSE(b.set(12, false));
  EXPECT_EQ(1u, b.count());
  EXPECT_TRUE(b.get(9));
  EXPECT_FALSE(b.get(8));
  b.fill(true);
  EXPECT_EQ(13u, b.count());
  EXPECT_TRUE(b.set(0, false));
  EXPECT_EQ(12u, b.count());
  b.fill(false);
  EXPECT_EQ(0u, b.count());
  EXPECT_THROW(b.get(13), std::runtime_error);
  EXPECT_THROW(b.set(UINT64_MAX, true), std::runtime_error);
  EXPECT_THROW(Bitmap().get(0), std::runtime_error);
}
