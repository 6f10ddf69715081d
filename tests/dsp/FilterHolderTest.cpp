#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "dsp/CutoffModulator.h"
#include "dsp/MultiBandFilterBT.h"

namespace {

std::vector<double> Noise(int n, unsigned seed = 1) {
  std::vector<double> v(static_cast<size_t>(n));
  unsigned s = seed;
  for (double& x : v) {
    s = s * 1664525u + 1013904223u;
    x = (static_cast<double>(s >> 8) / 16777216.0) * 2.0 - 1.0;
  }
  return v;
}

double Cutoff(int i) { return 300.0 + 1700.0 * (0.5 + 0.5 * std::sin(i * 0.003)); }

template <class F>
std::vector<double> SweepStandalone(F& f, const std::vector<double>& in) {
  std::vector<double> out;
  for (size_t i = 0; i < in.size(); ++i) {
    f.SetCutoff(Cutoff(static_cast<int>(i)));
    out.push_back(f.ProcessSample(in[i]));
  }
  return out;
}

}  // namespace

TEST(MultiBandFilterBT, StartsAtTypeZeroAndRefusesUnknownCodes) {
  MultiBandFilterBT h;
  EXPECT_EQ(h.Type(), 0);
  EXPECT_EQ(h.FilterCount(), 7);
  EXPECT_EQ(h.Active(), h.Filter(0));
  for (int c = 0; c < 7; ++c) EXPECT_NE(h.Filter(c), nullptr);
  h.SetType(3);
  h.SetType(7);
  EXPECT_EQ(h.Type(), 3);
  h.SetType(-1);
  EXPECT_EQ(h.Type(), 3);
  EXPECT_EQ(h.Active(), h.Filter(3));
}

// The holder's switch must select the same arithmetic as each filter on its
// own, per sample and through the block sweep.
TEST(MultiBandFilterBT, EachCodeRunsItsOwnFilter) {
  const std::vector<double> in = Noise(3000);
  FilterLP2_BT lp2bt;
  FilterBP_BT bpbt;
  FilterLP2 lp2;
  FilterBP2 bp2;
  FilterHP1 hp1;
  WahBP2 wah5;
  WahBPBT wah6;
  const std::vector<std::vector<double>> expected = {
      SweepStandalone(lp2bt, in), SweepStandalone(bpbt, in), SweepStandalone(lp2, in),
      SweepStandalone(bp2, in),   SweepStandalone(hp1, in),  SweepStandalone(wah5, in),
      SweepStandalone(wah6, in)};
  for (int code = 0; code < 7; ++code) {
    MultiBandFilterBT perSample, block;
    perSample.SetType(code);
    block.SetType(code);
    std::vector<double> cutoffs, out(in.size());
    for (size_t i = 0; i < in.size(); ++i) cutoffs.push_back(Cutoff(static_cast<int>(i)));
    block.ProcessSwept(cutoffs.data(), in.data(), out.data(), static_cast<int>(in.size()));
    for (size_t i = 0; i < in.size(); ++i) {
      perSample.SetCutoff(cutoffs[i]);
      ASSERT_EQ(perSample.ProcessSample(in[i]), expected[code][i]) << code << " " << i;
      ASSERT_EQ(out[i], expected[code][i]) << code << " " << i;
    }
    EXPECT_EQ(perSample.Cutoff(), cutoffs.back());
  }
}

TEST(MultiBandFilterBT, SampleRateReachesUnselectedFilters) {
  MultiBandFilterBT h;
  h.SetSampleRate(22050.0);
  h.SetType(3);
  FilterBP2 ref;
  ref.SetSampleRate(22050.0);
  const std::vector<double> in = Noise(500);
  for (size_t i = 0; i < in.size(); ++i) {
    h.SetCutoff(1000.0);
    ref.SetCutoff(1000.0);
    ASSERT_EQ(h.ProcessSample(in[i]), ref.ProcessSample(in[i]));
  }
  EXPECT_EQ(h.WahOverBP2().SampleRate(), 22050.0);
  EXPECT_EQ(h.WahOverBP2().HighPassFilter().SampleRate(), 22050.0);
  EXPECT_EQ(h.WahOverBPBT().NarrowBand().SampleRate(), 22050.0);
}

