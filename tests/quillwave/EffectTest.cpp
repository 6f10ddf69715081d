// The effect as a host hears it: everything goes through the exported entry
// point and the AEffect record of the built library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "EffectParams.h"
#include "HostTestSupport.h"
#include "dsp/MultiBandFilterBT.h"

namespace {

using qwtest::Instance;
using qwtest::SharedHost;

constexpr double kFs = 44100.0;
constexpr double kTwoPi = 6.283185307179586;

using namespace qwtest::params;

using Block = std::vector<std::vector<double>>;

Block Noise(int frames, unsigned seed, int channels = 2) {
  Block b(channels, std::vector<double>(frames));
  unsigned s = seed;
  for (int f = 0; f < frames; ++f) {
    s = s * 1664525u + 1013904223u;
    const double x = (double(s >> 8) / 16777216.0) * 2.0 - 1.0;
    for (int c = 0; c < channels; ++c) b[c][f] = 0.5 * x;
  }
  return b;
}

Block Process(Instance& inst, Block in) {
  const int frames = int(in[0].size());
  Block out(in.size(), std::vector<double>(frames, -99.0));
  inst.ProcessDouble(in, out, frames);
  return out;
}

// With tremolo on, Mix 1 and the same input on both channels, the channels
// carry wet*t and wet*(1 - t): their sum is the filtered signal and their
// ratio the modulation value t of each sample.
struct Split {
  std::vector<double> t, wet;
};
Split Observe(Instance& inst, const Block& in) {
  const Block out = Process(inst, in);
  Split s;
  for (size_t j = 0; j < out[0].size(); ++j) {
    const double sum = out[0][j] + out[1][j];
    s.wet.push_back(sum);
    s.t.push_back(out[0][j] / sum);
  }
  return s;
}
Split ObserveDc(Instance& inst, int frames) {
  return Observe(inst, Block(2, std::vector<double>(frames, 1.0)));
}

void OpenForObservation(Instance& inst) {
  inst.Start(float(kFs), 1024);
  Set(inst, kMode, 1);
  Set(inst, kMix, 1.0);
}

// Triangle with the fall ending at share a of the period, in 0..1.
double Triangle(double cycles, double a) {
  const double p = cycles - std::floor(cycles);
  const double h = p < a ? 1.0 - 2.0 * p / a : -1.0 + 2.0 * (p - a) / (1.0 - a);
  return (h + 1.0) * 0.5;
}

void SetTransport(double samplePos, double ppq, double bar, double tempo, bool playing) {
  vst::VstTimeInfo t{};
  t.samplePos = samplePos;
  t.sampleRate = kFs;
  t.ppqPos = ppq;
  t.barStartPos = bar;
  t.tempo = tempo;
  t.timeSigNumerator = 4;
  t.timeSigDenominator = 4;
  t.flags = vst::kVstPpqPosValid | vst::kVstTempoValid | vst::kVstBarsValid |
            vst::kVstTimeSigValid | (playing ? vst::kVstTransportPlaying : 0);
  SharedHost().SetTransport(t, true);
}

void ClearTransport() { SharedHost().SetTransport(vst::VstTimeInfo{}, true); }

// Samples between successive downward crossings of 0.5.
std::vector<int> Crossings(const std::vector<double>& t) {
  std::vector<int> at;
  for (size_t j = 1; j < t.size(); ++j)
    if (t[j - 1] >= 0.5 && t[j] < 0.5) at.push_back(int(j));
  return at;
}

}  // namespace

TEST(Effect, MixZeroGivesTheDrySignalExactly) {
  for (int mode = 0; mode < 2; ++mode) {
    for (int filter = 0; filter < 3; ++filter) {
      Instance inst(SharedHost());
      inst.Start(float(kFs), 1024);
      Set(inst, kMix, 0.0);
      Set(inst, kMode, mode);
      Set(inst, kFilterMode, filter);
      for (unsigned k = 0; k < 4; ++k) {
        const Block in = Noise(1024, 11 + k);
        const Block out = Process(inst, in);
        ASSERT_EQ(out, in) << mode << " " << filter;
      }
      auto in32 = qwtest::Signal(2, 700, 0.3f);
      std::vector<std::vector<float>> out32(2, std::vector<float>(700, 5.0f));
      inst.ProcessReplacing(in32, out32, 700);
      ASSERT_EQ(out32, in32);
    }
  }
}

