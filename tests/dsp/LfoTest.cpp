#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/LfoGenerator.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 2.0 * kPi;

std::vector<double> Plot(LfoGenerator& o, int n = 200) {
  std::vector<double> v(static_cast<size_t>(n));
  o.Render(v.data(), n, false);
  return v;
}

std::vector<double> Block(LfoGenerator& o, int n) {
  std::vector<double> v(static_cast<size_t>(n));
  o.Render(v.data(), n, true);
  return v;
}

// Independent triangle with its fall ending at the turn point a: +1 at phase
// 0 and P, -1 at a*P; returned in 0..1 like the oscillator.
double Triangle(double e, double a) {
  const double h = e < a * kTwoPi ? 1.0 - 2.0 * e / (a * kTwoPi)
                                  : -1.0 + 2.0 * (e - a * kTwoPi) / ((1.0 - a) * kTwoPi);
  return (h + 1.0) * 0.5;
}

LfoGenerator Make(double rate, double symmetry, double shape, double phase) {
  LfoGenerator o;
  o.SetRate(rate);
  o.SetSymmetry(symmetry);
  o.SetShape(shape);
  o.phase = phase;
  return o;
}

}  // namespace

TEST(LfoGenerator, ConstructionValues) {
  LfoGenerator o;
  EXPECT_EQ(o.pi, 2.0 * std::acos(0.0));
  EXPECT_EQ(o.rate, 8.0);
  EXPECT_EQ(o.sampleRate, 44100.0);
  EXPECT_EQ(o.increment, 2.0 * o.pi * 8.0 / 44100.0);
  EXPECT_EQ(o.turnPoint, 0.5);
  EXPECT_EQ(o.minRampTime, 0.008);
  // 21 fields of the oscillator, 3 of where the last block ended.
  static_assert(sizeof(LfoGenerator) == 24 * sizeof(double));
}

TEST(LfoGenerator, TurnPointFollowsSymmetryWithinTheRampShare) {
  LfoGenerator o;  // 8 Hz: 8 ms is 0.064 of a period
  o.SetSymmetry(0.0);
  EXPECT_DOUBLE_EQ(o.turnPoint, 0.064);
  o.SetSymmetry(1.0);
  EXPECT_DOUBLE_EQ(o.turnPoint, 0.936);
  o.SetSymmetry(0.5);
  EXPECT_DOUBLE_EQ(o.turnPoint, 0.5);
}

TEST(LfoGenerator, CosinePlotEndsExactlyAtOne) {
  LfoGenerator o = Make(6.0, 0.5, 0.0, 2.0);  // a whole period of offset
  const std::vector<double> v = Plot(o);
  EXPECT_EQ(v.front(), 1.0);
  EXPECT_EQ(v.back(), 1.0);
  for (int i = 0; i < 200; ++i)
    ASSERT_NEAR(v[i], (std::cos(kTwoPi * i / 199.0) + 1.0) / 2.0, 1e-12) << i;
  const auto mn = std::min_element(v.begin(), v.end());
  EXPECT_TRUE(mn - v.begin() == 99 || mn - v.begin() == 100);
  EXPECT_GT(*mn, 0.0);
  EXPECT_LT(*mn, 1e-4);
}

TEST(LfoGenerator, TriangleTurnsAtTheTurnPoint) {
  for (double sym : {0.0, 0.25, 0.5, 0.8}) {
    LfoGenerator o = Make(8.0, sym, 1.0, 0.5);
    const std::vector<double> v = Plot(o);
    const double start = (0.5 + std::fabs(sym - 0.5)) * kPi;
    for (int i = 0; i < 200; ++i) {
      double e = start + i * (kTwoPi / 199.0);
      while (e >= kTwoPi) e -= kTwoPi;
      ASSERT_NEAR(v[i], Triangle(e, o.turnPoint), 1e-9) << sym << " " << i;
    }
  }
}

TEST(LfoGenerator, ShapesBlendAndClip) {
  LfoGenerator c = Make(5.0, 0.3, 0.0, 1.0), t = Make(5.0, 0.3, 1.0, 1.0),
               half = Make(5.0, 0.3, 0.5, 1.0), nearTri = Make(5.0, 0.3, 1.005, 1.0),
               trap = Make(5.0, 0.3, 1.5, 1.0);
  const auto vc = Plot(c), vt = Plot(t), vh = Plot(half), vn = Plot(nearTri), vq = Plot(trap);
  int flatTop = 0, flatBottom = 0;
  for (size_t i = 0; i < vc.size(); ++i) {
    ASSERT_NEAR(vh[i], 0.5 * vc[i] + 0.5 * vt[i], 1e-12);
    ASSERT_EQ(vn[i], vt[i]);
    ASSERT_GE(vq[i], 0.0);
    ASSERT_LE(vq[i], 1.0);
    flatTop += vq[i] == 1.0;
    flatBottom += vq[i] == 0.0;
  }
  // A trapezoid: clipped plateaus at both ends, unlike the triangle.
  EXPECT_GT(flatTop, 10);
  EXPECT_GT(flatBottom, 10);
}