TEST(MultiBandFilterBT, ResetStateThenSilenceGivesExactZeros) {
  const std::vector<double> in = Noise(400);
  for (int code = 0; code < 7; ++code) {
    MultiBandFilterBT h;
    h.SetType(code);
    h.SetResonance(4.0);
    h.SetCutoff(700.0);
    for (double x : in) h.ProcessSample(x);
    h.ResetState();
    for (int i = 0; i < 100; ++i) ASSERT_EQ(h.ProcessSample(0.0), 0.0) << code;
  }
}

TEST(MultiBandFilterBT, ResonanceAndCutoffGoToTheActiveFilterOnly) {
  MultiBandFilterBT h;
  h.SetType(2);
  h.SetResonance(3.0);
  h.SetCutoff(1234.0);
  const auto* lp2 = static_cast<const FilterLP2*>(h.Filter(2));
  const auto* lp2bt = static_cast<const FilterLP2_BT*>(h.Filter(0));
  EXPECT_EQ(lp2->Resonance(), 3.0);
  EXPECT_EQ(lp2->Cutoff(), 1234.0);
  EXPECT_EQ(lp2bt->Resonance(), 0.7);
  EXPECT_EQ(lp2bt->Cutoff(), 3000.0);
}

TEST(MultiBandFilterBT, ProfileErrorCarriesTheActiveClassMessage) {
  const char* messages[] = {"FilterLP2_BT", "FilterBP_BT", "FilterLP2", "FilterBP2",
                            "FilterHP1",    "FilterBP2",   "FilterBP2"};
  for (int code = 0; code < 7; ++code) {
    MultiBandFilterBT h;
    h.SetType(code);
    h.SetCutoff(1000.0);
    std::vector<float> profile(200, 3.0f);
    const std::vector<float> freqs(199, 500.0f);
    try {
      h.GetFRProfile(profile, freqs);
      ADD_FAILURE() << "no error for code " << code;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string(messages[code]) + "::GetFRProfile incompatible sizes");
    }
    for (float v : profile) ASSERT_EQ(v, 3.0f);
  }
}

TEST(WahSimple, PositionAndQAcrossTheRangeWhenRising) {
  WahBP2 wah;
  wah.SetOrientation(-1.0);
  wah.SetResonance(2.0);
  wah.SetCutoff(380.0);
  EXPECT_EQ(wah.Position(), 0.0);
  EXPECT_EQ(wah.Q1(), 2.0);
  EXPECT_EQ(wah.HighPassCutoff(), 0.0);
  EXPECT_EQ(wah.HighPassFilter().Feedback(), 1.0);
  wah.SetCutoff(1115.0);
  EXPECT_DOUBLE_EQ(wah.Position(), 0.5);
  EXPECT_DOUBLE_EQ(wah.Q1(), 2.0 * 2.25);
  EXPECT_DOUBLE_EQ(wah.NarrowBand().Resonance(), 4.5);
  EXPECT_EQ(wah.NarrowBand().Cutoff(), 1115.0);
  EXPECT_EQ(wah.WideBand().Cutoff(), 1115.0);
  EXPECT_EQ(wah.WideBand().Resonance(), 0.15);
  for (double fc : {1850.0, 4000.0}) {
    wah.SetCutoff(fc);
    EXPECT_NEAR(wah.Position(), 1.0, 1e-15);
    EXPECT_DOUBLE_EQ(wah.Q1(), 7.0);
  }
  wah.SetCutoff(200.0);
  EXPECT_EQ(wah.Position(), 0.0);
}

