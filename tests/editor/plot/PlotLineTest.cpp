// Plot lines: where the samples land, the curve, the fill and its outline,
// the glow, and a line without data. Every case runs for float and double
// lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "PlotTestSupport.h"
#include "editor/plot/CurveGeometry.h"
#include "editor/plot/IThickLineGen.h"

using namespace plottest;

namespace {

// A one-pixel curve without glow: the work bitmap keeps it as drawn.
template <typename T>
void Unblurred(plot::IThickLineGen<T>& line) {
  line.SetGlowPasses(0);
  line.SetThickness(T(1));
}

template <typename T>
std::vector<T> Flat(T value, int n = 200) {
  return std::vector<T>(size_t(n), value);
}

std::vector<int> Range(int from, int to) {
  std::vector<int> v;
  for (int i = from; i <= to; ++i) v.push_back(i);
  return v;
}

}  // namespace

template <typename T>
class PlotLine : public ::testing::Test {};
TYPED_TEST_SUITE(PlotLine, Precisions);

TYPED_TEST(PlotLine, GeometryOfTheEditorsPlots) {
  using T = TypeParam;
  struct Case {
    IRect area;
    int count;
    T start, end;
    double step;
    int first, last;
    double bottom;
  } cases[] = {
      {kOscArea, 200, 0, 1, 139.0 / 199.0, 0, 199, 86},   // the oscillator plot
      {kRespArea, 200, 0, 1, 140.0 / 199.0, 0, 199, 58},  // the response plot
      {kOscArea, 2, 0, 1, 139.0, 0, 1, 86},
      {kOscArea, 200, T(0.5), 1, 139.0 / 199.0, 99, 199, 86},
      {kOscArea, 200, 0, T(0.25), 139.0 / 199.0, 0, 49, 86},
      {kOscArea, 200, -1, 2, 139.0 / 199.0, 0, 199, 86},  // fractions held to 0..1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.area.W() << "x" << c.area.H() << " n=" << c.count);
    const IRect inner{c.area.left + kMargin, c.area.top + kMargin, c.area.right - kMargin,
                      c.area.bottom - kMargin};
    const auto g = plot::CurveGeometry<T>::Make(inner, c.count, c.start, c.end);
    EXPECT_NEAR(g.step, c.step, 1e-5);
    EXPECT_EQ(g.first, c.first);
    EXPECT_EQ(g.last, c.last);
    EXPECT_EQ(g.X(0), T(3));
    EXPECT_NEAR(g.X(c.count - 1), c.area.W() - 3, 1e-4);
    EXPECT_EQ(g.Y(T(1)), T(3));  // 1.0 on the inner top
    EXPECT_EQ(g.Y(T(0)), T(c.bottom));
    EXPECT_EQ(g.Y(T(0.5)), T((3 + c.bottom) / 2));
  }
}

TYPED_TEST(PlotLine, FullAndEmptySamplesLieOnTheInnerEdges) {
  using T = TypeParam;
  for (auto [value, row] : {std::pair{T(1), 3}, std::pair{T(0), 86}}) {
    auto line = MakeLine<T>(kOscArea);
    Unblurred(*line);
    line->SetData(Flat(value));
    ASSERT_TRUE(line->RenderLine());
    const auto& work = *line->WorkBitmap();
    EXPECT_EQ(CoveredRows(work, 0, 144), std::vector<int>{row}) << value;
    EXPECT_EQ(CoveredColumns(work, row), Range(3, 142)) << value;
  }
}

TYPED_TEST(PlotLine, SamplesAreSpacedByTheInnerWidthOverTheirCount) {
  using T = TypeParam;
  // One sample at 1.0 among zeros: its peak touches the inner top at x(k).
  for (int k : {1, 50, 100, 157, 198, 199}) {
    auto line = MakeLine<T>(kOscArea);
    Unblurred(*line);
    auto d = Flat(T(0));
    d[size_t(k)] = T(1);
    line->SetData(d);
    ASSERT_TRUE(line->RenderLine());
    const double x = 3.0 + k * 139.0 / 199.0;
    const auto peak = CoveredColumns(*line->WorkBitmap(), 3);
    ASSERT_FALSE(peak.empty()) << k;
    for (int c : peak) EXPECT_LT(std::abs(c - x), 1.0) << "sample " << k << " column " << c;
  }
}

