// The control family: frame choice, layout, dragging, the wheel, clicks on
// radio buttons, double-click reset, the dirty cycle and value entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>

#include "EditorTestSupport.h"
#include "editor/IPopupMenu.h"
#include "editor/IValueTexts.h"
#include "raster/MemBitmap.h"

namespace {

using P = EditorTestEffect;

// A strip of 4 x 4 frames, each filled with its own number as colour.
struct NumberedStrip {
  raster::MemBitmap image;
  IBitmapStrip strip;
  NumberedStrip(int frames, bool sideBySide)
      : image(sideBySide ? 4 * frames : 4, sideBySide ? 4 : 4 * frames),
        strip{&image, image.GetWidth(), image.GetHeight(), frames, sideBySide} {
    for (int y = 0; y < image.GetHeight(); ++y)
      for (int x = 0; x < image.GetWidth(); ++x)
        image.GetBits()[y * image.GetRowSpan() + x] = 0xFF000000u | ((sideBySide ? x : y) / 4 + 1);
  }
};

// The frame number a control shows after a redraw.
int DrawnFrame(IControl* control, double value) {
  IGraphicsHeadless g(nullptr, 4, 4, 25);
  g.AddControl(control);
  g.PrepareSurface();
  control->SetValue(value);
  g.Redraw({0, 0, 4, 4});
  return int(g.PixelAt(2, 2) & 0xFFFFFF);
}

TEST(ControlFrames, KnobsTruncateBitmapsRoundToTheNearestFrame) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    bool knob;
    int frames;
    bool sideBySide;
    double value;
    int frame;
  } cases[] = {
      {true, 120, false, 0.0, 1},
      {true, 120, false, 1.0 / 119 - 1e-9, 1},
      {true, 120, false, 1.0 / 119 + 1e-9, 2},
      {true, 120, false, 0.5, 60},
      {true, 120, false, 1.0 - 1e-9, 119},
      {true, 120, false, 1.0, 120},
      {true, 7, false, 0.5, 4},
      {true, 7, false, 0.99, 6},
      {true, 7, true, 0.5, 4},
      {true, 7, false, 1.0, 7},
      {true, 7, false, 5.0, 7},
      {true, 7, false, nan, 1},
      {false, 2, false, 0.5, 2},
      {false, 2, false, 0.49, 1},
      {false, 2, true, 0.5, 2},
      {false, 1, false, 0.9, 1},
  };
  for (const Case& c : cases) {
    NumberedStrip s(c.frames, c.sideBySide);
    IControl* control =
        c.knob ? static_cast<IControl*>(new IKnobMultiControl(nullptr, 0, 0, -1, s.strip))
               : new IBitmapControl(nullptr, 0, 0, -1, s.strip);
    EXPECT_EQ(DrawnFrame(control, c.value), c.frame)
        << (c.knob ? "knob " : "bitmap ") << c.frames << " frames at " << c.value;
  }
}

TEST(ControlLayout, KnobsAndButtonsFollowTheirImagesAndCentres) {
  TestPanel p;
  EXPECT_EQ(p.note->Rect(), (IRect{69, 137, 179, 247}));
  EXPECT_EQ(p.note->TargetRect(), p.note->Rect());
  EXPECT_EQ(p.note->CaptionRect(), (IRect{19, 87, 229, 297}));
  EXPECT_EQ(p.note->DrawArea(), p.note->CaptionRect());
  EXPECT_EQ(p.mix->Rect(), (IRect{557, 256, 629, 328}));
  EXPECT_EQ(p.mix->CaptionRect(), (IRect{531, 230, 655, 354}));
  EXPECT_EQ(p.sync->Button(0), (IRect{26, 38, 58, 70}));
  EXPECT_EQ(p.sync->Button(1), (IRect{26, 62, 58, 94}));  // overlapping by 8
  EXPECT_EQ(p.mode->Button(1), (IRect{570, 133, 586, 149}));
  EXPECT_EQ(p.mode->Button(2), (IRect{620, 133, 636, 149}));
  const IBitmapStrip caption = p.g->LoadBitmapStrip(119, "note_lbl.png");
  IRadioButtonCap prefix(&p.fx, {148, 320, 232, 352}, P::kNote, 3,
                         p.g->LoadBitmapStrip(118, "switch.png", 2), IRadioButtonsControl::kRow,
                         &caption, 5, -48);
  EXPECT_EQ(prefix.Button(1), (IRect{174, 320, 206, 352}));
  EXPECT_EQ(prefix.Button(2), (IRect{200, 320, 232, 352}));
  EXPECT_EQ(prefix.CaptionRect(), (IRect{153, 272, 231, 319}));
}

