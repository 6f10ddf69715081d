#include "base/GrowBuffer.h"

#include <gtest/gtest.h>

TEST(GrowBuffer, PageGranularityKeepsHalfInReserveMinus96) {
  GrowBuffer b(4096);
  ASSERT_NE(b.Resize(10, false), nullptr);
  EXPECT_EQ(b.Allocated(), 4000);
  EXPECT_EQ(b.Size(), 10);
  b.Resize(4001, false);
  EXPECT_EQ(b.Allocated(), 8096);
}

TEST(GrowBuffer, SmallGranularityAddsHalfOrGranule) {
  GrowBuffer b(128);
  b.Resize(10, false);
  EXPECT_EQ(b.Allocated(), 138);
  b.Resize(300, false);
  EXPECT_EQ(b.Allocated(), 450);
}

TEST(GrowBuffer, ShrinkToZeroFreesOnlyWhenAllowed) {
  GrowBuffer b(4096);
  b.Resize(10, false);
  EXPECT_EQ(b.Resize(0, false), nullptr);
  EXPECT_EQ(b.Allocated(), 4000);
  b.Resize(10, false);
  EXPECT_EQ(b.Resize(0, true), nullptr);
  EXPECT_EQ(b.Allocated(), 0);
  EXPECT_EQ(b.Resize(0, true), nullptr);
  EXPECT_EQ(b.Allocated(), 0);
}

TEST(GrowBuffer, GrowthKeepsContents) {
  GrowBuffer b(128);
  auto* p = static_cast<char*>(b.Resize(3, false));
  p[0] = 'a';
  p[1] = 'b';
  p[2] = 'c';
  auto* q = static_cast<char*>(b.Resize(5000, false));
  EXPECT_EQ(std::string(q, 3), "abc");
  EXPECT_EQ(b.Resize(-5, false), nullptr);
  EXPECT_EQ(b.Size(), 0);
}

TEST(GrowBuffer, SizeBeyondThirtyTwoBitsFailsAndKeepsBlock) {
  GrowBuffer b(4096);
  b.Resize(10, false);
  void* before = b.Data();
  // The reserve would push the allocation past what the size fields hold.
  EXPECT_EQ(b.Resize(2147483600, false), before);
  EXPECT_EQ(b.Size(), 10);
  EXPECT_EQ(b.Allocated(), 4000);
}

TEST(GrowBuffer, ShrinkGivesMemoryBackOnlyWellBelowTheBlock) {
  GrowBuffer b(4096);
  b.Resize(100000, false);
  const int32_t big = b.Allocated();
  b.Resize(90000, true);  // above the threshold: block kept
  EXPECT_EQ(b.Allocated(), big);
  b.Resize(1000, true);
  EXPECT_LT(b.Allocated(), big);
  EXPECT_EQ(b.Size(), 1000);
}