TEST(Effect, BypassCopiesExactlyAndTheOscillatorWaits) {
  Instance a(SharedHost()), b(SharedHost());
  OpenForObservation(a);
  OpenForObservation(b);
  ObserveDc(a, 1000);
  const Split before = ObserveDc(b, 1000);

  // Bypass fades in over 20 ms (882 samples), during which the oscillator
  // still runs; from then on the input passes untouched.
  Set(a, kOnOff, 1);
  Set(b, kOnOff, 1);
  const Block fadeIn = Noise(882, 4);
  const Block faded = Process(a, fadeIn);
  EXPECT_NE(faded, fadeIn);
  EXPECT_EQ(Process(b, fadeIn), faded);
  for (unsigned k = 0; k < 3; ++k) {
    const Block in = Noise(777, 5 + k);
    ASSERT_EQ(Process(a, in), in);
  }
  Set(a, kOnOff, 0);
  Set(b, kOnOff, 0);
  // The free-running oscillator continues from where bypass stopped it:
  // after the fade out of bypass the output is what it was before, one
  // fade's worth of oscillator later, whatever happened during bypass.
  const Split resumed = ObserveDc(a, 2000);
  const Split cont = ObserveDc(b, 2000);
  for (int j : {882, 1500, 1999}) ASSERT_NEAR(resumed.t[j], cont.t[j], 1e-12);
  ObserveDc(a, 1000);
  const Split later = ObserveDc(a, 1000);
  EXPECT_GT(std::fabs(later.t[0] - before.t[0]), 1e-3);  // it did move meanwhile
}

TEST(Effect, PhaseChangeSlewsAtFourHundredthsPerSample) {
  Instance inst(SharedHost());
  OpenForObservation(inst);
  Set(inst, kShape, 0.0);  // cosine at 6 Hz, slow next to the slew
  Set(inst, kSymmetry, 0.5);
  const Split first = ObserveDc(inst, 512);
  // The open applied every parameter, so the first block ramps up from the
  // construction value 0.
  EXPECT_NEAR(first.t[0], 0.04, 1e-9);
  EXPECT_NEAR(first.t[1], 0.08, 1e-9);
  Split prev = ObserveDc(inst, 512);
  const double last = prev.t.back();

  Set(inst, kPhase, 0.5);  // half a period away: the curve is now 1 - t
  const Split next = ObserveDc(inst, 512);
  const double dir = (1.0 - last) > last ? 1.0 : -1.0;
  int ramp = 0;
  for (int j = 0; j < 512 && std::fabs(next.t[j] - (j ? next.t[j - 1] : last)) > 0.02; ++j) {
    ASSERT_NEAR(next.t[j], last + dir * 0.04 * (j + 1), 1e-9) << j;
    ++ramp;
  }
  EXPECT_NEAR(ramp, std::fabs(1.0 - 2.0 * last) / 0.04, 2.0);
  EXPECT_GT(ramp, 3);

  // The slew does not depend on the host's blocks: a one-frame block moves
  // one step and the ramp carries on into the next block.
  const double before = ObserveDc(inst, 64).t.back();
  ASSERT_GT(std::fabs(1.0 - 2.0 * before), 0.2);  // far enough from the new curve
  Set(inst, kPhase, 1.5);
  const double dir2 = (1.0 - before) > before ? 1.0 : -1.0;
  const Split one = ObserveDc(inst, 1);
  EXPECT_NEAR(one.t[0], before + dir2 * 0.04, 1e-9);
  const Split after = ObserveDc(inst, 64);
  EXPECT_NEAR(after.t[0], before + dir2 * 0.08, 1e-9);
}

TEST(Effect, BeforeOpenTheConstructionValuesRun) {
  Instance inst(SharedHost());
  inst.Dispatch(vst::effSetSampleRate, 0, 0, nullptr, float(kFs));
  inst.Dispatch(vst::effSetBlockSize, 0, 1024);
  Set(inst, kMode, 1);  // only these two parameters are applied
  Set(inst, kMix, 1.0);
  MultiBandFilterBT ref;  // type 5 voice, rising orientation, Q base 4
  ref.SetType(5);
  ref.WahOverBP2().SetOrientation(-1.0);
  ref.WahOverBP2().Recompute();
  int j = 0;
  for (unsigned k = 0; k < 4; ++k) {
    const Split s = Observe(inst, Noise(1024, 40 + k));
    const Block in = Noise(1024, 40 + k);
    for (int i = 0; i < 1024; ++i, ++j) {
      // 8 Hz cosine starting at its maximum: no offsets, no slew.
      ASSERT_NEAR(s.t[i], (std::cos(kTwoPi * 8.0 * j / kFs) + 1.0) / 2.0, 1e-9) << j;
      ref.SetCutoff(400.0 + 2600.0 * s.t[i]);
      ASSERT_NEAR(s.wet[i], ref.ProcessSample(in[0][i]), 1e-9) << j;
    }
  }
}