TEST(LfoGenerator, SquareRampsLastEightMilliseconds) {
  for (double sym : {0.5, 0.2}) {
    LfoGenerator o = Make(8.0, sym, 2.0, 1.0);
    const int period = 5513;  // 44100 / 8, rounded up
    const std::vector<double> v = Block(o, period);
    int ramp = 0, high = 0, low = 0;
    for (double x : v) {
      ASSERT_GE(x, 0.0);
      ASSERT_LE(x, 1.0);
      if (x == 1.0)
        ++high;
      else if (x == 0.0)
        ++low;
      else
        ++ramp;
    }
    // Two ramps of 0.008 * 44100 = 352.8 samples.
    EXPECT_NEAR(ramp, 2 * 352.8, 3.0) << sym;
    EXPECT_NEAR(high + low, period - 705.6, 3.0);
    if (sym == 0.5) {
      EXPECT_NEAR(high, low, 2);
    }
  }
}

TEST(LfoGenerator, BlocksContinueEachOther) {
  for (double shape : {0.0, 0.4, 1.0, 1.7}) {
    LfoGenerator a = Make(6.0, 0.3, shape, 1.5), b = a;
    const auto whole = Block(a, 1024);
    const auto first = Block(b, 512);
    const auto second = Block(b, 512);
    for (int i = 0; i < 512; ++i) {
      ASSERT_EQ(first[i], whole[i]);
      ASSERT_NEAR(second[i], whole[512 + i], 1e-12) << shape << " " << i;
    }
  }
}

// Phase and symmetry are offsets on the carried phase: turning either down
// between blocks leaves the start phase negative, which must wrap rather
// than push the triangle or square beyond their range.
TEST(LfoGenerator, StartPhaseWrapsAfterOffsetsAreTurnedDown) {
  for (double shape : {0.0, 0.5, 1.0, 1.5, 2.0}) {
    LfoGenerator o = Make(7.0, 1.0, shape, 2.5);
    for (int block = 0; block < 40; ++block) {
      o.phase = block % 2 ? 0.5 : 2.5;
      o.SetSymmetry(block % 3 ? 0.0 : 1.0);
      o.syncPhase = block % 5 == 0 ? -0.75 : 0.0;
      for (double x : Block(o, 137)) {
        ASSERT_GE(x, 0.0) << shape << " " << block;
        ASSERT_LE(x, 1.0) << shape << " " << block;
      }
    }
  }
}

TEST(LfoGenerator, NegativeStartEqualsItsWrappedPhase) {
  LfoGenerator a = Make(3.0, 0.5, 1.0, 0.5), b = a;
  a.phaseCarry = -0.75 * kTwoPi;  // start = 0.5 pi - 1.5 pi = -pi
  b.phaseCarry = 0.25 * kTwoPi;   // start = pi
  const auto va = Block(a, 300), vb = Block(b, 300);
  for (int i = 0; i < 300; ++i) ASSERT_NEAR(va[i], vb[i], 1e-12);
}

TEST(LfoGenerator, RatesAreCappedSoSlopesStayFinite) {
  LfoGenerator o;
  o.SetRate(0.4 * 400.0);  // a 64th-note triplet at 400 BPM
  EXPECT_EQ(o.rate, LfoGenerator::kMaxRate);
  for (double sym : {0.0, 1.0}) {
    for (double shape : {0.0, 0.5, 1.0, 2.0}) {
      o.SetSymmetry(sym);
      o.SetShape(shape);
      EXPECT_TRUE(std::isfinite(o.fallSlope) && std::isfinite(o.riseSlope));
      for (double x : Block(o, 2000)) ASSERT_TRUE(x >= 0.0 && x <= 1.0) << sym << " " << shape;
    }
  }
  o.SetRate(32.0);
  EXPECT_EQ(o.rate, 32.0);
  EXPECT_EQ(o.increment, 2.0 * o.pi * 32.0 / 44100.0);
  o.SetSampleRate(48000.0);
  EXPECT_EQ(o.increment, 2.0 * o.pi * 32.0 / 48000.0);
}

