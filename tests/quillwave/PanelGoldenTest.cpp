// The panel as a host shows it, compared pixel for pixel with the committed
// reference images in golden/. After a deliberate change to the artwork or
// the layout, regenerate them with ./qw goldens and look at them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/IKnobControl.h"
#include "snapshot/PanelSnapshot.h"
#include "quillwave/Quillwave.h"
#include "raster/MemBitmap.h"
#include "raster/PngImage.h"
#include "raster/PngWriter.h"

namespace {

std::unique_ptr<raster::MemBitmap> LoadGolden(const std::string& name) {
  std::ifstream in(std::string(QW_GOLDEN_DIR) + "/" + name, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  return raster::LoadPNGFromMemory(bytes.data(), bytes.size());
}

Pixel At(const raster::IBitmap& b, int x, int y) {
  return b.GetBits()[std::ptrdiff_t(y) * b.GetRowSpan() + x];
}

// Pixels that differ, or -1 when the sizes differ.
long Differences(const raster::IBitmap& a, const raster::IBitmap& b, const IRect* only = nullptr) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return -1;
  long n = 0;
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x)
      if ((!only || only->Contains(x, y)) && At(a, x, y) != At(b, x, y)) ++n;
  return n;
}

void ExpectMatchesGolden(const raster::IBitmap& actual, const std::string& name) {
  const auto golden = LoadGolden(name);
  ASSERT_NE(golden, nullptr) << "cannot read " << QW_GOLDEN_DIR << "/" << name;
  const long diff = Differences(actual, *golden);
  if (diff != 0) {
    const std::string written = "actual-" + name;
    raster::WritePNGFile(actual, written.c_str());
    ADD_FAILURE() << diff << " pixels differ from golden/" << name << "; this run's panel is "
                  << written << ". If the change is meant, regenerate with ./qw goldens.";
  }
}

IKnobMultiControl* KnobOf(IGraphics& g, int param) {
  for (int i = 0; i < g.ControlCount(); ++i)
    if (g.GetControl(i)->ParamIndex() == param)
      if (auto* k = dynamic_cast<IKnobMultiControl*>(g.GetControl(i))) return k;
  return nullptr;
}

}  // namespace

TEST(Panel, DefaultsAndTempoSyncMatchTheReferenceImages) {
  PanelSnapshot panel;
  ASSERT_TRUE(panel.Valid());
  ExpectMatchesGolden(panel.Render(), "panel-default.png");
  ASSERT_TRUE(panel.Set("TempoSync", 1.0));
  ExpectMatchesGolden(panel.Render(), "panel-temposync.png");
  // Back again: the incremental redraws leave exactly the default panel.
  ASSERT_TRUE(panel.Set("TempoSync", 0.0));
  ExpectMatchesGolden(panel.Render(), "panel-default.png");
}

TEST(Panel, AutomationShowsInTheNextRedrawAndOnlyWhereTheKnobIs) {
  PanelSnapshot panel;
  ASSERT_TRUE(panel.Valid());
  raster::MemBitmap before(kEditorWidth, kEditorHeight);
  const raster::IBitmap& surface = panel.Render();
  for (int y = 0; y < kEditorHeight; ++y)
    for (int x = 0; x < kEditorWidth; ++x)
      before.GetBits()[std::ptrdiff_t(y) * before.GetRowSpan() + x] = At(surface, x, y);

  IKnobMultiControl* mix = KnobOf(panel.Graphics(), Quillwave::kMix);
  ASSERT_NE(mix, nullptr);
  const int frameBefore = mix->CurrentFrame();
  ASSERT_TRUE(panel.SetNormalized(Quillwave::kMix, 1.0f));
  panel.Render();
  EXPECT_EQ(mix->CurrentFrame(), 120);
  EXPECT_NE(frameBefore, 120);
  const IRect knob = mix->Rect();
  EXPECT_GT(Differences(surface, before, &knob), 0);
  EXPECT_EQ(Differences(surface, before) , Differences(surface, before, &knob))
      << "pixels outside the Mix knob changed";
}

// Tempo sync swaps the rate knob and the logo for the note knob and the
// note-kind switches in the same places; a mode change re-applies it.
TEST(Panel, TempoSyncDecidesWhichRateControlsAreShownAndTakeTheMouse) {
  PanelSnapshot panel;
  ASSERT_TRUE(panel.Valid());
  IGraphics& g = panel.Graphics();
  auto shown = [&](int param) {
    for (int i = 0; i < g.ControlCount(); ++i)
      if (g.GetControl(i)->ParamIndex() == param) return !g.GetControl(i)->IsHidden();
    return false;
  };
  const auto settings = [&] { return std::vector<bool>{shown(Quillwave::kLfoFrequency),
                                                       shown(Quillwave::kNote),
                                                       shown(Quillwave::kPrefix)}; };
  EXPECT_EQ(settings(), (std::vector<bool>{true, false, false}));
  panel.Set("TempoSync", 1.0);
  EXPECT_EQ(settings(), (std::vector<bool>{false, true, true}));
  panel.Set("Mode", 1.0);
  EXPECT_EQ(settings(), (std::vector<bool>{false, true, true}));

  // With sync on, a drag at the big knob's centre moves the note value.
  vst::AEffect* e = panel.Effect();
  const float rate = e->getParameter(e, Quillwave::kLfoFrequency);
  const float note = e->getParameter(e, Quillwave::kNote);
  panel.Drag(124, 192, 0, -60);
  EXPECT_EQ(e->getParameter(e, Quillwave::kLfoFrequency), rate);
  EXPECT_GT(e->getParameter(e, Quillwave::kNote), note);

  panel.Set("TempoSync", 0.0);
  panel.Set("Mode", 0.0);
  EXPECT_EQ(settings(), (std::vector<bool>{true, false, false}));
  panel.Drag(124, 192, 0, -60);
  EXPECT_GT(e->getParameter(e, Quillwave::kLfoFrequency), rate);
}