TEST(ControlInput, RadioClicksPickTheFirstButtonHitAndAlwaysTellThePlugin) {
  TestPanel p;
  struct Case {
    IRadioButtonsControl* control;
    int x, y;
    double value;
  } cases[] = {
      {p.sync, 40, 75, 1.0},   {p.sync, 40, 65, 0.0},    // 65 lies in both buttons
      {p.mode, 578, 140, 0.5}, {p.mode, 550, 140, 0.5},  // between buttons: unchanged
      {p.mode, 625, 140, 1.0}, {p.mode, 520, 133, 0.0},
  };
  for (const Case& c : cases) {
    p.fx.Events().clear();
    p.g->HandleMouseDown(c.x, c.y, {.left = true});
    p.g->HandleMouseUp(c.x, c.y, {});
    EXPECT_EQ(c.control->Value(), c.value) << c.x << "," << c.y;
    ASSERT_EQ(p.fx.Count('I'), 1) << c.x << "," << c.y;
    EXPECT_EQ(p.fx.Events()[1].value, c.value);
  }
  EXPECT_EQ(p.fx.GetParameter(P::kMode)->Value(), 0.0);
}

TEST(ControlInput, KnobDragFollowsTheGearingAndTheWheelStepsStayInRange) {
  TestPanel p;
  const double start = p.mix->Value();
  p.g->HandleMouseDown(593, 292, {});
  p.g->HandleMouseDrag(593, 282, {});  // 10 pixels up on a 72-pixel knob, gearing 4
  EXPECT_NEAR(p.mix->Value(), start + 10.0 / 72 / 4, 1e-12);
  p.g->HandleMouseDrag(593, 272, {.shift = true});
  EXPECT_NEAR(p.mix->Value(), start + 10.0 / 72 / 4 * 1.1, 1e-12);
  p.g->HandleMouseUp(593, 272, {});
  EXPECT_NEAR(p.fx.GetParameter(P::kMix)->Value(), p.mix->Value(), 1e-12);
  const double before = p.mix->Value();
  p.g->HandleMouseWheel(593, 292, {}, 3);
  EXPECT_NEAR(p.mix->Value(), before + 0.03, 1e-12);
  p.g->HandleMouseWheel(593, 292, {.control = true}, -1);
  EXPECT_NEAR(p.mix->Value(), before + 0.029, 1e-12);
  p.g->HandleMouseWheel(593, 292, {}, 1000);
  EXPECT_EQ(p.mix->Value(), 1.0);
  p.g->HandleMouseWheel(593, 292, {}, -1000);
  EXPECT_EQ(p.mix->Value(), 0.0);
  EXPECT_EQ(p.fx.Events().back(), (P::Event{'I', P::kMix, 0.0}));
}

TEST(ControlInput, DoubleClickRestoresTheValueTheEditorWasBuiltWithAndTellsTheHost) {
  TestPanel p;
  p.fx.HostSets(P::kMix, 0.9);
  p.g->HandleMouseDown(593, 292, {});
  p.g->HandleMouseUp(593, 292, {});
  p.g->HandleDoubleClick(593, 292, {});
  p.g->HandleMouseUp(593, 292, {});
  EXPECT_EQ(p.mix->Value(), 0.5);
  EXPECT_EQ(p.fx.GetParameter(P::kMix)->Value(), 0.5);
  EXPECT_EQ(p.fx.Events().back(), (P::Event{'I', P::kMix, 0.5}));
  EXPECT_EQ(p.fx.Count('B'), p.fx.Count('E'));
  // A radio button: the double click is a second press on the same button,
  // with its own gesture, and keeps the choice.
  p.g->HandleMouseDown(40, 80, {});
  EXPECT_EQ(p.sync->Value(), 1.0);
  p.g->HandleMouseUp(40, 80, {});
  EXPECT_TRUE(p.g->HandleDoubleClick(40, 80, {}));
  EXPECT_EQ(p.g->GetControl(p.g->CaptureIndex()), p.sync);
  p.g->HandleMouseUp(40, 80, {});
  EXPECT_EQ(p.sync->Value(), 1.0);
  EXPECT_EQ(p.fx.Count('B'), p.fx.Count('E'));
}

TEST(ControlInput, AMoveReportedDuringADragDoesNotShiftIt) {
  TestPanel p;
  p.g->SetHandleMouseOver(true);
  const double before = p.mix->Value();
  p.g->HandleMouseDown(593, 292, {.left = true});
  p.g->HandleMouseDrag(593, 282, {.left = true});
  const double step = p.mix->Value() - before;
  ASSERT_GT(step, 0.0);
  // A window system's plain move report, from where its pointer really is.
  EXPECT_TRUE(p.g->HandleMouseOver(20, 20, {}));
  p.g->HandleMouseDrag(593, 272, {.left = true});
  EXPECT_NEAR(p.mix->Value() - before, 2 * step, 1e-12);
  p.g->HandleMouseUp(593, 272, {.left = true});
}