// A sample rate below the oscillator rate makes one step longer than a
// period; the phase must still come back into the period every sample.
TEST(LfoGenerator, StepsLongerThanAPeriodStayInRange) {
  for (double fs : {100.0, 30.0, 1.0}) {
    LfoGenerator o = Make(8.0, 0.3, 1.0, 1.0);
    o.SetSampleRate(fs);
    o.SetRate(110.0);
    for (int block = 0; block < 3; ++block)
      for (double x : Block(o, 500)) ASSERT_TRUE(x >= 0.0 && x <= 1.0) << fs << " " << x;
  }
}

TEST(LfoGenerator, PlotLeavesTheCarryAlone) {
  LfoGenerator o = Make(6.0, 0.5, 1.0, 1.5);
  Block(o, 100);
  const double carry = o.phaseCarry;
  Plot(o);
  EXPECT_EQ(o.phaseCarry, carry);
  std::vector<double> one(1);
  o.Render(one.data(), 1, false);  // a one-point plot is its start value
  EXPECT_TRUE(std::isfinite(one[0]));
}

namespace {

// The oscillator one add at a time with the library's cosine: the plain
// arithmetic the block renderer must reproduce. Its phase chain must come
// out exactly, its values within a few units in the last place.
struct SerialLfo {
  const LfoGenerator& o;
  double e;

  double Wave(double x) const {
    const double period = 2.0 * o.pi, a = o.turnPoint, fallEnd = a * period;
    const double cosine = x < fallEnd ? std::cos(0.5 * x / a)
                                      : std::cos((period - 2.0 * a * period + x) / (2.0 - 2.0 * a));
    const double triangle =
        x < fallEnd ? x * o.fallSlope + o.fallOffset : x * o.riseSlope + o.riseOffset;
    double square;
    if (x < fallEnd)
      square = x < o.sqRiseEnd - period ? (x + period) * o.sqRiseSlope + o.sqRiseOffset
                                        : x * o.sqFallSlope + o.sqFallOffset;
    else
      square = x < period + o.sqFallStart ? x * o.sqRiseSlope + o.sqRiseOffset
                                          : (x - period) * o.sqFallSlope + o.sqFallOffset;
    square = std::fabs(square) <= 1.0 ? square : (square > 0.0 ? 1.0 : -1.0);
    double h;
    if (o.shape <= 0.01)
      h = cosine;
    else if (o.shape < 0.99)
      h = (1.0 - o.shape) * cosine + o.shape * triangle;
    else if (o.shape <= 1.01)
      h = triangle;
    else
      h = square;
    return (h + 1.0) * 0.5;
  }

  // count values from e with steps of step; e moves on.
  void Render(std::vector<double>& out, int count, double step) {
    const double period = 2.0 * o.pi;
    out.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      out[i] = Wave(e);
      e += step;
      if (e >= period) e -= period;
    }
  }
};

// The real-time start phase of a generator that has not run yet.
double FreshStart(const LfoGenerator& o) {
  double e = (2.0 * o.syncPhase + o.phase + std::fabs(o.symmetry - 0.5)) * o.pi;
  while (e >= 2.0 * o.pi) e -= 2.0 * o.pi;
  return e;
}

}  // namespace

// Blocks of every size through every waveform, at rates and sample rates
// from slow to the cap: the phase each block ends on is exactly the one-add
// chain's, and every value is the plain formula's to within 1e-14.
TEST(LfoGenerator, BlocksEqualTheSerialChain) {
  unsigned seed = 7;
  const auto next = [&seed](int n) {
    seed = seed * 1664525u + 1013904223u;
    return int((seed >> 8) % unsigned(n));
  };
  int blocks = 0;
  for (double fs : {8000.0, 44100.0, 192000.0})
    for (double rate : {0.01, 0.37, 6.0, 8.0, 45.5, 120.0})
      for (double shape : {0.0, 0.5, 1.0, 1.5, 2.0}) {
        const double symmetry = next(5) * 0.25;
        LfoGenerator o = Make(rate, symmetry, shape, next(8) * 0.25);
        o.SetSampleRate(fs);
        o.SetRate(rate);
        SerialLfo ref{o, FreshStart(o)};
        std::vector<double> got, want;
        double worst = 0.0;
        for (int done = 0; done < 60000; ++blocks) {
          const int n = 1 + next(700);
          got.assign(static_cast<size_t>(n), -1.0);
          o.Render(got.data(), n, true);
          ref.Render(want, n, o.increment);
          ASSERT_EQ(o.endPhase, ref.e) << fs << " " << rate << " " << shape << " at " << done;
          for (int i = 0; i < n; ++i) worst = std::max(worst, std::fabs(got[i] - want[i]));
          done += n;
        }
        EXPECT_LT(worst, 1e-14) << fs << " " << rate << " " << shape << " " << symmetry;
      }
  EXPECT_GT(blocks, 1000);
}

