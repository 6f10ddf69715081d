// The effect's plot data drawn the way the editor shows it: the oscillator
// curve as a glowing line and the two filter responses as filled lines, on
// the panel's background. The pictures are written beside this program
// (plot-panel.png, plot-oscillator.png, plot-response.png, the last two
// enlarged four times) for a look by eye.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <vector>

#include "editor/IBitmapControl.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "editor/plot/IPlotControlEx.h"
#include "editor/plot/IThickLineGen.h"
#include "HostedQuillwave.h"
#include "quillwave/Quillwave.h"

namespace {

vst::VstIntPtr NoHost(vst::AEffect*, vst::VstInt32, vst::VstInt32, vst::VstIntPtr, void*, float) {
  return 0;
}

constexpr IRect kOscRect{520, 25, 665, 114};
constexpr IRect kRespRect{520, 155, 666, 216};
constexpr IColorARGB kColour{255, 102, 90, 37};
constexpr IBlendSpec kLineBlend{IBlendSpec::kNormal, 0.72f};

// Writes area of the editor's surface, each pixel scale x scale, as an RGB
// PNG file (the window shows the surface without its alpha).
bool WritePng(const char* path, const IGraphicsHeadless& g, const IRect& area, int scale) {
  const int w = area.W() * scale, h = area.H() * scale;
  std::vector<png_byte> pixels(size_t(w) * size_t(h) * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Pixel p = g.PixelAt(area.left + x / scale, area.top + y / scale);
      png_byte* o = &pixels[(size_t(y) * size_t(w) + size_t(x)) * 3];
      o[0] = png_byte(raster::PixelR(p));
      o[1] = png_byte(raster::PixelG(p));
      o[2] = png_byte(raster::PixelB(p));
    }
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) png_write_row(png, &pixels[size_t(y) * size_t(w) * 3]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

}  // namespace

TEST(PlotPictures, OscillatorCurveAndFilledResponsesOnThePanel) {
  HostedQuillwave qHost(&NoHost);
  Quillwave& q = qHost.Plugin();
  vst::AEffect* e = qHost.Effect();
  e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
  e->setParameter(e, Quillwave::kFilterMode, 0.5f);  // the band-pass: two peaks

  IGraphicsHeadless g(nullptr, 689, 369, 25);
  const IBitmapStrip back = g.LoadBitmapStrip(120, "resources/img/back.png");
  ASSERT_EQ(back.width, 689);
  g.SetBackground(new IBitmapControl(nullptr, 0, 0, -1, back, {IBlendSpec::kOpaque, 1.0f}));

  auto* osc = new plot::IPlotControlEx(nullptr, &g, kOscRect);
  auto* curve =
      new plot::IThickLineGen<double>(&g, osc->Area(), kColour, kLineBlend, osc->InnerMargin());
  osc->AddLine(curve);
  auto* resp = new plot::IPlotControlEx(nullptr, &g, kRespRect);
  plot::IThickLineGen<float>* limits[2];
  for (auto*& line : limits) {
    line =
        new plot::IThickLineGen<float>(&g, resp->Area(), kColour, kLineBlend, resp->InnerMargin());
    line->SetFillUnderCurve(true);
    line->SetDrawOutline(true);
    line->SetBaselineLevel(0.0f);
    resp->AddLine(line);
  }
  g.AddControl(osc);
  g.AddControl(resp);
  g.PrepareSurface();

  curve->SetData(q.OscillatorCurve());
  limits[0]->SetData(q.ResponseProfile(0));
  limits[1]->SetData(q.ResponseProfile(1));
  ASSERT_TRUE(g.Tick());

  EXPECT_TRUE(WritePng("plot-panel.png", g, {0, 0, 689, 369}, 1));
  EXPECT_TRUE(WritePng("plot-oscillator.png", g, kOscRect, 4));
  EXPECT_TRUE(WritePng("plot-response.png", g, kRespRect, 4));

  // The curve crosses the whole inner width of the oscillator plot, and the
  // fill tints the response plot low down where both responses lie above
  // the baseline.
  auto changed = [&](int x, int y) {
    const Pixel* b = back.image->GetBits();
    return (g.PixelAt(x, y) & 0xFFFFFF) != (b[y * back.image->GetRowSpan() + x] & 0xFFFFFF);
  };
  for (int x = kOscRect.left + 4; x < kOscRect.right - 4; ++x) {
    bool any = false;
    for (int y = kOscRect.top; y < kOscRect.bottom; ++y) any = any || changed(x, y);
    EXPECT_TRUE(any) << "column " << x;
  }
  int tinted = 0;
  for (int x = kRespRect.left + 5; x < kRespRect.right - 5; ++x)
    tinted += changed(x, kRespRect.bottom - 6);
  EXPECT_GT(tinted, 100);
}
