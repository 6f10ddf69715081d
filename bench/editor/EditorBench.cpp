// What the open editor costs: a full redraw of the panel, the redraw after
// one knob moved, re-rendering each plot, the ticks that show a knob's
// value readout and move the sweep's marker, and the 40 ms tick when
// nothing changed.
#include <benchmark/benchmark.h>

#include "editor/IGraphics.h"
#include "editor/plot/IPlotControlEx.h"
#include "snapshot/PanelSnapshot.h"
#include "quillwave/Quillwave.h"

namespace {

plot::IPlotControlEx* PlotAt(IGraphics& g, int left, int top) {
  for (int i = 0; i < g.ControlCount(); ++i) {
    auto* p = dynamic_cast<plot::IPlotControlEx*>(g.GetControl(i));
    if (p && p->Rect().left == left && p->Rect().top == top) return p;
  }
  return nullptr;
}

void BM_FullRedraw(benchmark::State& state) {
  PanelSnapshot panel;
  panel.Render();
  IGraphics& g = panel.Graphics();
  const IRect all{0, 0, g.Width(), g.Height()};
  for (auto _ : state) g.Redraw(all);
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMicrosecond);

// The host moves Mix; the next tick redraws the knob (and once more for
// its redraw-pending pass, measured separately).
void BM_KnobChangeTick(benchmark::State& state) {
  PanelSnapshot panel;
  panel.Render();
  IGraphics& g = panel.Graphics();
  float v = 0.0f;
  IRect area;
  for (auto _ : state) {
    state.PauseTiming();
    v = v > 0.9f ? 0.0f : v + 0.05f;
    panel.SetNormalized(Quillwave::kMix, v);
    state.ResumeTiming();
    if (g.CollectDirtyArea(area)) g.Redraw(area);
    state.PauseTiming();
    if (g.CollectDirtyArea(area)) g.Redraw(area);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_KnobChangeTick)->Unit(benchmark::kMicrosecond);

// The pointer comes onto a knob: the tick that shows its readout (label
// and text drawn over what lies beneath), then, paused, the ticks that
// hide it again once the pointer has left.
void BM_ReadoutTick(benchmark::State& state) {
  PanelSnapshot panel;
  panel.Render();
  IGraphics& g = panel.Graphics();
  const int knobs[][2] = {{433, 71}, {433, 183}, {297, 183}, {593, 292}};
  int k = 0;
  IRect area;
  for (auto _ : state) {
    state.PauseTiming();
    g.HandleMouseOver(knobs[k][0], knobs[k][1], IMouseMods{});
    k = (k + 1) % 4;
    state.ResumeTiming();
    g.AdvanceTick();
    if (g.CollectDirtyArea(area)) g.Redraw(area);
    state.PauseTiming();
    g.HandleMouseLeave();
    for (int i = 0; i < 2 * g.FrameRate(); ++i) {
      g.AdvanceTick();
      if (g.CollectDirtyArea(area)) g.Redraw(area);
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReadoutTick)->Unit(benchmark::kMicrosecond);

// Audio has run since the last tick: the tick that moves the sweep's
// marker on the oscillator plot (the plot composed again where the dot
// was and goes, its curve not re-rendered).
void BM_MarkerTick(benchmark::State& state) {
  PanelSnapshot panel;
  panel.Process(512);
  panel.Render();
  IGraphics& g = panel.Graphics();
  IRect area;
  for (auto _ : state) {
    state.PauseTiming();
    panel.Process(1764);  // 40 ms of audio; its own tick is part of it
    if (g.CollectDirtyArea(area)) g.Redraw(area);
    panel.Process(1764);
    state.ResumeTiming();
    if (g.CollectDirtyArea(area)) g.Redraw(area);
  }
}
BENCHMARK(BM_MarkerTick)->Unit(benchmark::kMicrosecond);

// Each plot redrawn after the effect handed it new samples: its lines are
// re-rendered (curve, glow, fill) and laid over the background.
void BM_PlotRedraw(benchmark::State& state) {
  PanelSnapshot panel;
  panel.Render();
  IGraphics& g = panel.Graphics();
  plot::IPlotControlEx* plotControl =
      state.range(0) == 0 ? PlotAt(g, 520, 25) : PlotAt(g, 520, 155);
  if (!plotControl) {
    state.SkipWithError("plot not found");
    return;
  }
  const IRect r = plotControl->Rect();
  for (auto _ : state) {
    for (int i = 0; i < plotControl->LineCount(); ++i) plotControl->Line(i)->MarkChanged();
    plotControl->MarkDirty(false);
    g.Redraw(r);
  }
  state.SetLabel(state.range(0) == 0 ? "oscillator" : "responses");
}
BENCHMARK(BM_PlotRedraw)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The line alone: curve, blur passes and fill into its own bitmaps.
void BM_PlotLineRender(benchmark::State& state) {
  PanelSnapshot panel;
  panel.Render();
  plot::IPlotControlEx* p = PlotAt(panel.Graphics(), 520, state.range(0) == 0 ? 25 : 155);
  if (!p) {
    state.SkipWithError("plot not found");
    return;
  }
  plot::IBasePlotLine* line = p->Line(0);
  for (auto _ : state) {
    line->MarkChanged();
    benchmark::DoNotOptimize(line->RenderLine());
  }
  state.SetLabel(state.range(0) == 0 ? "oscillator, double" : "response, float, filled");
}
BENCHMARK(BM_PlotLineRender)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_IdleTick(benchmark::State& state) {
  PanelSnapshot panel;
  panel.Render();
  IGraphics& g = panel.Graphics();
  IRect area;
  for (auto _ : state) {
    if (g.CollectDirtyArea(area)) g.Redraw(area);
    benchmark::DoNotOptimize(area);
  }
}
BENCHMARK(BM_IdleTick);

}  // namespace

BENCHMARK_MAIN();