TEST(Effect, AfterOpenTheDefaultsRun) {
  Instance inst(SharedHost());
  OpenForObservation(inst);
  FilterLP2 ref;
  ref.SetResonance(4.0);
  int j = 0;
  for (unsigned k = 0; k < 8; ++k) {
    const Block in = Noise(1024, 70 + k);
    const Split s = Observe(inst, in);
    for (int i = 0; i < 1024; ++i, ++j) {
      // 6 Hz triangle, Symmetry 0 (turn point 8 ms * 6 Hz), Phase 1.5 with
      // its half-period skew: a whole period, i.e. starting at the top.
      if (j > 40) {
        ASSERT_NEAR(s.t[i], Triangle(6.0 * j / kFs, 0.048), 1e-9) << j;
      }
      const double fc = 125.0 * std::pow(32.0, 0.2) +
                        (125.0 * std::pow(32.0, 0.4) - 125.0 * std::pow(32.0, 0.2)) * s.t[i];
      ref.SetCutoff(fc);
      ASSERT_NEAR(s.wet[i], ref.ProcessSample(in[0][i]), 1e-8) << j;
    }
  }
  EXPECT_NEAR(125.0 * std::pow(32.0, 0.2), 250.0, 1e-9);
  EXPECT_NEAR(125.0 * std::pow(32.0, 0.4), 500.0, 1e-9);
}

TEST(Effect, TempoSyncRatesFollowNoteAndPrefix) {
  for (const auto& [prefix, hz] : {std::pair{1.0, 1.5}, std::pair{2.0, 3.0}}) {
    SetTransport(0.0, 0.0, 0.0, 120.0, false);
    Instance inst(SharedHost());
    OpenForObservation(inst);
    Set(inst, kShape, 0.0);
    Set(inst, kSymmetry, 0.5);
    Set(inst, kNote, 2.0);  // quarter
    Set(inst, kPrefix, prefix);
    Set(inst, kTempoSync, 1.0);
    std::vector<double> t;
    for (int k = 0; k < 70; ++k) {
      const Split s = ObserveDc(inst, 1024);
      t.insert(t.end(), s.t.begin(), s.t.end());
    }
    const std::vector<int> at = Crossings(t);
    ASSERT_GE(at.size(), 2u);
    for (size_t i = 1; i < at.size(); ++i) EXPECT_NEAR(at[i] - at[i - 1], kFs / hz, 1.0) << hz;
  }
  ClearTransport();
}

TEST(Effect, PositionJumpRealignsToTheBar) {
  Instance inst(SharedHost());
  OpenForObservation(inst);
  Set(inst, kShape, 0.0);
  Set(inst, kSymmetry, 0.5);
  Set(inst, kPhase, 2.0);  // a whole period: the bar starts at the top
  Set(inst, kNote, 2.0);   // quarter: one cycle per beat
  Set(inst, kTempoSync, 1.0);
  double pos = 0.0;
  double prevLast = 0.0;
  for (int k = 0; k < 4; ++k) {  // playing, each block where the last one ended
    SetTransport(pos, 0.37 + pos / 22050.0, 0.0, 120.0, true);
    const Split s = ObserveDc(inst, 512);
    if (k > 1) {
      EXPECT_LT(std::fabs(s.t[0] - prevLast), 0.01);
    }
    prevLast = s.t.back();
    pos += 512;
  }
  // Each jump re-aligns the phase to the song position; the modulation
  // gets there through the slew (at most 0.04 per sample), not at once.
  struct Jump {
    double samplePos, ppq;
  };
  double last = prevLast;
  for (const Jump& jump : {Jump{90000.0, 9.0}, Jump{200000.0, 9.25}, Jump{300000.0, 8.5}}) {
    SetTransport(jump.samplePos, jump.ppq, 8.0, 120.0, true);
    const Split s = ObserveDc(inst, 512);
    EXPECT_LE(std::fabs(s.t[0] - last), 0.04 + 1e-9);
    for (int j : {100, 300, 511}) {
      // Quarter notes at 120 BPM: two cycles a second from the beat.
      const double cycles = jump.ppq + 2.0 * j / kFs;
      EXPECT_NEAR(s.t[size_t(j)], 0.5 + 0.5 * std::cos(kTwoPi * cycles), 1e-9) << j;
    }
    last = s.t.back();
  }
  ClearTransport();
}

