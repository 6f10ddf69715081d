// The knobs' value texts: what the readouts show at the ends of each range
// and at typical values, and what typed texts set.
#include <gtest/gtest.h>

#include <string>

#include "quillwave/Quillwave.h"
#include "quillwave/QuillwaveValueTexts.h"

namespace {

using Q = Quillwave;
using T = QuillwaveValueTexts;

std::string Text(int param, double value, double prefix = 0.0) {
  char text[32];
  T::FormatValue(param, value, prefix, text, sizeof text);
  return text;
}

struct Shown {
  int param;
  double value;
  double prefix;
  const char* text;
};

TEST(ValueTexts, EachKnobShowsItsValueInMusicalUnits) {
  const Shown cases[] = {
      {Q::kMix, 0.0, 0, "0 %"},
      {Q::kMix, 0.64, 0, "64 %"},
      {Q::kMix, 1.0, 0, "100 %"},
      {Q::kLfoFrequency, 0.1, 0, "0.1 Hz"},
      {Q::kLfoFrequency, 6.0, 0, "6.0 Hz"},
      {Q::kLfoFrequency, 32.0, 0, "32.0 Hz"},
      {Q::kNote, 0.0, 0, "1/1"},
      {Q::kNote, 3.0, 2, "1/8 triplet"},
      {Q::kNote, 3.9, 1, "1/8 \xc3\x97" "4/3"},  // the effect truncates both
      {Q::kNote, 6.0, 0, "1/64"},
      {Q::kPhase, 0.5, 0, "-180\xc2\xb0"},
      {Q::kPhase, 1.5, 0, "0\xc2\xb0"},
      {Q::kPhase, 1.75, 0, "+45\xc2\xb0"},
      {Q::kPhase, 2.5, 0, "+180\xc2\xb0"},
      {Q::kSymmetry, 0.0, 0, "0 %"},
      {Q::kSymmetry, 1.0, 0, "100 %"},
      {Q::kShape, 0.0, 0, "cosine"},
      {Q::kShape, 0.4, 0, "cos/tri 40 %"},
      {Q::kShape, 1.0, 0, "triangle"},
      {Q::kShape, 1.25, 0, "tri/sq 25 %"},
      {Q::kShape, 2.0, 0, "square"},
      {Q::kCutoff1, 0.0, 0, "125 Hz"},
      {Q::kCutoff1, 0.2, 0, "250 Hz"},
      {Q::kCutoff1, 0.264, 0, "312 Hz"},
      {Q::kCutoff2, 0.6, 0, "1.00 kHz"},
      {Q::kCutoff2, 1.0, 0, "4.00 kHz"},
      {Q::kResonance, 0.1, 0, "Q 0.10"},
      {Q::kResonance, 2.1, 0, "Q 2.10"},
      {Q::kResonance, 4.0, 0, "Q 4.00"},
  };
  for (const Shown& c : cases)
    EXPECT_EQ(Text(c.param, c.value, c.prefix), c.text) << "parameter " << c.param << " at "
                                                       << c.value;
  // A short buffer gets a cut, terminated text.
  char small[4];
  T::FormatValue(Q::kCutoff1, 1.0, 0.0, small, sizeof small);
  EXPECT_STREQ(small, "4.0");
}

struct Typed {
  int param;
  const char* text;
  double value;
};

TEST(ValueTexts, TypedTextsReadWithOrWithoutTheirUnitAndClampToTheRange) {
  const Typed cases[] = {
      {Q::kMix, "64", 0.64},
      {Q::kMix, " 64 % ", 0.64},
      {Q::kMix, "250", 1.0},
      {Q::kMix, "-5", 0.0},
      {Q::kLfoFrequency, "6", 6.0},
      {Q::kLfoFrequency, "6.5 hz", 6.5},
      {Q::kLfoFrequency, ".5Hz", 0.5},
      {Q::kLfoFrequency, "100", 32.0},
      {Q::kNote, "1/8", 3.0},
      {Q::kNote, "16", 4.0},
      {Q::kNote, "1/8 triplet", 3.0},
      {Q::kNote, "1/128", 6.0},
      {Q::kPhase, "+45\xc2\xb0", 1.75},
      {Q::kPhase, "-90", 1.0},
      {Q::kPhase, "720 deg", 2.5},
      {Q::kShape, "triangle", 1.0},
      {Q::kShape, "cos/tri 40 %", 0.4},
      {Q::kShape, "tri/sq 25 %", 1.25},
      {Q::kShape, "1.5", 1.5},
      {Q::kCutoff1, "250", 0.2},
      {Q::kCutoff1, "0.5k", 0.4},
      {Q::kCutoff1, "1 kHz", 0.6},
      {Q::kCutoff1, "20", 0.0},
      {Q::kCutoff2, "10k", 1.0},
      {Q::kCutoff2, "0", 0.0},
      {Q::kResonance, "Q 2.1", 2.1},
      {Q::kResonance, "2.1", 2.1},
      {Q::kResonance, "0", 0.1},
  };
  for (const Typed& c : cases) {
    double v = -1.0;
    ASSERT_TRUE(T::ParseValue(c.param, c.text, &v)) << "parameter " << c.param << ": " << c.text;
    EXPECT_NEAR(v, c.value, 1e-9) << "parameter " << c.param << ": " << c.text;
  }
}

TEST(ValueTexts, TextThatIsNoValueIsRefused) {
  const Typed junk[] = {
      {Q::kMix, "", 0},          {Q::kMix, "abc", 0},       {Q::kMix, "5 Hz", 0},
      {Q::kMix, "1e400", 0},     {Q::kMix, "--5", 0},       {Q::kLfoFrequency, "6 %", 0},
      {Q::kNote, "3/8", 0},      {Q::kNote, "1/", 0},       {Q::kCutoff1, "300 Hz x", 0},
      {Q::kResonance, "Q", 0},   {Q::kShape, "sine", 0},    {Q::kPhase, "45 %", 0},
      {Q::kTempoSync, "1", 0},   {Q::kFilterMode, "1", 0},  {Q::kPrefix, "1", 0},
  };
  for (const Typed& c : junk) {
    double v = -1.0;
    EXPECT_FALSE(T::ParseValue(c.param, c.text, &v)) << "parameter " << c.param << ": " << c.text;
    EXPECT_EQ(v, -1.0);
  }
}

TEST(ValueTexts, EveryShownTextReadsBackToTheValueItShows) {
  const T texts;
  for (int param = 0; param < Q::kParamCount; ++param) {
    if (!texts.Handles(param)) continue;
    for (int i = 0; i <= 40; ++i) {
      const double n = i / 40.0;
      char text[32];
      texts.Format(param, n, text, sizeof text);
      double back = -1.0;
      ASSERT_TRUE(texts.Parse(param, text, &back)) << param << ": " << text;
      char again[32];
      texts.Format(param, back, again, sizeof again);
      EXPECT_STREQ(again, text) << "parameter " << param << " at " << n;
    }
  }
}

}  // namespace
