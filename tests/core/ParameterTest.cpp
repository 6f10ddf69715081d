#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <cstring>
#include <limits>

#include "core/IParameter.h"

namespace {
std::string Display(const IParameter& p) {
  char text[IParameter::kTextSize];
  p.DisplayForHost(text);
  return text;
}
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

TEST(IParameter, FreshParameterIsUndefinedOverZeroToOne) {
  IParameter p;
  EXPECT_EQ(p.GetKind(), IParameter::kUndefined);
  EXPECT_EQ(p.Value(), 0.0);
  EXPECT_EQ(p.Min(), 0.0);
  EXPECT_EQ(p.Max(), 1.0);
  EXPECT_EQ(p.Step(), 1.0);
  EXPECT_EQ(p.Shape(), 1.0);
  EXPECT_STREQ(p.Name(), "");
  EXPECT_EQ(p.DisplayTextCount(), 0);
}

TEST(IParameter, DisplayPrecisionFollowsTheStep) {
  const struct {
    double step;
    int precision;
  } cases[] = {{1, 0}, {0.1, 1}, {0.01, 2}, {0.001, 3}, {0.25, 2}, {1e-9, 6}, {2, 0}};
  for (const auto& c : cases) {
    IParameter p;
    p.DefineContinuous("x", 0, 0, 10, c.step);
    EXPECT_EQ(p.DisplayPrecision(), c.precision) << c.step;
  }
}

TEST(IParameter, DefinitionKeepsMaximumAboveMinimumPlusStepAndEarlierKind) {
  IParameter p;
  p.DefineContinuous("Tiny", 0.1, 0.1, 0.1, 0.001);
  EXPECT_DOUBLE_EQ(p.Max(), 0.101);
  EXPECT_EQ(p.GetKind(), IParameter::kContinuous);

  IParameter q;
  q.DefineInteger("FilterMode", 0, 0, 2);
  EXPECT_EQ(q.GetKind(), IParameter::kInteger);
  EXPECT_EQ(q.Step(), 1.0);
  q.DefineContinuous("Again", 0, 0, 2, 1, "", 0.0);  // kind and shape stay
  EXPECT_EQ(q.GetKind(), IParameter::kInteger);
  EXPECT_EQ(q.Shape(), 1.0);

  IParameter r;
  r.DefineContinuous("A name longer than thirty-one characters", 0, 0, 1, 0.01, "lbl", 2.0);
  EXPECT_EQ(std::string(r.Name()).size(), 31u);
  EXPECT_STREQ(r.Label(), "lbl");
  EXPECT_EQ(r.Shape(), 2.0);
}

TEST(IParameter, FormatsByPrecisionTruncatingIntegers) {
  IParameter mix;
  mix.DefineContinuous("Mix", 0.5, 0, 1, 0.01);
  EXPECT_EQ(Display(mix), "0.50");

  IParameter mode;
  mode.DefineInteger("FilterMode", 1, 0, 2);
  EXPECT_EQ(Display(mode), "1");
  mode.SetClamped(1.9);
  EXPECT_EQ(mode.Value(), 1.9);  // no rounding
  EXPECT_EQ(Display(mode), "1");

  mode.SetNegateDisplay(true);
  IParameter n;
  n.DefineInteger("n", 3, 0, 5);
  n.SetNegateDisplay(true);
  EXPECT_EQ(Display(n), "-3");
  double typed = 0;
  EXPECT_TRUE(n.ValueFromText("-2", &typed));  // typed as displayed
  EXPECT_EQ(typed, 2.0);

  char text[IParameter::kTextSize];
  mix.FormatValue(0.25, true, text, true);
  EXPECT_STREQ(text, "0.25");
  // Enormous normalised values from a host stay inside the buffer.
  mix.DisplayForHostNormalized(1e300, text);
  EXPECT_LT(std::strlen(text), size_t(IParameter::kTextSize));
  mode.DisplayForHostNormalized(1e300, text);
  EXPECT_LT(std::strlen(text), size_t(IParameter::kTextSize));
}

TEST(IParameter, NormalisedMappingRoundsNonContinuousHalvesUp) {
  IParameter mode;
  mode.DefineInteger("FilterMode", 0, 0, 2);
  mode.SetFromNormalized(0.74);
  EXPECT_EQ(mode.Value(), 1.0);
  mode.SetFromNormalized(0.75);
  EXPECT_EQ(mode.Value(), 2.0);
  mode.SetFromNormalized(1.0);
  EXPECT_EQ(mode.Value(), 2.0);

  IParameter mix;
  mix.DefineContinuous("Mix", 0.5, 0, 1, 0.01);
  mix.SetFromNormalized(1.2);
  EXPECT_EQ(mix.Value(), 1.0);
  mix.SetFromNormalized(-0.1);
  EXPECT_DOUBLE_EQ(mix.Value(), -0.1);  // no lower clamp
  mix.SetFromNormalized(0.333);
  EXPECT_DOUBLE_EQ(mix.Value(), 0.333);  // continuous: no step rounding

  IParameter freq;
  freq.DefineContinuous("LfoFrequency", 6, 0.1, 32, 0.1);
  EXPECT_DOUBLE_EQ(freq.ValueFromNormalized(0.25), 0.1 + 0.25 * 31.9);
  freq.SetFromNormalized(0.25);
  EXPECT_DOUBLE_EQ(freq.NormalizedFromValue(), 0.25);

  IParameter curved;
  curved.DefineContinuous("c", 0, 0, 100, 0.1, "", 2.0);
  curved.SetFromNormalized(0.5);
  EXPECT_DOUBLE_EQ(curved.Value(), 25.0);
  EXPECT_DOUBLE_EQ(curved.NormalizedFromValue(), 0.5);
}

TEST(IParameter, NonFiniteValuesNeverReachTheParameter) {
  IParameter p;
  p.DefineContinuous("Resonance", 4, 0.1, 4, 0.001);
  p.SetClamped(2.0);
  for (double bad : {kNaN, kInf, -kInf}) {
    p.SetFromNormalized(bad);
    EXPECT_EQ(p.Value(), 2.0);
    p.SetClamped(bad);
    EXPECT_EQ(p.Value(), 2.0);
  }
  // Typed text never yields a non-finite value: words are no numbers, and
  // numbers beyond the double range end at its edges.
  for (auto [text, expected] : {std::pair{"nan", 0.0},
                                {"-inf", 0.0},
                                {"1e-999", 0.0},
                                {"1e999", std::numeric_limits<double>::max()},
                                {"9", 9.0}}) {
    double v = -1;
    EXPECT_TRUE(p.ValueFromText(text, &v));
    EXPECT_EQ(v, expected) << text;
  }

  // A negative normalised value has no real power with a fractional shape.
  IParameter curved;
  curved.DefineContinuous("c", 3, 0, 10, 0.1, "", 1.5);
  curved.SetFromNormalized(-0.1);
  EXPECT_EQ(curved.Value(), 3.0);
  curved.SetFromNormalized(1e300);  // finite: clamped at the maximum
  EXPECT_EQ(curved.Value(), 10.0);
  p.SetFromNormalized(-1e308);  // would overflow below: no lower clamp to save it
  EXPECT_EQ(p.Value(), 2.0);
}

TEST(IParameter, DisplayTextsNameValuesAndParseBack) {
  IParameter p;
  p.DefineEnumeration("Wave", 1, 3);
  EXPECT_EQ(p.GetKind(), IParameter::kEnumeration);
  EXPECT_EQ(p.Max(), 2.0);
  p.AddDisplayText(0, "Sine");
  p.AddDisplayText(1, "Triangle");
  p.AddDisplayText(1, "Shadowed");
  p.AddDisplayText(2, "");
  p.SetClamped(1.7);
  EXPECT_EQ(Display(p), "Triangle");  // first entry of the truncated value
  p.SetClamped(2);
  EXPECT_EQ(Display(p), "2");  // empty text falls back to the number

  p.SetClamped(1);
  p.DefineEnumeration("Wave", 1, 3);  // definition keeps the list
  EXPECT_EQ(p.DisplayTextCount(), 4);

  IParameter labelled;
  labelled.DefineBoolean("Sync", true, "on?");
  EXPECT_STREQ(labelled.LabelForHost(), "on?");
  labelled.AddDisplayText(1, "On");
  EXPECT_STREQ(labelled.LabelForHost(), "");  // the text says it all
  labelled.SetClamped(0);
  EXPECT_STREQ(labelled.LabelForHost(), "on?");

  double v = -1;
  EXPECT_TRUE(p.ValueFromText("Sine", &v));
  EXPECT_EQ(v, 0.0);
  EXPECT_FALSE(p.ValueFromText("Sin", &v));  // exact match only
  EXPECT_FALSE(p.ValueFromText("1", &v));
}
