// Mouse, wheel and key routing through the editor core.
#include <gtest/gtest.h>

#include <string>

#include "EditorTestSupport.h"

namespace {

// Records what reaches it.
class Probe : public IControl {
 public:
  using IControl::IControl;
  bool Draw(IGraphics&) override { return ++draws, true; }
  void MouseDown(int, int, const IMouseMods&) override { log += 'D'; }
  void MouseUp(int, int, const IMouseMods&) override { log += 'U'; }
  void MouseDrag(int, int, int dX, int dY, const IMouseMods&) override {
    log += 'M';
    moved += dX + 1000 * dY;
  }
  void MouseDoubleClick(int, int, const IMouseMods&) override { log += '2'; }
  void MouseWheel(int, int, const IMouseMods&, int n) override { log += 'W', notches += n; }
  bool KeyDown(int, int, int code) override { return key = code, takesKeys; }
  void MouseOver(int, int, const IMouseMods&) override { log += 'O'; }
  void MouseOut() override { log += 'X'; }

  std::string log;
  int draws = 0, moved = 0, notches = 0, key = -1;
  bool takesKeys = false;
};

struct Routing : ::testing::Test {
  EditorTestEffect fx;
  IGraphicsHeadless* g = new IGraphicsHeadless(&fx, 200, 100, 25);
  Probe* a = new Probe(&fx, {10, 10, 60, 60}, EditorTestEffect::kMix);
  Probe* b = new Probe(&fx, {40, 40, 90, 90}, EditorTestEffect::kRate);
  Probe* empty = new Probe(&fx, {0, 0, 0, 0});
  Probe* bg = new Probe(&fx, {0, 0, 200, 100});

