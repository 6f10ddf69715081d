#include <gtest/gtest.h>

#include <cstring>

#include "core/StateChunk.h"

TEST(StateChunk, LittleEndianValuesAndBoundedReads) {
  StateChunk c;
  c.PutInt32(-2);
  c.PutUInt32(0x70666674);
  c.PutDouble(0.5);
  ASSERT_EQ(c.Size(), 16);
  const uint8_t expect[16] = {0xFE, 0xFF, 0xFF, 0xFF, 0x74, 0x66, 0x66, 0x70,
                              0,    0,    0,    0,    0,    0,    0xE0, 0x3F};
  EXPECT_EQ(std::memcmp(c.Data(), expect, 16), 0);

  int32_t i = 0;
  double d = 0;
  EXPECT_EQ(c.GetInt32(&i, 0), 4);
  EXPECT_EQ(i, -2);
  EXPECT_EQ(c.GetDouble(&d, 8), 16);
  EXPECT_EQ(d, 0.5);
  d = 7;
  EXPECT_EQ(c.GetDouble(&d, 9), -1);
  EXPECT_EQ(d, 7);  // untouched
  EXPECT_EQ(c.GetDouble(&d, -1), -1);
  EXPECT_EQ(c.Get(&d, 0, 16), 16);
  EXPECT_EQ(c.Get(&d, 1, 16), -1);
  EXPECT_EQ(c.Get(&d, -1, 0), -1);
  EXPECT_EQ(c.Get(&d, 8, 2147483647), -1);
}

TEST(StateChunk, GetAtTheEndOfA104ByteStream) {
  StateChunk c;
  uint8_t bytes[104];
  for (int i = 0; i < 104; ++i) bytes[i] = uint8_t(i);
  c.Put(bytes, 104);
  uint8_t d[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(c.Get(d, 8, 100), -1);
  EXPECT_EQ(d[0], 9);
  EXPECT_EQ(c.Get(d, 4, 100), 104);
  EXPECT_EQ(d[0], 100);
  EXPECT_EQ(d[3], 103);
}

TEST(StateChunk, PutStringAndClear) {
  StateChunk c;
  c.PutString("Empty");
  ASSERT_EQ(c.Size(), 9);
  EXPECT_EQ(std::memcmp(c.Data(), "\x05\0\0\0Empty", 9), 0);
  c.PutString("");
  EXPECT_EQ(c.Size(), 13);
  c.Clear();
  EXPECT_EQ(c.Size(), 0);
  EXPECT_EQ(c.Data(), nullptr);
  EXPECT_EQ(c.Put("x", 0), 0);
  EXPECT_EQ(c.Put("x", -3), 0);
}
