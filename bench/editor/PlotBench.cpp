// Rendering the editor's plot lines and drawing a plot onto the surface, at
// the editor's sizes: the oscillator line (double samples, 145 x 89) and a
// filled response line (float samples, 146 x 61), 200 samples each.

#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include "editor/IBitmapControl.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "editor/plot/IPlotControlEx.h"
#include "editor/plot/IThickLineGen.h"
#include "raster/MemBitmap.h"

namespace {

constexpr int kPoints = 200;
constexpr IColorARGB kColour{255, 102, 90, 37};
constexpr IBlendSpec kLineBlend{IBlendSpec::kNormal, 0.72f};
constexpr IRect kOscRect{520, 25, 665, 114};
constexpr IRect kRespRect{520, 155, 666, 216};

// One period of a lopsided triangle, as the oscillator draws it.
std::vector<double> OscillatorCurve() {
  std::vector<double> v(kPoints);
  for (int i = 0; i < kPoints; ++i) {
    const double t = i / double(kPoints - 1);
    v[size_t(i)] = t < 0.3 ? 1.0 - t / 0.3 : (t - 0.3) / 0.7;
  }
  return v;
}

// A resonant peak on a decibel scale in 0..1, as the responses look.
std::vector<float> Response(double peak) {
  std::vector<float> v(kPoints);
  for (int i = 0; i < kPoints; ++i) {
    const double d = (i / double(kPoints - 1) - peak) * 8.0;
    v[size_t(i)] = float(0.35 + 0.6 / (1.0 + d * d));
  }
  return v;
}

plot::IThickLineGen<float>* ResponseLine(const IRect& area, int margin) {
  auto* line = new plot::IThickLineGen<float>(nullptr, area, kColour, kLineBlend, margin);
  line->SetFillUnderCurve(true);
  line->SetDrawOutline(true);
  return line;
}

void BM_RenderOscillatorLine(benchmark::State& state) {
  plot::IThickLineGen<double> line(nullptr, {0, 0, 145, 89}, kColour, kLineBlend, 3);
  line.SetData(OscillatorCurve());
  for (auto _ : state) benchmark::DoNotOptimize(line.RenderLine());
}
BENCHMARK(BM_RenderOscillatorLine);

void BM_RenderFilledResponseLine(benchmark::State& state) {
  std::unique_ptr<plot::IThickLineGen<float>> line(ResponseLine({0, 0, 146, 61}, 3));
  line->SetData(Response(0.25));
  for (auto _ : state) benchmark::DoNotOptimize(line->RenderLine());
}
BENCHMARK(BM_RenderFilledResponseLine);

// The two plots of the editor on a headless editor with an opaque
// background: the oscillator plot with its line, the response plot with two
// filled lines.
struct Plots {
  IGraphicsHeadless graphics{nullptr, 689, 369, 25};
  raster::MemBitmap back{689, 369};
  plot::IPlotControlEx* osc = new plot::IPlotControlEx(nullptr, &graphics, kOscRect);
  plot::IPlotControlEx* resp = new plot::IPlotControlEx(nullptr, &graphics, kRespRect);

  Plots() {
    for (int y = 0; y < 369; ++y)
      for (int x = 0; x < 689; ++x)
        back.GetBits()[y * back.GetRowSpan() + x] = raster::MakePixel(255, 224, 218, 192);
    graphics.SetBackground(new IBitmapControl(nullptr, 0, 0, -1, {&back, 689, 369, 1, false},
                                              {IBlendSpec::kOpaque, 1.0f}));
    auto* curve = new plot::IThickLineGen<double>(nullptr, osc->Area(), kColour, kLineBlend,
                                                  osc->InnerMargin());
    curve->SetData(OscillatorCurve());
    osc->AddLine(curve);
    for (double peak : {0.25, 0.45}) {
      auto* line = ResponseLine(resp->Area(), resp->InnerMargin());
      line->SetData(Response(peak));
      resp->AddLine(line);
    }
    graphics.AddControl(osc);
    graphics.AddControl(resp);
    graphics.PrepareSurface();
    graphics.Redraw({0, 0, 689, 369});  // the drawing clip covers everything
  }
};

void BM_DrawOscillatorPlot(benchmark::State& state) {
  Plots p;
  for (auto _ : state) benchmark::DoNotOptimize(p.osc->Draw(p.graphics));
}
BENCHMARK(BM_DrawOscillatorPlot);

void BM_DrawResponsePlot(benchmark::State& state) {
  Plots p;
  for (auto _ : state) benchmark::DoNotOptimize(p.resp->Draw(p.graphics));
}
BENCHMARK(BM_DrawResponsePlot);

// What a refresh of the response plot costs in the redraw cycle: new
// samples, the dirty mark, and the tick that repaints the plot's area.
void BM_RefreshResponsePlot(benchmark::State& state) {
  Plots p;
  const std::vector<float> a = Response(0.25), b = Response(0.3);
  auto* lines = p.resp;
  int i = 0;
  for (auto _ : state) {
    static_cast<plot::IThickLineGen<float>*>(lines->Line(0))->SetData(++i % 2 ? a : b);
    p.resp->MarkDirty(true);
    benchmark::DoNotOptimize(p.graphics.Tick());
  }
}
BENCHMARK(BM_RefreshResponsePlot);

}  // namespace