  Routing() {
    g->AddControl(a);
    g->AddControl(b);
    g->AddControl(empty);
    g->SetBackground(bg);  // inserted first, after the others
    fx.AttachEditor(g);
  }
  Probe* Pressed(int x, int y) {
    g->HandleMouseDown(x, y, {});
    auto* hit = static_cast<Probe*>(g->GetControl(g->CaptureIndex()));
    g->HandleMouseUp(x, y, {});
    return hit;
  }
};

TEST_F(Routing, APressGoesToTheLastAddedControlThatIsShownEnabledAndHit) {
  struct Case {
    int x, y;
    bool hideB, greyB;
    Probe* want;
  } cases[] = {
      {50, 50, false, false, b}, {50, 50, true, false, a},  {50, 50, false, true, a},
      {20, 20, false, false, a}, {89, 89, false, false, b}, {90, 90, false, false, bg},
      {0, 0, false, false, bg},  // the empty rectangle is never hit
  };
  for (const Case& c : cases) {
    b->SetHidden(c.hideB);
    b->SetGrayed(c.greyB);
    EXPECT_EQ(Pressed(c.x, c.y), c.want) << c.x << "," << c.y << " " << c.hideB << c.greyB;
  }
  EXPECT_EQ(b->Blend().weight, 1.0f);
  b->SetGrayed(true);
  EXPECT_EQ(b->Blend().weight, 0.25f);
}

TEST_F(Routing, ADragOutsideKeepsTheControlAndTheGestureBeginsAndEndsOnce) {
  g->HandleMouseDown(20, 20, {});
  g->HandleMouseDrag(150, 95, {});  // far outside a, over the background
  g->HandleMouseDrag(150, 95, {});  // no movement, no drag
  g->HandleMouseDrag(145, 90, {});
  g->HandleMouseUp(145, 90, {});
  EXPECT_EQ(a->log, "DMMU");
  EXPECT_EQ(a->moved, 130 + 1000 * 75 - 5 - 5000);
  EXPECT_EQ(bg->log, "");
  const std::vector<EditorTestEffect::Event> want = {{'B', EditorTestEffect::kMix, 0.0},
                                                     {'E', EditorTestEffect::kMix, 0.0}};
  EXPECT_EQ(fx.Events(), want);
  g->HandleMouseDrag(10, 10, {});  // nothing captured any more
  EXPECT_EQ(a->log, "DMMU");
}

TEST_F(Routing, AReleaseWithoutAPressReachesTheControlButEndsNoGesture) {
  g->HandleMouseUp(20, 20, {});
  EXPECT_EQ(a->log, "U");
  EXPECT_EQ(fx.Count('E'), 0);
  // A double click arrives as press, release, double click, release.
  g->HandleMouseDown(20, 20, {});
  g->HandleMouseUp(20, 20, {});
  EXPECT_FALSE(g->HandleDoubleClick(20, 20, {}));
  g->HandleMouseUp(20, 20, {});
  EXPECT_EQ(a->log, "UDU2U");
  EXPECT_EQ(fx.Count('B'), 1);
  EXPECT_EQ(fx.Count('E'), 1);
  // A right press while the left is held closes the first gesture.
  g->HandleMouseDown(20, 20, {});
  g->HandleMouseDown(50, 50, {.right = true});
  g->HandleMouseUp(50, 50, {});
  EXPECT_EQ(fx.Count('B'), 3);
  EXPECT_EQ(fx.Count('E'), 3);
}

TEST_F(Routing, TheWheelGoesToTheCapturedControlElseToTheOneUnderThePointer) {
  g->HandleMouseWheel(50, 50, {}, 2);
  g->HandleMouseWheel(50, 50, {}, 0);  // less than a notch still arrives, as 0
  EXPECT_EQ(b->log, "WW");
  EXPECT_EQ(b->notches, 2);
  g->HandleMouseDown(20, 20, {});
  g->HandleMouseWheel(50, 50, {}, -1);
  EXPECT_EQ(a->notches, -1);
  EXPECT_EQ(b->notches, 2);
}

TEST_F(Routing, KeysGoToTheHostUnlessAControlOrTheCatcherTakesThem) {
  EXPECT_FALSE(g->HandleKeyDown(20, 20, kKeySpace));
  EXPECT_EQ(a->key, kKeySpace);
  a->takesKeys = true;
  EXPECT_TRUE(g->HandleKeyDown(20, 20, kKeyLetterA));
  EXPECT_FALSE(g->HandleKeyDown(20, 20, -1));       // a key without a code
  EXPECT_FALSE(g->HandleKeyDown(150, 80, kKeyUp));  // the background never takes keys
  EXPECT_EQ(bg->key, -1);
  auto* catcher = new Probe(&fx, {0, 0, 1, 1});
  catcher->takesKeys = true;
  g->SetKeyCatcher(catcher);
  EXPECT_TRUE(g->HandleKeyDown(150, 80, kKeyUp));
  EXPECT_EQ(catcher->key, kKeyUp);
}

TEST_F(Routing, HoverIsReportedOnlyWhenTracked) {
  EXPECT_FALSE(g->HandleMouseOver(20, 20, {}));
  g->SetHandleMouseOver(true);
  EXPECT_TRUE(g->HandleMouseOver(20, 20, {}));
  EXPECT_TRUE(g->HandleMouseOver(50, 50, {}));
  EXPECT_EQ(a->log, "OX");
  EXPECT_EQ(b->log, "O");
  g->HandleMouseLeave();
  EXPECT_EQ(b->log, "OX");
  EXPECT_EQ(g->MouseOverIndex(), -1);
}

TEST_F(Routing, ResizeDropsTheControlsRebuildsTheSurfaceAndTellsThePlugin) {
  g->HandleMouseDown(20, 20, {});
  g->Resize(300, 150);
  EXPECT_EQ(g->ControlCount(), 0);
  EXPECT_EQ(g->CaptureIndex(), -1);
  EXPECT_EQ(g->Surface()->GetWidth(), 300);
  EXPECT_EQ(g->Surface()->GetHeight(), 150);
  EXPECT_EQ(fx.resized, (std::pair<int, int>{300, 150}));
  g->HandleMouseUp(20, 20, {});  // the open gesture still ends
  EXPECT_EQ(fx.Count('E'), 1);
}

}  // namespace
