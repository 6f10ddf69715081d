#include <gtest/gtest.h>

#include <cstring>

#include "core/GrowText.h"
#include "core/OwnedPtrList.h"
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

namespace {
struct Tracked {
  Tracked(std::vector<int>& log, int id) : log(log), id(id) {}
  ~Tracked() { log.push_back(id); }
  std::vector<int>& log;
  int id;
};
}  // namespace

TEST(OwnedPtrList, OwnsAndDeletesLastToFirst) {
  std::vector<int> deleted;
  {
    OwnedPtrList<Tracked> list;
    EXPECT_EQ(list.Get(0), nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(list.Add(new Tracked(deleted, i)));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Get(1)->id, 1);
    EXPECT_EQ(list.Get(3), nullptr);
    EXPECT_EQ(list.Get(-1), nullptr);
  }
  EXPECT_EQ(deleted, (std::vector<int>{2, 1, 0}));
}

TEST(GrowText, SetAtCutsEndsAndEmpties) {
  GrowText t;
  EXPECT_STREQ(t.Get(), "");
  const char abc[] = {'a', 'b', 'c'};
  EXPECT_TRUE(t.SetAt(0, abc, 2));
  EXPECT_STREQ(t.Get(), "ab");
  EXPECT_EQ(t.Size(), 3);

  t.Set("abcdef");
  EXPECT_TRUE(t.SetAt(2, "XY", 2));
  EXPECT_STREQ(t.Get(), "abXY");
  EXPECT_EQ(t.Size(), 5);
  EXPECT_TRUE(t.SetAt(4, "12345", 5));
  EXPECT_STREQ(t.Get(), "abXY12345");

  EXPECT_FALSE(t.SetAt(3, "z", 0));  // nothing happens
  EXPECT_STREQ(t.Get(), "abXY12345");
  EXPECT_FALSE(t.SetAt(-1, "z", 1));
  EXPECT_FALSE(t.SetAt(0, "z", -1));
  EXPECT_FALSE(t.SetAt(2147483640, "z", 100));
  EXPECT_TRUE(t.SetAt(0, "z", 0));
  EXPECT_STREQ(t.Get(), "");
  EXPECT_EQ(t.Size(), 1);
}

TEST(GrowText, SourceInsideItsOwnBlockSurvivesAMove) {
  GrowText t;
  t.Set("0123456789");
  // Appending the text to itself grows the block past its first allocation.
  for (int i = 0; i < 6; ++i) {
    const int32_t len = t.Size() - 1;
    ASSERT_TRUE(t.SetAt(len, t.Get(), len));
  }
  const std::string s = t.Get();
  ASSERT_EQ(s.size(), 640u);
  for (size_t i = 0; i < s.size(); ++i) ASSERT_EQ(s[i], char('0' + i % 10)) << i;
}

TEST(GrowText, SourceInTheBlockPastTheTextEndSurvivesAMove) {
  GrowText t;
  t.Set("0123456789");
  const char* old = t.Get();
  t.Set("x", 1);  // the block keeps "23456789" after the new end
  // Far enough out to move the block; the source is taken from the new one.
  ASSERT_TRUE(t.SetAt(200, old + 5, 3));
  EXPECT_EQ(t.Size(), 204);
  EXPECT_EQ(std::string(t.Get() + 200), "567");
}

TEST(GrowText, GapBeforeAFarPositionReadsAsEnd) {
  GrowText t;
  ASSERT_TRUE(t.SetAt(5, "xyz", 3));
  EXPECT_STREQ(t.Get(), "");  // the unwritten gap is zeros, not garbage
  EXPECT_EQ(t.Size(), 9);
}