TEST(WahSimple, PositionAndHighPassWhenFalling) {
  WahBPBT wah;  // orientation +1 from construction
  wah.SetCutoff(380.0);
  EXPECT_EQ(wah.Position(), 1.0);
  EXPECT_EQ(wah.HighPassCutoff(), 200.0);
  EXPECT_DOUBLE_EQ(wah.Q1(), 4.0 * 3.5);
  wah.SetCutoff(1115.0);
  EXPECT_DOUBLE_EQ(wah.Position(), 0.5);
  EXPECT_DOUBLE_EQ(wah.HighPassCutoff(), 112.5);
  wah.SetCutoff(1850.0);
  EXPECT_NEAR(wah.Position(), 0.0, 1e-15);
  EXPECT_NEAR(wah.HighPassCutoff(), 100.0, 1e-12);
}

TEST(WahSimple, ProfileAtRisingOrientationIsTwiceTheBandSum) {
  WahBP2 wah;
  wah.SetOrientation(-1.0);
  wah.SetCutoff(900.0);
  std::vector<float> freqs, profile(50);
  for (int i = 0; i < 50; ++i)
    freqs.push_back(static_cast<float>(100.0 * std::pow(40.0, i / 49.0)));
  wah.GetFRProfile(profile, freqs);
  for (size_t i = 0; i < freqs.size(); ++i) {
    const double f = freqs[i];
    const double m = ((wah.Position() + 1.0) * 2.0 * wah.NarrowBand().Response(f) +
                      0.5 * wah.WideBand().Response(f)) *
                     0.5;
    EXPECT_FLOAT_EQ(profile[i], static_cast<float>(2.0 * m)) << f;
  }
  // With the high-pass in play the profile drops towards 0 Hz.
  WahBP2 falling;
  falling.SetCutoff(900.0);
  std::vector<float> p(2);
  falling.GetFRProfile(p, {20.0f, 900.0f});
  EXPECT_LT(p[0], 0.1f * p[1]);
}

TEST(CutoffModulator, MapsBetweenLimitsWithCeiling) {
  CutoffModulator m;
  m.SetSampleRate(96000.0);
  EXPECT_EQ(m.limit, 20000.0);
  m.low = 4000.0;
  m.high = 250.0;  // sweeps may run downwards
  const double v[] = {0.0, 0.5, 1.0};
  m.Map(v, 3);
  ASSERT_EQ(m.output.size(), 3u);
  EXPECT_EQ(m.output[0], 4000.0);
  EXPECT_EQ(m.output[1], 2125.0);
  EXPECT_EQ(m.output[2], 250.0);
  m.high = 30000.0;
  m.Map(v, 3);
  EXPECT_EQ(m.output[2], 20000.0);
  // At 22.05 kHz and above the whole 125..4000 Hz range passes untouched.
  m.SetSampleRate(22050.0);
  m.low = 125.0;
  m.high = 4000.0;
  m.Map(v, 3);
  EXPECT_EQ(m.output[2], 4000.0);
}

// Below about 13 kHz the 4 kHz sweep limit would put the finite-difference
// filters past their stability limit; the modulator's bound keeps every kind
// stable while sweeping the full range.
TEST(CutoffModulator, EveryFilterStaysStableAtLowSampleRates) {
  const std::vector<double> noise = Noise(16000, 7);
  for (double fs : {8000.0, 11025.0}) {
    CutoffModulator m;
    m.SetSampleRate(fs);
    m.low = 125.0;
    m.high = 4000.0;
    std::vector<double> v(noise.size());
    for (size_t i = 0; i < v.size(); ++i) v[i] = 0.5 + 0.5 * std::cos(i * 0.01);
    m.Map(v.data(), static_cast<int>(v.size()));
    for (int code = 0; code < 7; ++code) {
      for (double q : {0.1, 1.0, 4.0}) {
        MultiBandFilterBT h;
        h.SetType(code);
        h.SetSampleRate(fs);
        h.SetResonance(q);
        std::vector<double> out(noise.size());
        h.ProcessSwept(m.output.data(), noise.data(), out.data(), static_cast<int>(noise.size()));
        double peak = 0.0;
        for (double y : out) peak = std::max(peak, std::fabs(y));
        EXPECT_TRUE(std::isfinite(peak)) << fs << " " << code << " " << q;
        EXPECT_LT(peak, 100.0) << fs << " " << code << " " << q;
      }
    }
  }
}