TEST(Effect, TempoChangesBelowATenthOfABeatAreIgnored) {
  Instance inst(SharedHost());
  OpenForObservation(inst);
  Set(inst, kShape, 0.0);
  Set(inst, kSymmetry, 0.5);
  Set(inst, kPhase, 2.0);
  Set(inst, kNote, 2.0);
  Set(inst, kTempoSync, 1.0);
  const int frames = 5512;                   // a quarter of a cycle at 2 Hz
  SetTransport(0.0, 0.5, 0.0, 120.0, true);  // start: aligned half a cycle in
  const Split s0 = ObserveDc(inst, frames);
  SetTransport(frames, 0.5, 0.0, 120.05, true);
  const Split s1 = ObserveDc(inst, frames);
  EXPECT_LT(std::fabs(s1.t[0] - s0.t.back()), 1e-3);  // continues
  EXPECT_NEAR(s1.t[0], 0.5, 1e-3);
  SetTransport(2.0 * frames, 0.5, 0.0, 120.2, true);
  const Split s2 = ObserveDc(inst, frames);
  EXPECT_GT(s1.t.back(), 0.99);
  // Re-aligned to half a cycle past the bar, reached through the slew.
  EXPECT_LT(s2.t[0], s1.t.back());
  const double hz = 120.2 / 60.0;
  EXPECT_NEAR(s2.t[100], 0.5 + 0.5 * std::cos(kTwoPi * (0.5 + hz * 100 / kFs)), 1e-9);
  ClearTransport();
}

TEST(Effect, BlocksContinueEachOther) {
  Instance whole(SharedHost()), parts(SharedHost());
  for (Instance* i : {&whole, &parts}) {
    i->Start(float(kFs), 1024);
    Set(*i, kFilterMode, 2);
    Set(*i, kMode, 1);
  }
  const Block in = Noise(3000, 99);
  const Block out = Process(whole, in);
  int done = 0;
  for (int n : {512, 512, 1, 999, 976}) {
    Block slice(2);
    for (int c = 0; c < 2; ++c) slice[c].assign(in[c].begin() + done, in[c].begin() + done + n);
    const Block o = Process(parts, slice);
    for (int c = 0; c < 2; ++c)
      for (int j = 0; j < n; ++j) ASSERT_NEAR(o[c][j], out[c][done + j], 1e-12) << done + j;
    done += n;
  }
}

TEST(Effect, ProcessesInPlace) {
  Instance a(SharedHost()), b(SharedHost());
  a.Start(float(kFs), 1024);
  b.Start(float(kFs), 1024);
  const Block in = Noise(1024, 3);
  const Block expected = Process(a, in);
  Block buf = in;
  double* ptrs[2] = {buf[0].data(), buf[1].data()};
  b.Effect()->processDoubleReplacing(b.Effect(), ptrs, ptrs, 1024);
  EXPECT_EQ(buf, expected);
}

// Turning Phase or Symmetry down, or switching tempo sync off, moves the
// oscillator's start phase below zero; the modulation must stay in 0..1 and
// the output finite.
TEST(Effect, ModulationStaysInRangeAfterOffsetsAreTurnedDown) {
  for (int filter = 0; filter < 3; ++filter) {
    for (double shape : {0.0, 1.0, 2.0}) {
      Instance inst(SharedHost());
      OpenForObservation(inst);
      Set(inst, kFilterMode, filter);
      Set(inst, kShape, shape);
      SetTransport(0.0, 3.9, 0.0, 133.0, true);
      for (int round = 0; round < 6; ++round) {
        Set(inst, kPhase, round % 2 ? 0.5 : 2.5);
        Set(inst, kSymmetry, round % 3 ? 0.0 : 1.0);
        Set(inst, kTempoSync, round == 2 ? 1.0 : 0.0);
        for (unsigned k = 0; k < 8; ++k) {
          const Split s = Observe(inst, Noise(700, 200 + k));
          for (size_t j = 0; j < s.t.size(); ++j) {
            ASSERT_TRUE(std::isfinite(s.wet[j]) && std::fabs(s.wet[j]) < 50.0)
                << filter << " " << shape << " " << round;
            if (std::fabs(s.wet[j]) < 1e-100) continue;
            ASSERT_GE(s.t[j], -1e-9) << filter << " " << shape << " " << round;
            ASSERT_LE(s.t[j], 1.0 + 1e-9) << filter << " " << shape << " " << round;
          }
        }
      }
    }
  }
  ClearTransport();
}

TEST(Effect, TremoloGainsAreOppositeEvenWithEqualLimits) {
  Instance inst(SharedHost());
  OpenForObservation(inst);
  Set(inst, kCutoff1, 0.5);
  Set(inst, kCutoff2, 0.5);
  ObserveDc(inst, 2000);
  const Split s = ObserveDc(inst, 8000);  // more than a period at 6 Hz
  const auto [mn, mx] = std::minmax_element(s.t.begin(), s.t.end());
  EXPECT_LT(*mn, 0.05);  // the modulation still sweeps the gains fully
  EXPECT_GT(*mx, 0.95);
  for (double w : s.wet) EXPECT_NEAR(w, 1.0, 1e-6);  // one fixed cutoff, DC through LP
}
