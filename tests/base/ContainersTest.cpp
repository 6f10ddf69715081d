#include <gtest/gtest.h>

#include <cstring>

#include "base/GrowText.h"
#include "base/OwnedPtrList.h"

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
