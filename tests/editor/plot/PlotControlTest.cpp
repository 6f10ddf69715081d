// The plot control on a headless editor: lines laid over the surface at the
// plot's place and in their order, the background untouched where there is
// nothing to draw, partial redraws, refreshes from another thread, and no
// allocation while drawing.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "AllocationCounter.h"
#include "PlotTestSupport.h"
#include "editor/IBitmapControl.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "editor/plot/IPlotControlEx.h"
#include "editor/plot/IThickLineGen.h"
#include "raster/Blit.h"
#include "raster/MemBitmap.h"

using namespace plottest;

namespace {

constexpr int kWidth = 240, kHeight = 160;
// A response-sized plot with two filled lines, as the editor's second plot.
constexpr IRect kPlotRect{40, 80, 186, 141};
constexpr IRect kEverything{0, 0, kWidth, kHeight};

std::vector<float> Wave(float phase, float depth) {
  std::vector<float> v(200);
  for (int i = 0; i < 200; ++i)
    v[size_t(i)] = 0.5f + depth * float(i % 50 < 25 ? i % 25 : 25 - i % 25) / 25.0f - phase;
  return v;
}

plot::IThickLineGen<float>* ResponseLine(const IRect& area, int margin) {
  auto* line = new plot::IThickLineGen<float>(nullptr, area, kColour, kLineBlend, margin);
  line->SetFillUnderCurve(true);
  line->SetDrawOutline(true);
  return line;
}

// An editor with an opaque patterned background and one plot of two lines.
struct PlotEditor {
  IGraphicsHeadless graphics{nullptr, kWidth, kHeight, 25};
  raster::MemBitmap pattern{kWidth, kHeight};
  plot::IPlotControlEx* plot = nullptr;
  plot::IThickLineGen<float>* lines[2] = {};

  PlotEditor() {
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        pattern.GetBits()[y * pattern.GetRowSpan() + x] =
            raster::MakePixel(255, (x * 5) & 255, (y * 3) & 255, (x ^ y) & 255);
    const IBitmapStrip strip{&pattern, kWidth, kHeight, 1, false};
    graphics.SetBackground(
        new IBitmapControl(nullptr, 0, 0, -1, strip, {IBlendSpec::kOpaque, 1.0f}));
    plot = new plot::IPlotControlEx(nullptr, &graphics, kPlotRect);
    for (auto*& line : lines) {
      line = ResponseLine(plot->Area(), plot->InnerMargin());
      plot->AddLine(line);
    }
    graphics.AddControl(plot);
    graphics.PrepareSurface();
  }

  // The background with the given line bitmaps laid over it by hand.
  std::unique_ptr<raster::MemBitmap> Expected(
      std::initializer_list<const plot::IBasePlotLine*> drawn) const {
    auto out = std::make_unique<raster::MemBitmap>(kWidth, kHeight);
    raster::Blit(out.get(), &pattern, 0, 0, nullptr, 1.0f, BlitCopy);
    for (const auto* line : drawn)
      raster::Blit(out.get(), line->CurrentBitmap(), kPlotRect.left, kPlotRect.top, nullptr,
                   kLineBlend.weight, BlitCopy | BlitUseSourceAlpha);
    return out;
  }

  // Pixels of the surface that differ from expected.
  int Differences(const std::unique_ptr<raster::MemBitmap>& expected) const {
    int n = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) n += graphics.PixelAt(x, y) != At(*expected, x, y);
    return n;
  }
};

// Two separately built lines rendering the same samples, for reference.
struct ReferenceLines {
  std::unique_ptr<plot::IThickLineGen<float>> a{ResponseLine(kRespArea, kMargin)};
  std::unique_ptr<plot::IThickLineGen<float>> b{ResponseLine(kRespArea, kMargin)};
  ReferenceLines(const std::vector<float>& da, const std::vector<float>& db) {
    a->SetData(da);
    b->SetData(db);
    a->RenderLine();
    b->RenderLine();
  }
};

}  // namespace

TEST(PlotControl, IsAControlWithoutParameterOwningItsLines) {
  PlotEditor e;
  EXPECT_EQ(e.plot->Area(), (IRect{0, 0, 146, 61}));
  EXPECT_EQ(e.plot->InnerMargin(), 3);
  EXPECT_EQ(e.plot->ParamIndex(), -1);
  EXPECT_EQ(e.plot->Graphics(), &e.graphics);
  e.plot->AddLine(nullptr);
  EXPECT_EQ(e.plot->LineCount(), 2);
  EXPECT_EQ(e.plot->Line(0), e.lines[0]);
  EXPECT_EQ(e.plot->Line(1), e.lines[1]);
  EXPECT_EQ(e.plot->Line(2), nullptr);
  EXPECT_EQ(e.plot->Line(-1), nullptr);
  EXPECT_EQ(e.lines[0]->InnerRect(), (IRect{3, 3, 143, 58}));

  // A click reaches it and changes nothing.
  e.graphics.Redraw(kEverything);
  e.graphics.HandleMouseDown(100, 100, {true});
  EXPECT_EQ(e.graphics.CaptureIndex(), 1);
  e.graphics.HandleMouseUp(100, 100, {true});
  EXPECT_EQ(e.plot->Value(), 0.0);
  EXPECT_FALSE(e.plot->NeedsRedraw());
}