TYPED_TEST(PlotLine, FillStartsOnlyAfterMoreThanOnePixelOfAdvance) {
  using T = TypeParam;
  // Two samples one inner pixel apart: the curve never gets more than a
  // pixel past the left edge, so nothing is filled.
  auto narrow = MakeLine<T>({0, 0, 7, 12});
  Unblurred(*narrow);
  narrow->SetDrawCurve(false);
  narrow->SetFillUnderCurve(true);
  narrow->SetData(Flat(T(1), 2));
  ASSERT_TRUE(narrow->RenderLine());
  EXPECT_EQ(Covered(*narrow->WorkBitmap()), 0);

  // Two pixels apart: one strip from the left edge to a pixel before the
  // last sample, from the curve down to the baseline (the inner bottom).
  auto wider = MakeLine<T>({0, 0, 8, 12});
  Unblurred(*wider);
  wider->SetDrawCurve(false);
  wider->SetFillUnderCurve(true);
  wider->SetData(Flat(T(1), 2));
  ASSERT_TRUE(wider->RenderLine());
  EXPECT_EQ(CoveredRows(*wider->WorkBitmap(), 0, 7), Range(3, 9));
  for (int y = 3; y <= 9; ++y) EXPECT_EQ(CoveredColumns(*wider->WorkBitmap(), y), Range(3, 4));
}

TYPED_TEST(PlotLine, FillCoversEveryColumnUnderTheCurveFaintly) {
  using T = TypeParam;
  auto line = MakeLine<T>(kRespArea);
  Unblurred(*line);
  line->SetDrawCurve(false);
  line->SetFillUnderCurve(true);
  line->SetData(Flat(T(0.5)));  // y = 58 - 55 * 0.5 = 30.5
  ASSERT_TRUE(line->RenderLine());
  const auto& work = *line->WorkBitmap();
  EXPECT_EQ(CoveredRows(work, 0, 145), Range(30, 58));
  const auto columns = CoveredColumns(work, 45);
  ASSERT_FALSE(columns.empty());
  // Contiguous from the inner left to just before the last sample (x 143).
  EXPECT_EQ(columns.front(), 3);
  EXPECT_GE(columns.back(), 141);
  EXPECT_LE(columns.back(), 142);
  EXPECT_EQ(columns, Range(columns.front(), columns.back()));
  // 60 % of the line's 0.72 weight: ia = trunc(0.432 * 256) = 110 moves the
  // transparent pixel's alpha to 110; the colour stays the line colour.
  for (int x : {3, 70, 141}) EXPECT_EQ(At(work, x, 45), raster::MakePixel(110, 102, 90, 37)) << x;
}

TYPED_TEST(PlotLine, OutlineClosesTheFilledShape) {
  using T = TypeParam;
  auto filled = MakeLine<T>(kRespArea);
  auto outlined = MakeLine<T>(kRespArea);
  for (auto* line : {filled.get(), outlined.get()}) {
    Unblurred(*line);
    line->SetFillUnderCurve(true);
    line->SetData(Flat(T(0.5)));
  }
  outlined->SetDrawOutline(true);
  ASSERT_TRUE(filled->RenderLine());
  ASSERT_TRUE(outlined->RenderLine());
  const auto& a = *filled->WorkBitmap();
  const auto& b = *outlined->WorkBitmap();
  // Without the outline the baseline row and the inner left column carry
  // only the fill; with it they carry a line over the fill.
  for (int x = 4; x <= 141; ++x) {
    EXPECT_EQ(AlphaAt(a, x, 58), 110) << x;
    EXPECT_GT(AlphaAt(b, x, 58), 110) << x;
  }
  for (int y = 32; y <= 57; ++y) {  // below the curve's rows 30 and 31
    EXPECT_EQ(AlphaAt(a, 3, y), 110) << y;
    EXPECT_GT(AlphaAt(b, 3, y), 110) << y;
    // The right edge stands at the last sample, beyond the fill.
    EXPECT_EQ(AlphaAt(a, 143, y), 0) << y;
    EXPECT_GT(AlphaAt(b, 143, y), 0) << y;
  }
  // The outline needs the curve.
  outlined->SetDrawCurve(false);
  filled->SetDrawCurve(false);
  ASSERT_TRUE(outlined->RenderLine());
  ASSERT_TRUE(filled->RenderLine());
  EXPECT_EQ(CoveredRows(b, 143, 145), std::vector<int>{});
  for (int y = 0; y < 61; ++y)
    for (int x = 0; x < 146; ++x) ASSERT_EQ(At(a, x, y), At(b, x, y)) << x << "," << y;
}

TYPED_TEST(PlotLine, BaselineLevelPlacesTheFillsLowerEdge) {
  using T = TypeParam;
  auto line = MakeLine<T>(kOscArea);
  EXPECT_EQ(line->BaselineY(), T(86));  // the inner bottom at first
  struct Case {
    T level, storedLevel, y;
  } cases[] = {{T(0), T(0), T(86)},
               {T(1), T(1), T(3)},
               {T(0.5), T(0.5), T(44.5)},
               {T(-0.5), T(0), T(86)},
               {T(2), T(1), T(3)}};
  for (const Case& c : cases) {
    line->SetBaselineLevel(c.level);
    EXPECT_EQ(line->BaselineLevel(), c.storedLevel) << c.level;
    EXPECT_EQ(line->BaselineY(), c.y) << c.level;
  }

  // A baseline at the top fills from the curve upwards.
  Unblurred(*line);
  line->SetDrawCurve(false);
  line->SetFillUnderCurve(true);
  line->SetBaselineLevel(T(1));
  line->SetData(Flat(T(0.25)));  // y = 86 - 83 * 0.25 = 65.25
  ASSERT_TRUE(line->RenderLine());
  EXPECT_EQ(CoveredRows(*line->WorkBitmap(), 70, 70), Range(3, 65));
}

