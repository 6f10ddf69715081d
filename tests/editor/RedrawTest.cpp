// The redraw cycle, text, the image cache and the editor under two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "EditorTestSupport.h"
#include "editor/ImageCache.h"

namespace {

using P = EditorTestEffect;

class Counted : public IControl {
 public:
  using IControl::IControl;
  bool Draw(IGraphics&) override {
    ++draws;
    // As when another thread refreshes the control's data while it is drawn.
    if (refreshWhileDrawn) MarkDirty(false);
    refreshWhileDrawn = false;
    return true;
  }
  int draws = 0;
  bool refreshWhileDrawn = false;
};

TEST(Redraw, TheDirtyAreaIsTheUnionOfTheDirtyControlsAndOnlyItIsRepainted) {
  TestPanel p;
  EXPECT_TRUE(p.g->Tick());
  EXPECT_EQ(p.g->PresentedArea(), TestPanel::kAll);
  EXPECT_FALSE(p.g->Tick());
  p.g->ClearPresented();
  const std::vector<Pixel> before = p.Pixels();
  p.fx.HostSets(P::kMix, 0.9);
  p.fx.HostSets(P::kMode, 1.0);
  IRect area;
  ASSERT_TRUE(p.g->CollectDirtyArea(area));
  EXPECT_EQ(area, p.mix->DrawArea().Union(p.mode->DrawArea()));
  EXPECT_TRUE(p.g->Tick());
  EXPECT_EQ(p.g->PresentedArea(), area);
  const std::vector<Pixel> after = p.Pixels();
  int changedInside = 0;
  for (int y = 0; y < 369; ++y)
    for (int x = 0; x < 689; ++x) {
      const size_t i = size_t(y) * 689 + size_t(x);
      if (area.Contains(x, y))
        changedInside += before[i] != after[i];
      else
        ASSERT_EQ(before[i], after[i]) << x << "," << y;
    }
  EXPECT_GT(changedInside, 0);
  EXPECT_TRUE(p.MatchesFullRedraw());
}

TEST(Redraw, StrictDrawingDrawsWhatOverlapsAndLeavesDirtyControlsOutsideForLater) {
  IGraphicsHeadless g(nullptr, 100, 100, 25);
  auto* bg = new Counted(nullptr, {0, 0, 100, 100});
  auto* in = new Counted(nullptr, {10, 10, 20, 20});
  auto* touching = new Counted(nullptr, {30, 10, 40, 20});  // starts at the clip's right edge
  auto* hidden = new Counted(nullptr, {10, 10, 20, 20});
  auto* outside = new Counted(nullptr, {60, 60, 70, 70});
  auto* empty = new Counted(nullptr, {0, 0, 0, 0});
  for (Counted* c : {bg, in, touching, hidden, outside, empty}) g.AddControl(c);
  g.PrepareSurface();
  g.Redraw({0, 0, 100, 100});
  for (Counted* c : {bg, in, touching, hidden, outside, empty}) c->draws = 0;
  hidden->SetHidden(true);
  in->refreshWhileDrawn = true;
  touching->MarkDirty(false);
  outside->MarkDirty(false);
  EXPECT_TRUE(g.Redraw({5, 5, 30, 30}));
  EXPECT_EQ(g.PresentCount(), 2);
  EXPECT_EQ(bg->draws + in->draws + touching->draws, 3);
  EXPECT_EQ(hidden->draws + outside->draws + empty->draws, 0);
  EXPECT_TRUE(in->NeedsRedraw());        // refreshed while it was drawn
  EXPECT_TRUE(touching->NeedsRedraw());  // only partly repainted
  EXPECT_TRUE(hidden->NeedsRedraw());    // hiding keeps it dirty once more
  EXPECT_TRUE(outside->NeedsRedraw());
  EXPECT_FALSE(bg->NeedsRedraw() || empty->NeedsRedraw());
  IRect area;
  EXPECT_TRUE(g.CollectDirtyArea(area));
  EXPECT_EQ(area, (IRect{10, 10, 70, 70}));
  // Without strict drawing: each dirty control and what overlaps it.
  g.SetStrictDrawing(false);
  g.Redraw(area);
  EXPECT_EQ(in->draws, 3);  // itself, then beneath the hidden one
  EXPECT_EQ(touching->draws, 2);
  EXPECT_EQ(outside->draws, 1);
  EXPECT_EQ(bg->draws, 5);
  EXPECT_FALSE(g.CollectDirtyArea(area));
  IGraphicsHeadless none(nullptr, 10, 10, 25);
  EXPECT_TRUE(none.Redraw({0, 0, 10, 10}));
  EXPECT_EQ(none.PresentCount(), 0);
}

// A control whose image failed to load has a rectangle of no size at its
// position: it can draw nothing, so one tick cleans it and the editor goes
// idle instead of repainting every 40 ms.
TEST(Redraw, AControlOfNoSizeIsCleanedByTheFirstTick) {
  IGraphicsHeadless g(nullptr, 100, 100, 25);
  g.PrepareSurface();
  g.AddControl(new Counted(nullptr, {0, 0, 100, 100}));
  auto* flat = new Counted(nullptr, {40, 40, 40, 60});
  g.AddControl(flat);
  EXPECT_TRUE(g.Tick());
  EXPECT_FALSE(g.Tick());
  flat->MarkDirty(false);
  EXPECT_TRUE(g.Tick());
  EXPECT_FALSE(g.Tick());
  EXPECT_EQ(flat->draws, 0);
}

TEST(Redraw, HidingAControlWithACaptionLeavesNoTraceOfIt) {
  TestPanel p;
  for (double sync : {0.0, 1.0, 0.0, 1.0}) {
    p.fx.HostSets(P::kSync, sync);
    p.fx.HostSets(P::kNote, sync / 3);
    while (p.g->Tick()) {
    }
    EXPECT_TRUE(p.MatchesFullRedraw()) << "sync " << sync;
  }
}

TEST(Text, MeasuringPlacesTheWidthByAlignmentAndDrawingMarksTheSurface) {
  TestPanel p;
  ITextStyle style;
  IRect left{100, 50, 100, 50};
  style.align = ITextStyle::kLeft;
  ASSERT_TRUE(p.g->MeasureText(style, "Quillwave", left));
  const int w = left.right - 100, h = left.bottom - 50;
  EXPECT_GT(w, 20);
  EXPECT_GT(h, 8);
  ITextStyle centred;  // centre is the default
  IRect c{100, 50, 300, 50};
  p.g->MeasureText(centred, "Quillwave", c);
  EXPECT_EQ(c.left, 200 - w / 2);
  EXPECT_EQ(c.right - c.left, w);
  ITextStyle right;
  right.align = ITextStyle::kRight;
  IRect r{0, 0, 300, 0};
  p.g->MeasureText(right, "Quillwave", r);
  EXPECT_EQ(r.left, 300 - w);
  EXPECT_EQ(style.font, centred.font);  // one font for one size, style and face
  IRect unchanged{1, 2, 3, 4};
  EXPECT_TRUE(p.g->MeasureText(style, "", unchanged));
  EXPECT_EQ(unchanged, (IRect{1, 2, 3, 4}));
  p.g->Redraw(TestPanel::kAll);
  const std::vector<Pixel> before = p.Pixels();
  style.color = {255, 255, 0, 255};
  ASSERT_TRUE(p.g->DrawText(style, "Quillwave", {300, 20, 400, 40}));
  const std::vector<Pixel> after = p.Pixels();
  int inked = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    const int x = int(i % 689), y = int(i / 689);
    if (before[i] == after[i]) continue;
    ++inked;
    EXPECT_TRUE(x >= 300 && x < 300 + w + 2 && y >= 20 && y < 20 + h) << x << "," << y;
  }
  EXPECT_GT(inked, 20);
}

