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

// A host's 32-bit fraction k/6 of the note range, and k/2 of the prefix
// range, select row k, though k/6 * 6 may come back a hair below k.
TEST(TempoNote, HostFractionsSelectTheirRow) {
  TempoNote n;
  for (int k = 0; k <= 6; ++k) {
    n.SetNote(double(float(k / 6.0)) * 6.0);
    EXPECT_EQ(n.denominator, 1 << k) << k;
  }
  for (int k = 0; k <= 2; ++k) {
    n.SetPrefix(double(float(k / 2.0)) * 2.0);
    EXPECT_EQ(n.factor, (k == 0 ? 1.0 : k == 1 ? 4.0 / 3.0 : 2.0 / 3.0)) << k;
  }
  n.SetNote(4.99);  // a value set between rows still truncates
  EXPECT_EQ(n.denominator, 16);
}