// A step exactly halfway between two multiples of a binade's unit rounds
// to the even neighbour, so the amount added alternates there; steps just
// off that point and tiny steps that round to nothing are added as they are.
TEST(LfoGenerator, TiesAndTinyStepsFollowTheSerialChain) {
  const double unit4 = std::ldexp(1.0, -50);  // unit of the binade [4, 8)
  const double unit2 = std::ldexp(1.0, -51);  // unit of [2, 4)
  for (double step : {(1048576.0 + 0.5) * unit4, (1048576.0 + 0.5) * unit2,
                      (1048576.0 + 0.25) * unit4, 0.5 * unit4, 0.3 * unit4, 1e-300}) {
    LfoGenerator o = Make(8.0, 0.5, 1.0, 1.4);  // starts in [4, 8)
    o.increment = step;
    SerialLfo ref{o, FreshStart(o)};
    std::vector<double> got(3000), want;
    for (int block = 0; block < 4; ++block) {
      o.Render(got.data(), 3000, true);
      ref.Render(want, 3000, step);
      ASSERT_EQ(o.endPhase, ref.e) << step << " block " << block;
      for (int i = 0; i < 3000; ++i) ASSERT_NEAR(got[i], want[i], 1e-14) << step << " " << i;
    }
  }
}

// The plot takes the same path: one period in count points.
TEST(LfoGenerator, PlotEqualsTheSerialChain) {
  for (double shape : {0.0, 0.5, 1.0, 2.0})
    for (int count : {2, 3, 200, 689}) {
      LfoGenerator o = Make(5.0, 0.2, shape, 0.7);
      const double start = (o.phase + std::fabs(o.symmetry - 0.5)) * o.pi;
      SerialLfo ref{o, start};
      std::vector<double> got(static_cast<size_t>(count)), want;
      o.Render(got.data(), count, false);
      ref.Render(want, count, 2.0 * o.pi / (count - 1));
      for (int i = 0; i < count; ++i) ASSERT_NEAR(got[i], want[i], 1e-14) << shape << " " << i;
    }
}

// The oscillator is built without fused multiply-adds on either instruction
// set, so a session sounds the same on any processor: both kernels give the
// same values bit for bit.
TEST(LfoGenerator, BothInstructionSetsGiveTheSameValues) {
  if (!dsp::ProcessorHasAvx2Fma()) GTEST_SKIP() << "no AVX2 with FMA here";
  const dsp::LfoWaveFill baseline = dsp::LfoWavesFor(dsp::SimdLevel::kBaseline);
  const dsp::LfoWaveFill wide = dsp::LfoWavesFor(dsp::SimdLevel::kAvx2Fma);
  ASSERT_NE(baseline, wide);
  for (dsp::LfoWave wave : {dsp::LfoWave::kCosine, dsp::LfoWave::kBlend, dsp::LfoWave::kTriangle,
                            dsp::LfoWave::kSquare})
    for (double symmetry : {0.0, 0.3, 0.5, 1.0}) {
      // The terms as the generator derives them, at a slow rate where the
      // square's ramps are steepest.
      LfoGenerator o = Make(0.05, symmetry, 1.5, 0.0);
      o.SetRate(0.05);
      dsp::LfoWaveTerms w = o.WaveTerms();
      w.wave = wave;
      w.shape = 0.4;  // the blend's weight, whatever the wave
      const double period = w.period;
      // Phases on a power-of-two grid, so every one is exact (as the
      // generator's runs are), across each segment.
      const int n = 1001;
      for (bool falling : {true, false}) {
        const double from = falling ? 0.0 : w.fallEnd, to = falling ? w.fallEnd : period;
        const double spacing = std::exp2(std::floor(std::log2((to - from) / n)));
        const double first = std::ceil(from / spacing) * spacing;
        std::vector<double> a(n), b(n);
        baseline(w, first, spacing, a.data(), n);
        wide(w, first, spacing, b.data(), n);
        for (int i = 0; i < n; ++i)
          ASSERT_EQ(a[i], b[i]) << int(wave) << " symmetry " << symmetry << " phase "
                                << first + i * spacing;
      }
    }
}
