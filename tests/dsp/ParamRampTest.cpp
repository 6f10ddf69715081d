#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/ParamRamp.h"

namespace {
std::vector<double> Steps(ParamRamp& r, int n) {
  std::vector<double> v(static_cast<size_t>(n));
  r.Fill(v.data(), n);
  return v;
}
}  // namespace

TEST(ParamRamp, ReachesTheTargetExactlyAfterItsLengthAndStaysThere) {
  ParamRamp r(0.1, 0.0, 1.0);
  r.SetLength(882);
  r.SetTarget(0.7);
  const std::vector<double> v = Steps(r, 1000);
  EXPECT_GT(v[0], 0.1);
  EXPECT_LT(v[0], 0.1 + 1e-4);  // leaves flat
  for (size_t i = 1; i < 881; ++i) ASSERT_GT(v[i], v[i - 1]) << i;
  EXPECT_LT(v[880], 0.7);
  for (size_t i = 881; i < v.size(); ++i) ASSERT_EQ(v[i], 0.7) << i;
  EXPECT_FALSE(r.Active());
  // Arrives flat too: the last steps are the smallest of the second half.
  EXPECT_LT(v[880] - v[879], v[700] - v[699]);
}

// A host applying automation once per block gives a new target every few
// hundred samples: the value bends towards each without a jump in its
// slope, so the steps of the path change gradually.
TEST(ParamRamp, NewTargetsBendThePathWithoutACorner) {
  ParamRamp r(0.0, 0.0, 1.0);
  r.SetLength(882);
  std::vector<double> v;
  double prev = 0.0;
  for (int block = 0; block < 40; ++block) {
    r.SetTarget(block / 40.0);
    for (int j = 0; j < 512; ++j) v.push_back(r.Next());
  }
  double worstCurvature = 0.0;
  double steepest = 0.0;
  for (size_t i = 2; i < v.size(); ++i) {
    const double step = v[i] - v[i - 1];
    worstCurvature = std::max(worstCurvature, std::fabs(step - (v[i - 1] - v[i - 2])));
    steepest = std::max(steepest, std::fabs(step));
    prev = v[i];
  }
  EXPECT_GT(steepest, 0.0);
  // A linear ramp restarted at each block would change its slope by up to
  // about a whole step at once; here each change is a small part of one.
  EXPECT_LT(worstCurvature, 0.05 * steepest);
  EXPECT_NEAR(prev, 39.0 / 40.0, 0.02);
  for (int j = 0; j < 882; ++j) r.Next();
  EXPECT_EQ(r.Value(), 39.0 / 40.0);
}

TEST(ParamRamp, TurningBackStaysInsideTheBoundsAndJumpEndsARamp) {
  ParamRamp r(0.1, 0.1, 4.0);
  r.SetLength(100);
  r.SetTarget(4.0);
  Steps(r, 50);  // steepest point, heading up
  r.SetTarget(0.1);
  for (double x : Steps(r, 200)) {
    ASSERT_GE(x, 0.1);
    ASSERT_LE(x, 4.0);
  }
  EXPECT_EQ(r.Value(), 0.1);
  r.SetTarget(2.0);
  r.Next();
  r.Jump(3.0);
  EXPECT_FALSE(r.Active());
  EXPECT_EQ(r.Next(), 3.0);
  r.SetTarget(1.0);
  r.Settle();
  EXPECT_EQ(r.Value(), 1.0);
  EXPECT_FALSE(r.Active());
}

// A change of sample rate during a ramp: it goes on from as far as it had
// come, inside the range, and ends on the target.
TEST(ParamRamp, ANewLengthDuringARampKeepsItsProgress) {
  ParamRamp r(0.0, 0.0, 1.0);
  r.SetLength(882);
  r.SetTarget(1.0);
  Steps(r, 441);
  const double halfway = r.Value();
  r.SetLength(160);
  EXPECT_EQ(r.Remaining(), 80);
  const std::vector<double> v = Steps(r, 100);
  EXPECT_GE(v[0], halfway);
  for (double x : v) ASSERT_LE(x, 1.0);
  EXPECT_EQ(v.back(), 1.0);
  r.SetTarget(0.0);
  r.SetLength(44100);
  EXPECT_EQ(r.Remaining(), 44100);
}
