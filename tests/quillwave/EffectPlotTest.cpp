// Plot data the effect prepares for its editor, read from the class itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "HostedQuillwave.h"
#include "quillwave/Quillwave.h"

namespace {
vst::VstIntPtr NoHost(vst::AEffect*, vst::VstInt32, vst::VstInt32, vst::VstIntPtr, void*, float) {
  return 0;
}
}  // namespace

TEST(EffectPlots, CurveAndResponsesAfterOpen) {
  HostedQuillwave qHost(&NoHost);
  Quillwave& q = qHost.Plugin();
  vst::AEffect* e = qHost.Effect();
  e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);

  const auto& freqs = q.ResponseFrequencies();
  ASSERT_EQ(freqs.size(), 200u);
  EXPECT_FLOAT_EQ(freqs.front(), 100.0f);
  EXPECT_FLOAT_EQ(freqs.back(), 4000.0f);
  EXPECT_FLOAT_EQ(freqs[99], static_cast<float>(100.0 * std::pow(40.0, 99.0 / 199.0)));

  // Default triangle: a whole period with the first and last point equal.
  const auto& curve = q.OscillatorCurve();
  ASSERT_EQ(curve.size(), 200u);
  EXPECT_NEAR(curve.front(), curve.back(), 1e-12);
  EXPECT_EQ(*std::max_element(curve.begin(), curve.end()), curve.front());
  EXPECT_NEAR(*std::min_element(curve.begin(), curve.end()), 0.0, 0.01);

  // Both responses share one decibel scale spanning 0..1.
  for (int mode = 0; mode < 3; ++mode) {
    e->setParameter(e, Quillwave::kFilterMode, mode / 2.0f);
    const auto& p1 = q.ResponseProfile(0);
    const auto& p2 = q.ResponseProfile(1);
    ASSERT_EQ(p1.size(), 200u);
    ASSERT_EQ(p2.size(), 200u);
    float mx = 0.0f, mn = 1.0f;
    for (const auto* p : {&p1, &p2})
      for (float v : *p) {
        mx = std::max(mx, v);
        mn = std::min(mn, v);
      }
    EXPECT_FLOAT_EQ(mx, 1.0f) << mode;
    EXPECT_FLOAT_EQ(mn, 0.0f) << mode;
    // The low-pass at 250 Hz lies below the one at 500 Hz above both cutoffs.
    if (mode == 0) {
      EXPECT_LT(p1[150], p2[150]);
    }
  }

  // A curve parameter re-renders the curve: Shape 0 gives the cosine.
  e->setParameter(e, Quillwave::kShape, 0.0f);
  e->setParameter(e, Quillwave::kSymmetry, 0.5f);
  e->setParameter(e, Quillwave::kPhase, 0.75f);  // 2.0 half-periods
  // With no editor open the curve is drawn when asked for.
  const auto& redrawn = q.OscillatorCurve();
  for (int i = 0; i < 200; ++i)
    ASSERT_NEAR(redrawn[i], (std::cos(6.283185307179586 * i / 199.0) + 1.0) / 2.0, 1e-9);
}