TYPED_TEST(PlotLine, RenderedLineGlowsAroundTheCurve) {
  using T = TypeParam;
  for (auto [value, row] : {std::pair{T(1), 3}, std::pair{T(0), 86}, std::pair{T(0.5), 44}}) {
    SCOPED_TRACE(value);
    auto line = MakeLine<T>(kOscArea);
    line->SetData(Flat(value));
    ASSERT_TRUE(line->RenderLine());
    const auto& main = *line->CurrentBitmap();
    // The brightest row is where the two parallel lines of a 2-pixel line
    // meet: at y +- 0.5 they cover rows 2..4 for y = 3 and rows 44 and 45
    // for y = 44.5 (the upper row on a tie).
    EXPECT_EQ(BrightestRow(main, 70), row);
    // Soft: the glow reaches a few rows either side, fading outwards.
    const auto rows = CoveredRows(main, 70, 70);
    ASSERT_FALSE(rows.empty());
    EXPECT_GE(rows.back() - rows.front(), 4);
    EXPECT_LE(rows.back() - rows.front(), 8);
    for (int y = row + 1; y < rows.back(); ++y)
      EXPECT_GE(AlphaAt(main, 70, y), AlphaAt(main, 70, y + 1)) << y;
    // The colour of the line, a little darkened by the blur's truncation.
    const Pixel p = At(main, 70, row);
    EXPECT_NEAR(raster::PixelR(p), 102, 8);
    EXPECT_NEAR(raster::PixelG(p), 90, 8);
    EXPECT_NEAR(raster::PixelB(p), 37, 8);
  }
}

TYPED_TEST(PlotLine, WithoutDataNothingIsDrawn) {
  using T = TypeParam;
  auto line = MakeLine<T>(kOscArea);
  const Pixel clear = raster::MakePixel(0, 102, 90, 37);
  auto allClear = [&] {
    const auto& b = *line->CurrentBitmap();
    for (int y = 0; y < b.GetHeight(); ++y)
      for (int x = 0; x < b.GetWidth(); ++x)
        if (At(b, x, y) != clear) return false;
    return true;
  };
  ASSERT_EQ(line->CurrentBitmap()->GetWidth(), 145);
  ASSERT_EQ(line->CurrentBitmap()->GetHeight(), 89);
  EXPECT_TRUE(allClear());
  EXPECT_FALSE(line->RenderLine());
  EXPECT_TRUE(allClear());

  line->SetData(Flat(T(0.5), 1));  // one sample has no step
  EXPECT_FALSE(line->RenderLine());
  EXPECT_TRUE(allClear());

  line->SetData(Flat(T(0.5)));
  EXPECT_TRUE(line->RenderLine());
  EXPECT_FALSE(allClear());

  // Switched off or emptied, the line leaves no old curve behind.
  line->SetEnabled(false);
  EXPECT_FALSE(line->RenderLine());
  EXPECT_TRUE(allClear());
  line->SetEnabled(true);
  EXPECT_TRUE(line->RenderLine());
  line->SetData({});
  EXPECT_FALSE(line->RenderLine());
  EXPECT_TRUE(allClear());
}

TEST(PlotLinePrecision, FloatAndDoubleLinesDrawTheSameCurve) {
  std::vector<double> d(200);
  std::vector<float> f(200);
  for (int i = 0; i < 200; ++i) {
    d[size_t(i)] = (std::cos(6.283185307179586 * i / 199.0) + 1.0) / 2.0;
    f[size_t(i)] = float(d[size_t(i)]);
  }
  auto dl = MakeLine<double>(kOscArea);
  auto fl = MakeLine<float>(kOscArea);
  for (auto* line : std::initializer_list<plot::IBasePlotLine*>{dl.get(), fl.get()})
    EXPECT_EQ(line->CurrentBitmap()->GetWidth(), 145);
  dl->SetData(d);
  fl->SetData(f);
  ASSERT_TRUE(dl->RenderLine());
  ASSERT_TRUE(fl->RenderLine());
  const auto& a = *dl->CurrentBitmap();
  const auto& b = *fl->CurrentBitmap();
  int largest = 0;
  for (int y = 0; y < 89; ++y)
    for (int x = 0; x < 145; ++x)
      for (int c = 0; c < 4; ++c)
        largest = std::max(largest, std::abs(raster::PixelChannel(At(a, x, y), c) -
                                             raster::PixelChannel(At(b, x, y), c)));
  // Only the last bits of a position differ between the precisions.
  EXPECT_LE(largest, 3);
  EXPECT_GT(Covered(a), 1000);
}
