#include <gtest/gtest.h>

#include "dsp/LfoGenerator.h"
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

namespace {
HostTimeInfo Playing(double samplePos, double ppq, double bar, double tempo = 120.0) {
  HostTimeInfo t = TempoFollow::Prefilled();
  t.playing = true;
  t.samplePosition = samplePos;
  t.ppqPosition = ppq;
  t.lastBarPosition = bar;
  t.tempo = tempo;
  return t;
}
}  // namespace

TEST(TempoFollow, ResyncsOnStartAndPositionJumpOnly) {
  TempoNote note;
  LfoGenerator lfo;
  TempoFollow follow;
  follow.Update(Playing(0.0, 4.5, 4.0), 512, note, lfo);  // transport starts
  EXPECT_DOUBLE_EQ(lfo.syncPhase, 0.5);                   // half a quarter = 0.5 cycle of 4/whole
  EXPECT_EQ(lfo.phaseCarry, 0.0);

  lfo.phaseCarry = 1.25;
  lfo.syncPhase = 0.3;
  follow.Update(Playing(512.0, 4.6, 4.0), 512, note, lfo);  // continuous
  EXPECT_EQ(lfo.phaseCarry, 1.25);
  EXPECT_EQ(lfo.syncPhase, 0.3);

  follow.Update(Playing(1024.05, 4.7, 4.0), 512, note, lfo);  // within 0.1 sample
  EXPECT_EQ(lfo.syncPhase, 0.3);

  follow.Update(Playing(90000.0, 5.0, 4.0), 512, note, lfo);  // jump
  EXPECT_EQ(lfo.syncPhase, 0.0);
  EXPECT_EQ(lfo.phaseCarry, 0.0);
}

TEST(TempoFollow, SmallTempoChangesAreIgnored) {
  TempoNote note;
  LfoGenerator lfo;
  TempoFollow follow;
  follow.Update(Playing(0.0, 0.0, 0.0), 256, note, lfo);
  const double rate = lfo.rate;
  lfo.syncPhase = 0.3;
  follow.Update(Playing(256.0, 0.1, 0.0, 120.05), 256, note, lfo);
  EXPECT_EQ(note.tempo, 120.0);
  EXPECT_EQ(lfo.rate, rate);
  EXPECT_EQ(lfo.syncPhase, 0.3);

  follow.Update(Playing(512.0, 1.75, 0.0, 120.2), 256, note, lfo);
  EXPECT_EQ(note.tempo, 120.2);
  EXPECT_DOUBLE_EQ(lfo.rate, 120.2 / 240.0 * 4.0);
  EXPECT_DOUBLE_EQ(lfo.increment, 2.0 * lfo.pi * lfo.rate / 44100.0);
  EXPECT_DOUBLE_EQ(lfo.syncPhase, 0.75);  // re-aligned to the bar
}

TEST(TempoFollow, StoppedTransportKeepsThePhaseAndInvalidTemposAreIgnored) {
  TempoNote note;
  LfoGenerator lfo;
  TempoFollow follow;
  HostTimeInfo stopped = TempoFollow::Prefilled();
  stopped.samplePosition = 5000.0;
  lfo.syncPhase = 0.4;
  follow.Update(stopped, 128, note, lfo);
  EXPECT_EQ(lfo.syncPhase, 0.4);
  stopped.tempo = 0.0;
  follow.Update(stopped, 128, note, lfo);
  EXPECT_EQ(note.tempo, 120.0);
  EXPECT_EQ(lfo.syncPhase, 0.4);
}
