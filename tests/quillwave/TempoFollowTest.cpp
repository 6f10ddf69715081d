#include <gtest/gtest.h>

#include "dsp/LfoGenerator.h"
#include "dsp/TempoNote.h"
#include "quillwave/TempoFollow.h"

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
