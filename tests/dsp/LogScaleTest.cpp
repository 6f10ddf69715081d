// The logarithmic frequency axis of the response plot.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "dsp/LogScale.h"

TEST(LogScale, ResponseAxisFrom100To4000Hz) {
  LogScale s;
  s.SetRange(100.0f, 4000.0f, 200);
  const auto& p = s.Points();
  ASSERT_EQ(p.size(), 200u);
  EXPECT_FLOAT_EQ(p.front(), 100.0f);
  EXPECT_FLOAT_EQ(p.back(), 4000.0f);
  // Geometric spacing: a constant ratio 40^(1/199) between neighbours.
  const double ratio = std::pow(40.0, 1.0 / 199.0);
  for (size_t i = 1; i < p.size(); ++i)
    ASSERT_NEAR(double(p[i]) / double(p[i - 1]), ratio, 1e-6) << i;
  for (size_t i : {1u, 57u, 99u, 150u, 198u})
    EXPECT_NEAR(p[i], 100.0 * std::pow(40.0, i / 199.0), 100.0 * std::pow(40.0, i / 199.0) * 1e-6)
        << i;

  EXPECT_FLOAT_EQ(s.Low(), 100.0f);
  EXPECT_FLOAT_EQ(s.High(), 4000.0f);
  EXPECT_FLOAT_EQ(s.LowDb(), 40.0f);
  EXPECT_NEAR(s.HighDb(), 20.0 * std::log10(4000.0), 1e-5);
  EXPECT_FLOAT_EQ(s.DbSpan(), s.HighDb() - s.LowDb());
}

TEST(LogScale, SmallAndRepeatedRanges) {
  LogScale s;
  s.SetRange(1.0f, 100.0f, 3);  // 0, 20 and 40 dB
  ASSERT_EQ(s.Points().size(), 3u);
  EXPECT_FLOAT_EQ(s.Points()[0], 1.0f);
  EXPECT_FLOAT_EQ(s.Points()[1], 10.0f);
  EXPECT_FLOAT_EQ(s.Points()[2], 100.0f);

  // A new range replaces the points, shrinking or growing the list.
  s.SetRange(20.0f, 20000.0f, 2);
  ASSERT_EQ(s.Points().size(), 2u);
  EXPECT_FLOAT_EQ(s.Points()[0], 20.0f);
  EXPECT_FLOAT_EQ(s.Points()[1], 20000.0f);
  s.SetRange(0.5f, 2.0f, 5);
  ASSERT_EQ(s.Points().size(), 5u);
  EXPECT_FLOAT_EQ(s.Points()[2], 1.0f);
}

TEST(LogScale, InvalidRangesThrowAndKeepThePoints) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float low, high;
    int count;
    const char* why;
  } cases[] = {
      {4000.0f, 100.0f, 200, "reversed"},        {100.0f, 100.0f, 200, "empty span"},
      {0.0f, 4000.0f, 200, "zero low bound"},    {100.0f, 0.0f, 200, "zero high bound"},
      {0.0f, 0.0f, 200, "both bounds zero"},     {-100.0f, 4000.0f, 200, "negative bound"},
      {nan, 4000.0f, 200, "bound not a number"}, {100.0f, inf, 200, "infinite bound"},
      {100.0f, 4000.0f, 1, "one point"},         {100.0f, 4000.0f, 0, "no points"},
      {100.0f, 4000.0f, -5, "negative count"},
  };
  LogScale s;
  s.SetRange(100.0f, 4000.0f, 200);
  const auto before = s.Points();
  for (const Case& c : cases) {
    try {
      s.SetRange(c.low, c.high, c.count);
      ADD_FAILURE() << "no error for " << c.why;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), "invalid argument of log scale");
    }
    EXPECT_EQ(s.Points(), before) << c.why;
    EXPECT_FLOAT_EQ(s.Low(), 100.0f);
    EXPECT_FLOAT_EQ(s.High(), 4000.0f);
  }
}
