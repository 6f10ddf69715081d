#include <gtest/gtest.h>

#include "dsp/TempoNote.h"

TEST(TempoNote, NoteAndPrefixTables) {
  TempoNote n;
  EXPECT_EQ(n.Rate(), 2.0);  // quarter note at 120 BPM
  n.SetNote(2.0);
  n.SetPrefix(1.0);
  EXPECT_DOUBLE_EQ(n.Rate(), 1.5);
  n.SetPrefix(2.0);
  EXPECT_DOUBLE_EQ(n.Rate(), 3.0);
  n.SetPrefix(0.0);
  n.SetNote(2.9);  // truncates to the quarter row
  EXPECT_EQ(n.denominator, 4);
  n.SetNote(6.0);
  EXPECT_EQ(n.denominator, 64);
  EXPECT_EQ(n.cyclesPerWhole, 64.0);
  n.SetNote(7.0);
  n.SetNote(-2.0);
  n.SetPrefix(3.5);
  EXPECT_EQ(n.denominator, 64);
  EXPECT_EQ(n.factor, 1.0);
  n.SetNote(-0.5);  // toward zero: row 0
  EXPECT_EQ(n.denominator, 1);
}
