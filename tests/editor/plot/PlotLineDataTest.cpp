// How samples reach a plot line: copied, kept in storage that never moves
// for an unchanged length, cleaned of values that cannot be drawn, safe to
// update while another thread renders; and rendering allocates nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "AllocationCounter.h"
#include "PlotTestSupport.h"
#include "editor/plot/IThickLineGen.h"
#include "raster/Fill.h"

using namespace plottest;

namespace {

template <typename T>
bool SameBitmaps(const plot::IBasePlotLine& a, const plot::IBasePlotLine& b) {
  const auto& x = *a.CurrentBitmap();
  const auto& y = *b.CurrentBitmap();
  for (int r = 0; r < x.GetHeight(); ++r)
    for (int c = 0; c < x.GetWidth(); ++c)
      if (At(x, c, r) != At(y, c, r)) return false;
  return true;
}

}  // namespace

template <typename T>
class PlotLineData : public ::testing::Test {};
TYPED_TEST_SUITE(PlotLineData, Precisions);

TYPED_TEST(PlotLineData, SamplesAreCopiedIntoStorageThatStays) {
  using T = TypeParam;
  auto line = MakeLine<T>(kOscArea);
  EXPECT_EQ(line->Data().count, 0);

  std::vector<T> v(200, T(0.25));
  line->SetData(v);
  const auto first = line->Data();
  ASSERT_EQ(first.count, 200);
  v.assign(200, T(0.75));  // the effect's vector changes; the copy does not
  EXPECT_EQ(line->Data()[0], T(0.25));

  line->SetData(v);
  EXPECT_EQ(line->Data().values, first.values);
  EXPECT_EQ(line->Data()[199], T(0.75));
  line->SetData(std::vector<T>(50, T(0.5)));  // shorter: same storage
  EXPECT_EQ(line->Data().values, first.values);
  EXPECT_EQ(line->Data().count, 50);
  line->SetData(v);
  EXPECT_EQ(line->Data().values, first.values);
  EXPECT_EQ(line->Data().count, 200);

  line->SetData(std::vector<T>(300, T(0.5)));  // longer: new storage
  EXPECT_NE(line->Data().values, first.values);
  EXPECT_EQ(line->Data().count, 300);
  EXPECT_EQ(line->Data()[299], T(0.5));
}

TYPED_TEST(PlotLineData, ValuesThatCannotBeDrawnAreCleaned) {
  using T = TypeParam;
  const T nan = std::numeric_limits<T>::quiet_NaN();
  const T inf = std::numeric_limits<T>::infinity();
  const T limit = plot::IPlotLineGen<T>::kSampleLimit;
  struct Case {
    T in, stored;
  } cases[] = {{nan, T(0)},        {inf, limit},     {-inf, -limit},      {T(1e30), limit},
               {T(-1e30), -limit}, {T(1.5), T(1.5)}, {T(-0.25), T(-0.25)}};
  std::vector<T> v;
  for (const Case& c : cases) v.push_back(c.in);
  auto line = MakeLine<T>(kOscArea);
  line->SetData(v);
  for (size_t i = 0; i < v.size(); ++i) EXPECT_EQ(line->Data()[int(i)], cases[i].stored) << i;

  // Drawn like the cleaned samples, far outside the plot clipped away.
  std::vector<T> wild(200, T(0.5)), tame(200, T(0.5));
  for (int i = 0; i < 7; ++i) {
    wild[size_t(20 * i + 10)] = cases[i].in;
    tame[size_t(20 * i + 10)] = cases[i].stored;
  }
  auto a = MakeLine<T>(kRespArea);
  auto b = MakeLine<T>(kRespArea);
  for (auto* l : {a.get(), b.get()}) {
    l->SetFillUnderCurve(true);
    l->SetDrawOutline(true);
  }
  a->SetData(wild);
  b->SetData(tame);
  ASSERT_TRUE(a->RenderLine());
  ASSERT_TRUE(b->RenderLine());
  EXPECT_TRUE(SameBitmaps<T>(*a, *b));
  EXPECT_GT(Covered(*a->CurrentBitmap()), 1000);
}