TEST(ControlState, ValuesFromThePluginKeepTheControlDirtyForTwoRedraws) {
  TestPanel p;
  while (p.g->Tick()) {
  }
  p.fx.HostSets(P::kMix, 0.5);  // unchanged
  EXPECT_FALSE(p.mix->NeedsRedraw());
  p.fx.HostSets(P::kMix, 0.7);
  EXPECT_TRUE(p.mix->NeedsRedraw() && p.mix->RedrawPending());
  EXPECT_TRUE(p.g->Tick());
  EXPECT_TRUE(p.g->Tick());
  EXPECT_FALSE(p.g->Tick());
  p.g->HandleMouseWheel(593, 292, {}, 1);  // the user's own change: one redraw
  EXPECT_TRUE(p.g->Tick());
  EXPECT_FALSE(p.g->Tick());
  // A hidden knob keeps its parameter's value and is not hit.
  p.fx.HostSets(P::kSync, 1.0);
  p.fx.HostSets(P::kRate, 0.25);
  EXPECT_EQ(p.rate->Value(), 0.25);
  p.g->HandleMouseDown(124, 192, {});
  EXPECT_EQ(p.g->GetControl(p.g->CaptureIndex()), p.note);
}

TEST(ValueEntry, ATextEntryOrAMenuOfDisplayTextsSetsTheParameter) {
  TestPanel p;
  p.g->HandleMouseDown(593, 292, {.right = true});  // value entry is off by default
  EXPECT_FALSE(p.g->TextEntryOpen());
  p.mix->SetValueEntryDisabled(false);
  p.g->HandleMouseDown(593, 292, {.right = true});
  ASSERT_TRUE(p.g->TextEntryOpen());
  EXPECT_EQ(p.g->TextEntryText(), "0.50");
  EXPECT_EQ(p.g->TextEntryRect(), (IRect{573, 284, 613, 300}));
  p.g->CommitTextEntry("0.25");
  EXPECT_EQ(p.fx.GetParameter(P::kMix)->Value(), 0.25);
  p.mode->SetValueEntryDisabled(false);
  p.g->AnswerNextMenu(2);
  p.g->HandleMouseDown(550, 140, {.right = true});
  EXPECT_EQ(p.fx.GetParameter(P::kMode)->Value(), 2.0);
  EXPECT_EQ(p.fx.Events().back(), (P::Event{'I', P::kMode, 1.0}));
  p.g->HandleMouseDown(550, 140, {.right = true});  // cancelled: nothing changes
  EXPECT_EQ(p.fx.GetParameter(P::kMode)->Value(), 2.0);
}

// Value texts of the plug-in's own: degrees for Mix, read back in whole
// degrees of 0..100.
struct DegreeTexts : IValueTexts {
  bool Handles(int param) const override { return param == EditorTestEffect::kMix; }
  void Format(int, double n, char* text, size_t capacity) const override {
    std::snprintf(text, capacity, "+%.0f\xc2\xb0", n * 100.0);
  }
  bool Parse(int, const char* text, double* n) const override {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text) return false;
    *n = std::clamp(v / 100.0, 0.0, 1.0);
    return true;
  }
};

TEST(ValueEntry, ThePlugInsValueTextsFillAPlainBoxAndReadItAsOneGesture) {
  TestPanel p;
  p.g->SetValueTexts(std::make_unique<DegreeTexts>());
  p.mix->SetValueEntryDisabled(false);
  p.g->HandleMouseDown(593, 292, {.right = true});
  p.g->HandleMouseUp(593, 292, {.right = true});
  ASSERT_TRUE(p.g->TextEntryOpen());
  EXPECT_EQ(p.g->TextEntryText(), "+50") << "the degree sign is left out of the box";
  const size_t before = p.fx.Events().size();
  p.g->CommitTextEntry("junk");
  EXPECT_EQ(p.fx.Events().size(), before) << "text that is no value changes nothing";
  EXPECT_EQ(p.mix->Value(), 0.5);
  p.g->HandleMouseDown(593, 292, {.right = true});
  p.g->HandleMouseUp(593, 292, {.right = true});
  p.g->CommitTextEntry("25");
  EXPECT_EQ(p.fx.GetParameter(EditorTestEffect::kMix)->Value(), 0.25);
  const auto& e = p.fx.Events();
  ASSERT_GE(e.size(), 3u);
  EXPECT_EQ(e[e.size() - 3].kind, 'B');
  EXPECT_EQ(e[e.size() - 2], (EditorTestEffect::Event{'I', EditorTestEffect::kMix, 0.25}));
  EXPECT_EQ(e.back().kind, 'E');
}

TEST(PopupMenu, ItemsAreNumberedPerMenuAndCommandsPerTree) {
  IPopupMenu menu(IPopupMenu::kTwoDigits);
  menu.AddItem("a");
  menu.AddSeparator();
  auto* sub = new IPopupMenu;
  sub->AddItem("x");
  sub->AddItem("y", IPopupMenu::kChecked);
  menu.AddSubmenu("b", sub);
  char text[16];
  menu.DisplayText(0, text, sizeof(text));
  EXPECT_STREQ(text, "01: a");
  menu.DisplayText(2, text, sizeof(text));
  EXPECT_STREQ(text, "03: b");
  EXPECT_EQ(menu.AssignCommandIds(0), 5);
  EXPECT_EQ(menu.ChooseCommand(2), &menu);
  EXPECT_EQ(menu.ChosenIndex(), 2);
  EXPECT_EQ(menu.ChooseCommand(4), sub);
  EXPECT_EQ(sub->ChosenIndex(), 1);
  EXPECT_EQ(menu.ChooseCommand(5), nullptr);
}

}  // namespace
