// The sweep's marker on the oscillator plot: where the audio thread's
// oscillator is, moved at the editor's tick, still without audio.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "editor/IGraphics.h"
#include "editor/plot/IPlotMarker.h"
#include "snapshot/PanelSnapshot.h"
#include "quillwave/Quillwave.h"
#include "raster/MemBitmap.h"
#include "raster/PngImage.h"
#include "raster/PngWriter.h"

namespace {

std::vector<Pixel> PixelsOf(const raster::IBitmap& b) {
  std::vector<Pixel> out;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) out.push_back(b.GetBits()[y * b.GetRowSpan() + x]);
  return out;
}

::testing::AssertionResult Matches(PanelSnapshot& panel, const std::string& golden) {
  std::ifstream in(std::string(QW_GOLDEN_DIR) + "/" + golden, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  const auto image = raster::LoadPNGFromMemory(bytes.data(), bytes.size());
  const raster::IBitmap& shown = panel.Render();
  if (image && PixelsOf(shown) == PixelsOf(*image)) return ::testing::AssertionSuccess();
  const std::string written = "actual-" + golden;
  raster::WritePNGFile(shown, written.c_str());
  return ::testing::AssertionFailure() << "the panel differs from golden/" << golden << "; see "
                                       << written << " (./qw goldens redraws the references)";
}

// The markers in panel order: the sweep's dot, then the cutoff's line.
plot::IPlotMarker* MarkerOf(IGraphics& g, int which = 0) {
  for (int i = 0; i < g.ControlCount(); ++i)
    if (auto* m = dynamic_cast<plot::IPlotMarker*>(g.GetControl(i)))
      if (which-- == 0) return m;
  return nullptr;
}

// The plotted curve at x (0..1 across its period), between its points.
double CurveAt(const std::vector<double>& curve, double x) {
  const double at = x * double(curve.size() - 1);
  const size_t i = std::min(size_t(at), curve.size() - 2);
  return curve[i] + (at - double(i)) * (curve[i + 1] - curve[i]);
}

TEST(PanelMarker, FollowsTheAudioOnTheCurveAndStaysStillWithout) {
  PanelSnapshot panel;
  IGraphics& g = panel.Graphics();
  plot::IPlotMarker* marker = MarkerOf(g);
  ASSERT_NE(marker, nullptr);
  // No audio yet: nothing shows.
  g.AdvanceTick();
  EXPECT_TRUE(marker->IsHidden());
  EXPECT_TRUE(Matches(panel, "panel-default.png"));

  panel.Process(11025);
  EXPECT_FALSE(marker->IsHidden());
  EXPECT_TRUE(Matches(panel, "panel-marker.png"));

  // Without audio it keeps its place and asks for no redraw.
  const IRect still = marker->Dot();
  g.AdvanceTick();
  IRect dirty;
  EXPECT_FALSE(g.CollectDirtyArea(dirty));
  EXPECT_EQ(marker->Dot(), still);

  // A block later both markers have moved, each redrawing only around its
  // old and new places inside its plot.
  plot::IPlotMarker* cutoff = MarkerOf(g, 1);
  ASSERT_NE(cutoff, nullptr);
  const IRect stillLine = cutoff->Dot();
  panel.Process(2205);
  ASSERT_TRUE(g.CollectDirtyArea(dirty));
  EXPECT_NE(marker->Dot(), still);
  EXPECT_NE(cutoff->Dot(), stillLine);
  EXPECT_EQ(marker->DrawArea(), still.Union(marker->Dot()));
  EXPECT_EQ(cutoff->DrawArea(), stillLine.Union(cutoff->Dot()));
  EXPECT_TRUE(IRect({520, 25, 665, 114}).Contains(marker->DrawArea()));
  EXPECT_TRUE(IRect({520, 155, 666, 216}).Contains(cutoff->DrawArea()));
  EXPECT_EQ(dirty, marker->DrawArea().Union(cutoff->DrawArea()));
  panel.Render();

  // Moving it allocates nothing.
  panel.Process(1764);
  {
    testsupport::AllocationCounter counter;
    while (g.CollectDirtyArea(dirty)) g.Redraw(dirty);
    counter.Stop();
    EXPECT_EQ(counter.Count(), 0);
  }

  // Bypassed, the sweep stops and so does the marker.
  const IRect beforeBypass = marker->Dot(), lineBeforeBypass = cutoff->Dot();
  panel.Set("OnOff", 1);
  panel.Process(4410);
  EXPECT_EQ(marker->Dot(), beforeBypass);
  EXPECT_EQ(cutoff->Dot(), lineBeforeBypass);
}

TEST(PanelMarker, TheCutoffLineStandsOnTheResponseOfTheLimitTheSweepIsAt) {
  PanelSnapshot panel;
  panel.Set("Shape", 2.0);  // square: the sweep rests at its limits
  panel.Set("Symmetry", 0.5);
  panel.Set("LfoFrequency", 2.0);
  panel.Process(44100);
  // The response plot's axis runs from 100 Hz to 4 kHz, logarithmically.
  const auto axis = [](double hz) { return std::log(hz / 100.0) / std::log(40.0); };
  const double low = axis(125.0 * std::pow(32.0, 0.2)), high = axis(125.0 * std::pow(32.0, 0.4));
  int atLow = 0, atHigh = 0;
  for (int block = 0; block < 200; ++block) {
    panel.Process(441);
    float x = 0, y = 0, at = 0, unused = 0;
    ASSERT_TRUE(panel.Plugin().SweepPosition().Read(x, y));
    ASSERT_TRUE(panel.Plugin().CutoffPosition().Read(at, unused));
    if (y < 0.001f) {
      ++atLow;
      EXPECT_NEAR(at, low, 1e-3);
    } else if (y > 0.999f) {
      ++atHigh;
      EXPECT_NEAR(at, high, 1e-3);
    }
  }
  EXPECT_GT(atLow, 10);
  EXPECT_GT(atHigh, 10);
}

TEST(PanelMarker, ThePublishedPointLiesOnThePlottedCurve) {
  struct Setting {
    double shape, symmetry, phase, rate;
  };
  for (const Setting& s : {Setting{0.0, 0.5, 1.5, 6.0}, Setting{1.0, 0.2, 0.8, 3.3},
                           Setting{2.0, 0.9, 2.2, 1.7}, Setting{0.6, 0.0, 1.5, 11.0}}) {
    PanelSnapshot panel;
    panel.Set("Shape", s.shape);
    panel.Set("Symmetry", s.symmetry);
    panel.Set("Phase", s.phase);
    panel.Set("LfoFrequency", s.rate);
    panel.Process(44100);  // past the slew that follows the changes
    const std::vector<double> curve = panel.Plugin().OscillatorCurve();
    for (int block = 0; block < 12; ++block) {
      panel.Process(1000 + 37 * block);
      float x = -1.0f, y = -1.0f;
      ASSERT_TRUE(panel.Plugin().SweepPosition().Read(x, y));
      ASSERT_GE(x, 0.0f);
      ASSERT_LT(x, 1.0f);
      // The square's ramps are steep: compare there with the curve's
      // neighbourhood rather than one point.
      const double dx = 0.5 / double(curve.size() - 1);
      const double lo = std::min({CurveAt(curve, std::max(0.0, x - dx)), CurveAt(curve, x),
                                  CurveAt(curve, std::min(1.0, x + dx))});
      const double hi = std::max({CurveAt(curve, std::max(0.0, x - dx)), CurveAt(curve, x),
                                  CurveAt(curve, std::min(1.0, x + dx))});
      EXPECT_GE(y, lo - 0.01) << "shape " << s.shape << " at x " << x;
      EXPECT_LE(y, hi + 0.01) << "shape " << s.shape << " at x " << x;
    }
  }
}

}  // namespace