// Counts the decodes it is asked for.
class CountingEditor : public IGraphicsHeadless {
 public:
  CountingEditor() : IGraphicsHeadless(nullptr, 10, 10, 25) {}
  std::unique_ptr<raster::MemBitmap> LoadImageResource(int id, const char* name) override {
    ++decodes;
    return IGraphicsHeadless::LoadImageResource(id, name);
  }
  static inline std::atomic<int> decodes{0};
};

TEST(ImageCache, EachImageIsDecodedOnceForEveryEditorOfTheProcess) {
  // Images no other test here loads: the cache lives as long as the process.
  CountingEditor a, b;
  const int before = ImageCache::Count();
  const IBitmapStrip s1 = a.LoadBitmapStrip(155, "led_on.png", 1);
  const IBitmapStrip s2 = b.LoadBitmapStrip(155, "LED_ON.PNG", 2);
  EXPECT_EQ(CountingEditor::decodes, 1);
  ASSERT_NE(s1.image, nullptr);
  EXPECT_EQ(s1.image, s2.image);
  EXPECT_EQ(s2.width, 16);
  EXPECT_EQ(s2.FrameHeight(), 8);
  // A failed load is not kept: a later correct request decodes.
  EXPECT_EQ(a.LoadBitmapStrip(156, "led_off.bmp").image, nullptr);
  EXPECT_NE(b.LoadBitmapStrip(156, "led_off.png").image, nullptr);
  EXPECT_EQ(a.LoadBitmapStrip(999, "missing.png").width, 0);
  EXPECT_EQ(ImageCache::Count(), before + 2);
  // Two editors on two threads asking at once end up with one image.
  raster::IBitmap* seen[2] = {};
  std::thread other([&] { seen[0] = a.LoadBitmapStrip(157, "hp.png").image; });
  seen[1] = b.LoadBitmapStrip(157, "hp.png").image;
  other.join();
  EXPECT_NE(seen[0], nullptr);
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(ImageCache::Count(), before + 3);
}

TEST(Threads, ValuesFromTheHostThreadAllReachTheScreenWhileItRedraws) {
  TestPanel p;
  std::atomic<bool> done{false};
  std::thread host([&] {
    for (int i = 0; i < 20000; ++i) {
      p.fx.HostSets(P::kMix, (i % 101) / 100.0);
      p.fx.HostSets(P::kRate, (i % 37) / 36.0);
      p.fx.HostSets(P::kSync, (i / 50) % 2);
      p.fx.HostSets(P::kMode, (i % 3) / 2.0);
    }
    done = true;
  });
  int round = 0;
  while (!done) {
    p.g->Tick();
    const int y = 292 - (++round % 20);
    p.g->HandleMouseDown(593, 292, {});
    p.g->HandleMouseDrag(593, y, {});
    p.g->HandleMouseUp(593, y, {});
    p.g->HandleMouseWheel(124, 192, {}, round % 2 ? 1 : -1);
    p.fx.DeliverHostEdits();  // as the window layer does after each event
  }
  host.join();
  while (p.g->Tick()) {
  }
  EXPECT_TRUE(p.MatchesFullRedraw());
  EXPECT_EQ(p.fx.Count('B'), p.fx.Count('E'));
}

}  // namespace