TEST(PlotControl, WithoutDataTheBackgroundShows) {
  PlotEditor e;
  ASSERT_TRUE(e.graphics.Redraw(kEverything));
  EXPECT_EQ(e.Differences(e.Expected({})), 0);

  // Lines that had a curve and lost their samples leave nothing behind.
  e.lines[0]->SetData(Wave(0.0f, 0.3f));
  e.lines[1]->SetData(Wave(0.2f, 0.3f));
  e.graphics.Redraw(kEverything);
  EXPECT_GT(e.Differences(e.Expected({})), 1000);
  e.lines[0]->SetData({});
  e.lines[1]->SetData({});
  e.graphics.Redraw(kEverything);
  EXPECT_EQ(e.Differences(e.Expected({})), 0);
}

TEST(PlotControl, LinesAreLaidOverTheSurfaceInOrderAtThePlotsPlace) {
  PlotEditor e;
  const auto d0 = Wave(0.0f, 0.4f), d1 = Wave(0.25f, 0.4f);
  e.lines[0]->SetData(d0);
  e.lines[1]->SetData(d1);
  ASSERT_TRUE(e.graphics.Redraw(kEverything));

  ReferenceLines ref(d0, d1);
  EXPECT_EQ(e.Differences(e.Expected({ref.a.get(), ref.b.get()})), 0);
  // The other order gives another picture where the lines overlap.
  EXPECT_GT(e.Differences(e.Expected({ref.b.get(), ref.a.get()})), 0);
}

TEST(PlotControl, PartialRedrawsDoNotBrightenTheGlow) {
  PlotEditor e;
  const auto d0 = Wave(0.0f, 0.4f), d1 = Wave(0.25f, 0.4f);
  e.lines[0]->SetData(d0);
  e.lines[1]->SetData(d1);
  e.graphics.Redraw(kEverything);
  ReferenceLines ref(d0, d1);
  const auto expected = e.Expected({ref.a.get(), ref.b.get()});
  ASSERT_EQ(e.Differences(expected), 0);

  // Areas that cover only part of the plot, as when a neighbouring control
  // is redrawn: the rest of the plot keeps what it showed.
  for (const IRect& area : {IRect{30, 70, 120, 90}, IRect{150, 100, 200, 160},
                            IRect{100, 110, 101, 111}, IRect{30, 70, 120, 90}}) {
    e.graphics.Redraw(area);
    EXPECT_EQ(e.Differences(expected), 0) << area.left << "," << area.top;
  }
}

TEST(PlotControl, NewSamplesShowOnTheNextTick) {
  PlotEditor e;
  e.lines[0]->SetData(Wave(0.0f, 0.4f));
  e.lines[1]->SetData(Wave(0.25f, 0.4f));
  ASSERT_TRUE(e.graphics.Tick());  // everything is dirty at first
  EXPECT_FALSE(e.graphics.Tick());

  const auto d0 = Wave(0.1f, 0.2f), d1 = Wave(0.3f, 0.1f);
  e.lines[0]->SetData(d0);
  e.lines[1]->SetData(d1);
  e.plot->MarkDirty(true);
  e.graphics.ClearPresented();
  ASSERT_TRUE(e.graphics.Tick());
  EXPECT_EQ(e.graphics.PresentedArea(), kPlotRect);
  ReferenceLines ref(d0, d1);
  EXPECT_EQ(e.Differences(e.Expected({ref.a.get(), ref.b.get()})), 0);
  EXPECT_FALSE(e.graphics.Tick());
}

TEST(PlotControl, RefreshedFromAnotherThreadWhileDrawing) {
  PlotEditor e;
  const auto a0 = Wave(0.0f, 0.4f), a1 = Wave(0.25f, 0.4f);
  const auto b0 = Wave(0.1f, 0.2f), b1 = Wave(0.3f, 0.1f);
  e.lines[0]->SetData(a0);
  e.lines[1]->SetData(a1);
  e.graphics.Tick();

  // The effect's side: new samples and a dirty mark, as under the plug-in's
  // lock on the host's parameter thread.
  std::atomic<bool> stop{false};
  std::thread parameterThread([&] {
    for (int i = 0; !stop.load(std::memory_order_relaxed); ++i) {
      e.lines[0]->SetData(i % 2 ? a0 : b0);
      e.lines[1]->SetData(i % 2 ? a1 : b1);
      e.plot->MarkDirty(true);
    }
  });
  for (int i = 0; i < 200; ++i) e.graphics.Tick();
  stop.store(true);
  parameterThread.join();

  e.lines[0]->SetData(b0);
  e.lines[1]->SetData(b1);
  e.plot->MarkDirty(true);
  ASSERT_TRUE(e.graphics.Tick());
  ReferenceLines ref(b0, b1);
  EXPECT_EQ(e.Differences(e.Expected({ref.a.get(), ref.b.get()})), 0);
}

TEST(PlotControl, DrawingAllocatesNothing) {
  PlotEditor e;
  e.lines[0]->SetData(Wave(0.0f, 0.4f));
  e.lines[1]->SetData(Wave(0.25f, 0.4f));
  e.graphics.Tick();
  const auto d0 = Wave(0.1f, 0.2f), d1 = Wave(0.3f, 0.1f);

  testsupport::AllocationCounter allocations;
  e.lines[0]->SetData(d0);
  e.lines[1]->SetData(d1);
  e.plot->MarkDirty(true);
  const bool ticked = e.graphics.Tick();
  const bool redrawn = e.graphics.Redraw(kEverything);
  EXPECT_EQ(allocations.Count(), 0);
  EXPECT_TRUE(ticked);
  EXPECT_TRUE(redrawn);
}
