// The committed editor images keep the promises the editor relies on: sizes
// and frame counts, knob frames whose pointer and value arc follow the
// frame's value, switches whose second frame is the lit one, opaque
// background with plot screens the plot colour reads well on, note-kind
// symbols over their buttons.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "raster/PngImage.h"

namespace {

std::unique_ptr<raster::MemBitmap> Load(const std::string& name) {
  std::ifstream in(std::string(QW_IMAGE_DIR) + "/" + name, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  return raster::LoadPNGFromMemory(bytes.data(), bytes.size());
}

struct Rgba {
  int r, g, b, a;
};

Rgba At(const raster::IBitmap& b, int x, int y) {
  const Pixel p = b.GetBits()[std::size_t(y) * std::size_t(b.GetRowSpan()) + std::size_t(x)];
  return {raster::PixelR(p), raster::PixelG(p), raster::PixelB(p), raster::PixelA(p)};
}

// Relative luminance of an sRGB colour, 0..1.
double Luminance(Rgba c) {
  const auto lin = [](int v) {
    const double s = v / 255.0;
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * lin(c.r) + 0.7152 * lin(c.g) + 0.0722 * lin(c.b);
}

bool IsPointer(Rgba c) { return c.a > 200 && c.r > 235 && c.g > 235 && c.b > 225; }
bool IsLitArc(Rgba c) { return c.a > 200 && c.r > 220 && c.g > 120 && c.g < 190 && c.b < 90; }

struct ImageSpec {
  const char* name;
  int width, height, frames;
};

TEST(Artwork, EveryImageHasItsSizeAndFrameCount) {
  const ImageSpec images[] = {
      {"back.png", 689, 369, 1},   {"knob2_anim.png", 72, 8640, 120},
      {"mix.png", 124, 124, 1},    {"knob1_anim.png", 110, 13200, 120},
      {"lfo.png", 180, 180, 1},    {"knob1_note_anim.png", 110, 770, 7},
      {"note.png", 210, 210, 1},   {"knob3_anim.png", 56, 6720, 120},
      {"phase.png", 112, 112, 1},  {"symm.png", 108, 108, 1},
      {"shape.png", 116, 116, 1},  {"switch.png", 32, 64, 2},
      {"note_lbl.png", 78, 47, 1}, {"logo.png", 52, 52, 1},
      {"cut1.png", 130, 130, 1},   {"cut2.png", 130, 130, 1},
      {"res.png", 130, 130, 1},    {"small_check.png", 16, 32, 2},
      {"filt_sw.png", 130, 18, 1},
  };
  for (const ImageSpec& s : images) {
    auto b = Load(s.name);
    ASSERT_TRUE(b) << s.name;
    EXPECT_EQ(b->GetWidth(), s.width) << s.name;
    EXPECT_EQ(b->GetHeight(), s.height) << s.name;
    EXPECT_EQ(b->GetHeight() % s.frames, 0) << s.name;
  }
  // Images the editor does not load stay small.
  for (const char* name : {"knob1.png", "knob3.png", "cut.png", "led_on.png", "led_off.png",
                           "hp.png", "lp.png", "wah.png"}) {
    auto b = Load(name);
    ASSERT_TRUE(b) << name;
    EXPECT_LE(b->GetWidth() * b->GetHeight(), 32 * 32) << name;
  }
}

// Frame i of an n-frame knob strip shows value i / (n - 1): the pointer
// points at the dial angle of that value (-135 degrees at the minimum, +135
// at the maximum, 0 straight up) and the lit arc grows with the value.
TEST(Artwork, KnobFramesFollowTheirValue) {
  for (const ImageSpec& s :
       {ImageSpec{"knob1_anim.png", 110, 0, 120}, ImageSpec{"knob1_note_anim.png", 110, 0, 7},
        ImageSpec{"knob2_anim.png", 72, 0, 120}, ImageSpec{"knob3_anim.png", 56, 0, 120}}) {
    auto b = Load(s.name);
    ASSERT_TRUE(b) << s.name;
    const int size = s.width;
    int previousArc = -1;
    for (int f = 0; f < s.frames; ++f) {
      double sx = 0, sy = 0;
      int pointer = 0, arc = 0;
      for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
          const Rgba c = At(*b, x, f * size + y);
          if (IsPointer(c)) {
            sx += x + 0.5 - size / 2.0;
            sy += y + 0.5 - size / 2.0;
            ++pointer;
          }
          arc += IsLitArc(c);
        }
      ASSERT_GT(pointer, size / 4) << s.name << " frame " << f << ": no clear pointer";
      const double angle = std::atan2(sx, -sy) * 180.0 / 3.14159265358979323846;
      const double expected = -135.0 + 270.0 * f / (s.frames - 1);
      EXPECT_NEAR(angle, expected, 2.0) << s.name << " frame " << f;
      if (f == 0) {
        EXPECT_EQ(arc, 0) << s.name << ": the minimum shows no lit arc";
      }
      EXPECT_GE(arc, previousArc - 2) << s.name << " frame " << f;
      previousArc = arc;
    }
    EXPECT_GT(previousArc, size) << s.name << ": the maximum lights the whole arc";
  }
}

// Frame 1 of a switch strip is the unselected button, frame 2 the selected
// one: a lit lamp, far brighter than the unlit one.
TEST(Artwork, SwitchesLightUpInTheirSecondFrame) {
  for (const char* name : {"switch.png", "small_check.png"}) {
    auto b = Load(name);
    ASSERT_TRUE(b) << name;
    const int size = b->GetWidth();
    ASSERT_EQ(b->GetHeight(), 2 * size);
    const Rgba off = At(*b, size / 2, size / 2);
    const Rgba on = At(*b, size / 2, size + size / 2);
    EXPECT_EQ(off.a, 255) << name;
    EXPECT_EQ(on.a, 255) << name;
    EXPECT_GT(Luminance(on), 4 * Luminance(off)) << name;
    EXPECT_GT(Luminance(on), 0.4) << name;
    // Neighbouring buttons overlap by 8 pixels in a column: the drawing of
    // each stays clear of its frame's edge rows so they do not collide.
    for (int x = 0; x < size; ++x) {
      EXPECT_LT(At(*b, x, 0).a, 128) << name;
      EXPECT_LT(At(*b, x, 2 * size - 1).a, 128) << name;
    }
  }
}

// The plot lines are drawn in (102, 90, 37): the screens behind them must
// give that colour a clear contrast, and the whole background is opaque.
TEST(Artwork, BackgroundIsOpaqueWithReadablePlotScreens) {
  auto b = Load("back.png");
  ASSERT_TRUE(b);
  for (int y = 0; y < b->GetHeight(); ++y)
    for (int x = 0; x < b->GetWidth(); ++x) ASSERT_EQ(At(*b, x, y).a, 255) << x << "," << y;

  const double line = Luminance({102, 90, 37, 255});
  struct Plot {
    int l, t, r, b;
  };
  for (const Plot& p : {Plot{520, 25, 665, 114}, Plot{520, 155, 666, 216}}) {
    // The inner area the lines use; grid lines and the small frequency
    // labels may be darker, but only on a small share of it.
    int pixels = 0, clear = 0;
    double sum = 0;
    for (int y = p.t + 3; y < p.b - 3; ++y)
      for (int x = p.l + 3; x < p.r - 3; ++x) {
        const double screen = Luminance(At(*b, x, y));
        sum += screen;
        clear += (screen + 0.05) / (line + 0.05) >= 3.0;
        ++pixels;
      }
    EXPECT_GT(clear, pixels * 95 / 100) << p.l << "," << p.t;
    EXPECT_GT((sum / pixels + 0.05) / (line + 0.05), 4.5) << p.l << "," << p.t;
  }
}

// The filter names sit right of each of the three filter buttons
// (x 520, 570, 620 on the panel; the image starts at 536).
TEST(Artwork, FilterNamesBesideEachButton) {
  auto b = Load("filt_sw.png");
  ASSERT_TRUE(b);
  for (int start : {0, 50, 100}) {
    int ink = 0;
    for (int y = 0; y < b->GetHeight(); ++y)
      for (int x = start; x < start + 30; ++x) ink += At(*b, x, y).a > 128;
    EXPECT_GT(ink, 20) << "name at " << start;
    // Nothing under the next button.
    for (int y = 0; y < b->GetHeight() && start + 34 < 130; ++y)
      for (int x = start + 34; x < start + 50 && x < 130; ++x)
        EXPECT_EQ(At(*b, x, y).a, 0) << x << "," << y;
  }
}

// The prefix's buttons lie 26 pixels apart, their lamps at x 11, 37 and 63
// of the note-kind image. Each symbol stands over its own lamp, all shifted
// alike (within a pixel), clear of its neighbours; the middle one carries
// its figures beside the note, so it is far wider than the plain note.
TEST(Artwork, NoteKindsStandOverTheirButtons) {
  auto b = Load("note_lbl.png");
  ASSERT_TRUE(b);
  struct Span {
    int left, right;  // inked columns, inclusive
  };
  std::vector<Span> symbols;
  for (int x = 0; x < b->GetWidth(); ++x) {
    bool ink = false;
    for (int y = 0; y < b->GetHeight(); ++y) ink = ink || At(*b, x, y).a > 64;
    if (!ink) continue;
    // A note and its figures stand up to three columns apart.
    if (!symbols.empty() && x - symbols.back().right <= 4) {
      symbols.back().right = x;
    } else {
      symbols.push_back({x, x});
    }
  }
  ASSERT_EQ(symbols.size(), 3u);
  const double lamps[] = {11, 37, 63};
  double offset[3];
  for (int i = 0; i < 3; ++i) {
    offset[i] = (symbols[i].left + symbols[i].right + 1) / 2.0 - lamps[i];
    EXPECT_LE(std::fabs(offset[i]), 1.5) << "symbol " << i;
    if (i > 0) {
      EXPECT_NEAR(offset[i], offset[0], 1.0) << "symbol " << i;
      EXPECT_GE(symbols[i].left - symbols[i - 1].right, 6) << "symbol " << i;
    }
  }
  const int plain = symbols[0].right - symbols[0].left + 1;
  EXPECT_GE(symbols[1].right - symbols[1].left + 1, 2 * plain);
}

}  // namespace
