#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "dsp/FilterBP2.h"
#include "dsp/FilterBP_BT.h"
#include "dsp/FilterHP1.h"
#include "dsp/FilterLP2.h"
#include "dsp/FilterLP2_BT.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Steady-state peak amplitude of the filter's output for a unit sine at f.
template <class F>
double MeasuredGain(F& filter, double f, double fs) {
  const int settle = static_cast<int>(fs);  // one second
  const int measure = static_cast<int>(fs / 2);
  double peak = 0.0;
  for (int n = 0; n < settle + measure; ++n) {
    const double y = filter.ProcessSample(std::sin(kTwoPi * f * n / fs));
    if (n >= settle) peak = std::max(peak, std::fabs(y));
  }
  return peak;
}

template <class F>
std::string SizeErrorMessage() {
  F filter;
  filter.SetCutoff(1000.0);
  std::vector<float> profile(200, 7.0f);
  const std::vector<float> freqs(199, 1000.0f);
  try {
    filter.GetFRProfile(profile, freqs);
  } catch (const std::invalid_argument& e) {
    for (float v : profile) EXPECT_EQ(v, 7.0f);  // untouched
    return e.what();
  }
  return "no error";
}

}  // namespace

// The design at 3 kHz, Q 0.7, 44.1 kHz: output scale g = 1/(b/fs + 1) with
// b = pi*fc/Q, input c^2 and feedback 2 - c^2 and b/fs - 1 with c =
// 2*pi*fc/fs (values worked out separately); the filter folds g in.
TEST(FilterLP2, ConstructionCoefficients) {
  FilterLP2 f;
  const FilterLP2::Coefficients c = f.GetCoefficients();
  const double g = 0.7661042339048187;
  EXPECT_NEAR(c.cx, g * 0.18269432923484397, 1e-16);
  EXPECT_NEAR(c.cy1, g * 1.817305670765156, 1e-15);
  EXPECT_NEAR(c.cy2, g * -0.6946945914878724, 1e-15);
  // Setting the same values again gives the same numbers.
  f.SetSampleRate(44100.0);
  f.SetResonance(0.7);
  f.SetCutoff(3000.0);
  EXPECT_EQ(f.GetCoefficients().cx, c.cx);
  EXPECT_EQ(f.GetCoefficients().cy2, c.cy2);
}

TEST(FilterLP2, UnityGainAtDcAndResponseValues) {
  FilterLP2 f;
  f.SetResonance(4.0);
  f.SetCutoff(500.0);
  double y = 0.0;
  for (int n = 0; n < 44100; ++n) y = f.ProcessSample(0.75);
  EXPECT_NEAR(y, 0.75, 1e-12);

  std::vector<float> profile(3);
  f.GetFRProfile(profile, {0.0f, 500.0f, 20000.0f});
  EXPECT_FLOAT_EQ(profile[0], 0.25f);  // 1/Q at 0 Hz
  EXPECT_EQ(profile[1], 1.0f);         // exactly 1 at fc
  EXPECT_LT(profile[2], 0.01f);
}

TEST(FilterBP2, CentreResponseIsOneWhileAudioCarriesGain) {
  FilterBP2 f;
  EXPECT_EQ(f.Gain(), 2.5);
  f.SetResonance(2.0);
  f.SetCutoff(200.0);
  std::vector<float> profile(1);
  f.GetFRProfile(profile, {200.0f});
  EXPECT_FLOAT_EQ(profile[0], 1.0f);
  // At a low centre the finite-difference design is close to its analogue
  // model, so the audio gain at the centre is the output gain.
  EXPECT_NEAR(MeasuredGain(f, 200.0, 44100.0), 2.5, 0.03);
}

TEST(FilterHP1, UnitFeedbackPassesInputUnchanged) {
  FilterHP1 f;
  f.SetCutoff(0.0);
  EXPECT_EQ(f.Feedback(), 1.0);
  const double in[] = {0.5, -0.25, 1.0, 0.125, -1.0};
  double out[5];
  f.Process(in, out, 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], in[i]);
}

TEST(FilterHP1, ResponseAndMeasuredGainAgree) {
  FilterHP1 f;
  f.SetCutoff(200.0);
  std::vector<float> profile(2);
  f.GetFRProfile(profile, {200.0f, 0.0f});
  EXPECT_FLOAT_EQ(profile[0], static_cast<float>(1.0 / std::sqrt(2.0)));
  EXPECT_EQ(profile[1], 0.0f);
  EXPECT_NEAR(MeasuredGain(f, 200.0, 44100.0), 1.0 / std::sqrt(2.0), 0.01);
}

// The bilinear designs' response formulas are the exact magnitudes of the
// digital filters, so a measured sine gain must match them closely.
TEST(BilinearFilters, ResponseMatchesMeasuredGain) {
  for (double f : {100.0, 900.0, 2500.0, 9000.0}) {
    FilterLP2_BT lp;
    lp.SetSampleRate(48000.0);
    lp.SetResonance(3.0);
    lp.SetCutoff(1200.0);
    EXPECT_NEAR(MeasuredGain(lp, f, 48000.0), lp.Response(f), 2e-3 * lp.Response(f) + 1e-6) << f;
    FilterBP_BT bp;
    bp.SetSampleRate(48000.0);
    bp.SetResonance(3.0);
    bp.SetCutoff(1200.0);
    EXPECT_NEAR(MeasuredGain(bp, f, 48000.0), bp.Response(f), 2e-3 * bp.Response(f) + 1e-6) << f;
  }
  FilterLP2_BT lp;
  EXPECT_DOUBLE_EQ(lp.Response(0.0), 1.0);
  FilterBP_BT bp;
  bp.SetCutoff(1000.0);
  EXPECT_NEAR(bp.Response(1000.0), 1.0, 0.02);  // no pre-warping: near, not at, fc
}

TEST(Filters, SizeMismatchRaisesTheClassMessage) {
  EXPECT_EQ(SizeErrorMessage<FilterHP1>(), "FilterHP1::GetFRProfile incompatible sizes");
  EXPECT_EQ(SizeErrorMessage<FilterLP2>(), "FilterLP2::GetFRProfile incompatible sizes");
  EXPECT_EQ(SizeErrorMessage<FilterBP2>(), "FilterBP2::GetFRProfile incompatible sizes");
  EXPECT_EQ(SizeErrorMessage<FilterLP2_BT>(), "FilterLP2_BT::GetFRProfile incompatible sizes");
  EXPECT_EQ(SizeErrorMessage<FilterBP_BT>(), "FilterBP_BT::GetFRProfile incompatible sizes");

  FilterLP2 f;
  std::vector<float> empty;
  f.GetFRProfile(empty, {});
  EXPECT_TRUE(empty.empty());
}

TEST(Filters, ProcessVectorUsesTheShorterLengthInPlace) {
  FilterLP2 a, b;
  std::vector<double> in = {1.0, 0.5, -0.5, 0.25};
  std::vector<double> out(2, 9.0);
  a.ProcessVector(in, out);
  EXPECT_EQ(out[0], b.ProcessSample(1.0));
  EXPECT_EQ(out[1], b.ProcessSample(0.5));

  FilterBP2 c, d;
  c.SetCutoff(800.0);
  d.SetCutoff(800.0);
  std::vector<double> buf = in;
  c.Process(buf.data(), buf.data(), 4);  // in place
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(buf[i], d.ProcessSample(in[i]));
  c.Process(buf.data(), buf.data(), 0);  // nothing
  c.Process(buf.data(), buf.data(), -3);
}
