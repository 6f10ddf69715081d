// The panel's value readouts, switches and typed values, driven as a user
// drives them through the editor's event routing and redraw tick.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "editor/IGraphics.h"
#include "editor/IRadioButtonsControl.h"
#include "editor/IValueReadout.h"
#include "host/vst2/VstAbi.h"
#include "snapshot/PanelSnapshot.h"
#include "quillwave/Quillwave.h"
#include "quillwave/QuillwaveValueTexts.h"
#include "raster/MemBitmap.h"
#include "raster/PngImage.h"
#include "raster/PngWriter.h"

namespace {

using Q = Quillwave;

std::vector<Pixel> PixelsOf(const raster::IBitmap& b) {
  std::vector<Pixel> out;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) out.push_back(b.GetBits()[y * b.GetRowSpan() + x]);
  return out;
}

std::vector<Pixel> Golden(const std::string& name) {
  std::ifstream in(std::string(QW_GOLDEN_DIR) + "/" + name, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  const auto image = raster::LoadPNGFromMemory(bytes.data(), bytes.size());
  return image ? PixelsOf(*image) : std::vector<Pixel>{};
}

// except: an area left out of the comparison.
::testing::AssertionResult Matches(PanelSnapshot& panel, const std::string& golden,
                                   const IRect& except = {}) {
  const raster::IBitmap& shown = panel.Render();
  std::vector<Pixel> got = PixelsOf(shown), want = Golden(golden);
  if (got.size() == want.size())
    for (int y = except.top; y < except.bottom; ++y)
      for (int x = except.left; x < except.right; ++x)
        got[size_t(y * shown.GetWidth() + x)] = want[size_t(y * shown.GetWidth() + x)] = 0;
  if (got == want) return ::testing::AssertionSuccess();
  const std::string written = "actual-" + golden;
  raster::WritePNGFile(shown, written.c_str());
  return ::testing::AssertionFailure() << "the panel differs from golden/" << golden << "; see "
                                       << written << " (./qw goldens redraws the references)";
}

std::vector<IValueReadout*> Readouts(IGraphics& g) {
  std::vector<IValueReadout*> out;
  for (int i = 0; i < g.ControlCount(); ++i)
    if (auto* r = dynamic_cast<IValueReadout*>(g.GetControl(i))) out.push_back(r);
  return out;
}

// The readouts showing now, by parameter.
std::vector<int> Showing(IGraphics& g) {
  std::vector<int> params;
  for (IValueReadout* r : Readouts(g))
    if (!r->IsHidden()) params.push_back(r->Knob()->ParamIndex());
  return params;
}

std::string TextOf(IGraphics& g, int param) {
  for (IValueReadout* r : Readouts(g)) {
    if (r->Knob()->ParamIndex() != param) continue;
    char text[32];
    r->Text(text, sizeof text);
    return text;
  }
  return "no readout";
}

IRect RectOf(IGraphics& g, int param) {
  for (IValueReadout* r : Readouts(g))
    if (r->Knob()->ParamIndex() == param) return r->Rect();
  return {};
}

void Ticks(IGraphics& g, int n) {
  for (int i = 0; i < n; ++i) g.AdvanceTick();
}

TEST(PanelReadout, HoverShowsTheValueUnderTheKnobRedrawingOnlyItsLabelThenLeavesNoTrace) {
  PanelSnapshot panel;
  IGraphics& g = panel.Graphics();
  ASSERT_TRUE(Matches(panel, "panel-default.png"));
  panel.Hover(433, 71);
  EXPECT_EQ(Showing(g), std::vector<int>{Q::kCutoff1});
  IRect dirty;
  ASSERT_TRUE(g.CollectDirtyArea(dirty));
  EXPECT_EQ(dirty, RectOf(g, Q::kCutoff1));
  // Below the knob, clear of the ends of its value arc.
  EXPECT_GE(dirty.top, Q::ParamTable(Q::kCutoff1).y + 20);
#ifdef _WIN32
  // Text comes from the platform's fonts: the reference's is from Linux.
  EXPECT_TRUE(Matches(panel, "panel-readout-cutoff1.png", dirty));
  EXPECT_FALSE(Matches(panel, "panel-default.png"));
#else
  EXPECT_TRUE(Matches(panel, "panel-readout-cutoff1.png"));
#endif

  // It stays a moment after the pointer leaves, then the panel is as before.
  panel.Hover(-1, -1);
  Ticks(g, 13);
  EXPECT_EQ(Showing(g), std::vector<int>{Q::kCutoff1});
  Ticks(g, 1);
  EXPECT_TRUE(Showing(g).empty());
  EXPECT_TRUE(Matches(panel, "panel-default.png"));
}

TEST(PanelReadout, AWindowThatGoesAwayTakesTheReadoutWithIt) {
  PanelSnapshot panel;
  IGraphics& g = panel.Graphics();
  panel.Hover(593, 292);
  panel.Render();
  ASSERT_EQ(Showing(g), std::vector<int>{Q::kMix});
  g.WindowGone();  // the pointer never left: the window closed under it
  g.AdvanceTick();
  EXPECT_TRUE(Showing(g).empty());
  EXPECT_EQ(g.MouseOverIndex(), -1);
  EXPECT_TRUE(Matches(panel, "panel-default.png"));
}

TEST(PanelReadout, EachKnobShowsItsOwnParameterInItsUnits) {
  struct Case {
    const char* name;
    int param;
    double value;
    const char* text;
  };
  const Case cases[] = {
      {"Mix", Q::kMix, 0.64, "64 %"},         {"LfoFrequency", Q::kLfoFrequency, 6.0, "6.0 Hz"},
      {"Phase", Q::kPhase, 1.75, "+45\xc2\xb0"}, {"Symmetry", Q::kSymmetry, 0.3, "30 %"},
      {"Shape", Q::kShape, 2.0, "square"},    {"Cutoff1", Q::kCutoff1, 0.2, "250 Hz"},
      {"Cutoff2", Q::kCutoff2, 1.0, "4.00 kHz"}, {"Resonance", Q::kResonance, 2.1, "Q 2.10"},
  };
  for (const Case& c : cases) {
    PanelSnapshot panel;
    IGraphics& g = panel.Graphics();
    ASSERT_TRUE(panel.Set(c.name, c.value));
    const Q::ParamRow& row = Q::ParamTable(c.param);
    panel.Hover(row.x + 2, row.y - 2);
    EXPECT_EQ(Showing(g), std::vector<int>{c.param}) << c.name;
    EXPECT_EQ(TextOf(g, c.param), c.text) << c.name;
  }
  // The note knob, shown in tempo sync, names the prefix too; the rate knob
  // it replaces shows nothing.
  PanelSnapshot panel;
  IGraphics& g = panel.Graphics();
  panel.Set("TempoSync", 1);
  panel.Set("Note", 2);
  panel.Set("Prefix", 2);
  panel.Hover(124, 192);
  EXPECT_EQ(Showing(g), std::vector<int>{Q::kNote});
  EXPECT_EQ(TextOf(g, Q::kNote), "1/4 triplet");
}

TEST(PanelReadout, ADragOrAWheelStepShowsTheChangingValue) {
  PanelSnapshot panel;
  IGraphics& g = panel.Graphics();
  panel.Render();
  const IMouseMods left{true};
  g.HandleMouseDown(593, 292, left);
  g.HandleMouseDrag(593, 280, left);  // the pointer leaves the knob; the drag holds it
  g.HandleMouseDrag(593, 250, left);
  g.AdvanceTick();
  EXPECT_EQ(Showing(g), std::vector<int>{Q::kMix});
  char expected[32];
  QuillwaveValueTexts::FormatValue(Q::kMix, panel.Plugin().GetParameter(Q::kMix)->Value(), 0,
                                   expected, sizeof expected);
  EXPECT_EQ(TextOf(g, Q::kMix), expected);
  EXPECT_NE(TextOf(g, Q::kMix), "50 %");
  panel.Render();
  // A change while it shows redraws its label, and nothing else.
  g.HandleMouseDrag(593, 240, left);
  g.AdvanceTick();
  IRect dirty;
  ASSERT_TRUE(g.CollectDirtyArea(dirty));
  EXPECT_TRUE(dirty.Contains(RectOf(g, Q::kMix)));
  g.HandleMouseUp(593, 240, left);
  Ticks(g, 15);
  EXPECT_TRUE(Showing(g).empty());

  // The wheel over a knob the pointer was never tracked on.
  panel.Wheel(433, 295, -3);
  g.AdvanceTick();
  EXPECT_EQ(Showing(g), std::vector<int>{Q::kResonance});
  EXPECT_EQ(TextOf(g, Q::kResonance), "Q 3.88");  // three notches of 0.01 of 0.1..4
}

TEST(PanelReadout, DrawingAReadoutAllocatesNothing) {
  PanelSnapshot panel;
  IGraphics& g = panel.Graphics();
  panel.Hover(433, 71);  // the label's font and glyphs are made here
  panel.Render();
  panel.Hover(-1, -1);
  Ticks(g, 15);
  panel.Render();
  testsupport::AllocationCounter counter;
  panel.Hover(433, 183);
  IRect area;
  while (g.CollectDirtyArea(area)) g.Redraw(area);
  counter.Stop();
  EXPECT_EQ(Showing(g), std::vector<int>{Q::kCutoff2});
  EXPECT_EQ(counter.Count(), 0);
}

TEST(PanelSwitches, ADoubleClickChoosesTheButtonUnderThePointer) {
  PanelSnapshot panel;
  IGraphics& g = panel.Graphics();
  panel.Set("TempoSync", 1);  // the prefix buttons show
  panel.Render();
  int switches = 0;
  for (int i = 0; i < g.ControlCount(); ++i) {
    auto* s = dynamic_cast<IRadioButtonsControl*>(g.GetControl(i));
    if (!s) continue;
    ++switches;
    const int param = s->ParamIndex();
    for (int b = s->ButtonCount() - 1; b >= 0; --b) {
      // A point of the button that no earlier one overlaps (the earlier
      // one takes a click there).
      const IRect& r = s->Button(b);
      int x = -1, y = -1;
      for (int py = r.top; py < r.bottom && x < 0; ++py)
        for (int px = r.left; px < r.right && x < 0; ++px) {
          bool free = true;
          for (int e = 0; e < b; ++e) free = free && !s->Button(e).Contains(px, py);
          if (free) x = px + 2, y = py + 2;
        }
      panel.DoubleClick(x, y);
      const double want = Q::ParamTable(param).minimum + b;
      EXPECT_EQ(panel.Plugin().GetParameter(param)->Value(), want)
          << "parameter " << param << ", button " << b;
    }
  }
  EXPECT_EQ(switches, 5);
  // Each press, the double click's included, is a closed gesture.
  panel.Plugin().DeliverHostEdits();
  int begun = 0, ended = 0;
  for (const PanelSnapshot::HostCall& c : panel.HostCalls()) {
    begun += c.opcode == vst::audioMasterBeginEdit;
    ended += c.opcode == vst::audioMasterEndEdit;
  }
  EXPECT_GT(begun, 0);
  EXPECT_EQ(begun, ended);
}

TEST(PanelTypedValues, ATypedValueAppliesAsOneGestureAndJunkChangesNothing) {
  PanelSnapshot panel;
  IGraphics& g = panel.Graphics();
  IControl* cutoff = nullptr;
  for (int i = 0; i < g.ControlCount(); ++i)
    if (g.GetControl(i)->ParamIndex() == Q::kCutoff1 && !dynamic_cast<IValueReadout*>(g.GetControl(i)))
      cutoff = g.GetControl(i);
  ASSERT_NE(cutoff, nullptr);
  const auto calls = [&] {
    panel.Plugin().DeliverHostEdits();
    std::string s;
    for (const PanelSnapshot::HostCall& c : panel.HostCalls()) {
      if (c.index != Q::kCutoff1) continue;
      if (c.opcode == vst::audioMasterBeginEdit) s += 'B';
      if (c.opcode == vst::audioMasterAutomate) s += 'A';
      if (c.opcode == vst::audioMasterEndEdit) s += 'E';
    }
    return s;
  };
  g.ApplyEnteredValue(cutoff, nullptr, "0.5k");
  EXPECT_NEAR(panel.Plugin().GetParameter(Q::kCutoff1)->Value(), 0.4, 1e-9);
  EXPECT_EQ(calls(), "BAE");
  for (const char* junk : {"", "loud", "5 %", "1/8"}) g.ApplyEnteredValue(cutoff, nullptr, junk);
  EXPECT_NEAR(panel.Plugin().GetParameter(Q::kCutoff1)->Value(), 0.4, 1e-9);
  EXPECT_EQ(calls(), "BAE");
  g.ApplyEnteredValue(cutoff, nullptr, "20 kHz");
  EXPECT_EQ(panel.Plugin().GetParameter(Q::kCutoff1)->Value(), 1.0);
  EXPECT_EQ(calls(), "BAEBAE");
}

}  // namespace