TYPED_TEST(PlotLineData, UpdatesWhileAnotherThreadRenders) {
  using T = TypeParam;
  auto line = MakeLine<T>(kRespArea);
  line->SetFillUnderCurve(true);
  line->SetDrawOutline(true);
  const std::vector<T> low(200, T(0.25)), high(200, T(0.75));
  line->SetData(low);

  std::atomic<bool> stop{false};
  std::thread parameterThread([&] {
    for (int i = 0; !stop.load(std::memory_order_relaxed); ++i) line->SetData(i % 2 ? high : low);
  });
  int rendered = 0;
  for (int i = 0; i < 300; ++i) rendered += line->RenderLine();
  stop.store(true);
  parameterThread.join();
  EXPECT_EQ(rendered, 300);

  // Once the updates stop, the next render shows the last samples exactly.
  line->SetData(high);
  ASSERT_TRUE(line->RenderLine());
  auto fresh = MakeLine<T>(kRespArea);
  fresh->SetFillUnderCurve(true);
  fresh->SetDrawOutline(true);
  fresh->SetData(high);
  ASSERT_TRUE(fresh->RenderLine());
  EXPECT_TRUE(SameBitmaps<T>(*line, *fresh));
}

TYPED_TEST(PlotLineData, ALineRendersAgainOnlyAfterItsSamplesOrLookChange) {
  using T = TypeParam;
  auto line = MakeLine<T>(kOscArea);
  line->SetData(std::vector<T>(200, T(0.5)));
  ASSERT_TRUE(line->RenderLine());
  const int covered = Covered(*line->CurrentBitmap());
  ASSERT_GT(covered, 0);
  // Wiped behind its back: an unchanged line keeps the bitmap as it is.
  raster::Clear(line->CurrentBitmap(), 0);
  EXPECT_TRUE(line->RenderLine());
  EXPECT_EQ(Covered(*line->CurrentBitmap()), 0);
  line->SetData(std::vector<T>(200, T(0.5)));
  EXPECT_TRUE(line->RenderLine());
  EXPECT_EQ(Covered(*line->CurrentBitmap()), covered);
  raster::Clear(line->CurrentBitmap(), 0);
  line->SetThickness(T(3));
  EXPECT_TRUE(line->RenderLine());
  EXPECT_GT(Covered(*line->CurrentBitmap()), covered);
  line->SetEnabled(false);
  EXPECT_FALSE(line->RenderLine());
  EXPECT_FALSE(line->RenderLine());
  EXPECT_EQ(Covered(*line->CurrentBitmap()), 0);
}

TYPED_TEST(PlotLineData, RenderingAndUpdatesOfTheSameLengthAllocateNothing) {
  using T = TypeParam;
  auto curve = MakeLine<T>(kOscArea);
  auto filled = MakeLine<T>(kRespArea);
  filled->SetFillUnderCurve(true);
  filled->SetDrawOutline(true);
  filled->SetGlowPasses(3);
  std::vector<T> a(200), b(200);
  for (int i = 0; i < 200; ++i) {
    a[size_t(i)] = T(i % 17) / T(16);
    b[size_t(i)] = T(1) - a[size_t(i)];
  }
  curve->SetData(a);
  filled->SetData(a);

  testsupport::AllocationCounter allocations;
  bool drawn = true;
  for (int i = 0; i < 10; ++i) {
    curve->SetData(i % 2 ? a : b);
    filled->SetData(i % 2 ? b : a);
    drawn = curve->RenderLine() && filled->RenderLine() && drawn;
  }
  EXPECT_TRUE(drawn);
  EXPECT_EQ(allocations.Count(), 0);
}
