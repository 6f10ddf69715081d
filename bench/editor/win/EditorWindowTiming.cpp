// Time spent inside the editor's window procedure under a Windows host:
// the idle redraw tick (nothing dirty) and one step of a knob drag (the
// mouse move plus the tick that redraws the knob), beside the same work on
// the headless editor. Run under Wine on a display:
//   cmake/RunWindowed.sh build-win/bench/editor/win/qw_bench_editor_win.exe [DLL X Y]
// DLL is a plug-in library with an editor, (X, Y) a knob's centre in it;
// without arguments the Windows test panel library is used.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "HostWindow.h"
#include "TestHost.h"
#include "WinEditorFixture.h"
#include "editor/headless/IGraphicsHeadless.h"

using namespace qwtest;

namespace {

double g_ticksPerMicrosecond = 0.0;
WNDPROC g_editorProc = nullptr;
std::vector<double>* g_timerTimes = nullptr;
std::vector<double>* g_moveTimes = nullptr;

double Microseconds(LONGLONG ticks) { return double(ticks) / g_ticksPerMicrosecond; }

LONGLONG Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

// Wraps the editor's window procedure and records how long each timer tick
// and mouse move takes inside it (painting included: the tick paints at once).
LRESULT CALLBACK TimingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const LONGLONG start = Now();
  const LRESULT result = CallWindowProcA(g_editorProc, window, message, wParam, lParam);
  const double us = Microseconds(Now() - start);
  if (message == WM_TIMER && g_timerTimes) g_timerTimes->push_back(us);
  if (message == WM_MOUSEMOVE && g_moveTimes) g_moveTimes->push_back(us);
  return result;
}

struct Summary {
  double median, mean, max;
};
Summary Summarise(std::vector<double> v) {
  if (v.empty()) return {0, 0, 0};
  std::sort(v.begin(), v.end());
  double sum = 0;
  for (double x : v) sum += x;
  return {v[v.size() / 2], sum / double(v.size()), v.back()};
}
void Print(const char* what, const std::vector<double>& v) {
  const Summary s = Summarise(v);
  std::printf("%-44s n=%4zu  median %8.1f us  mean %8.1f us  max %8.1f us\n", what, v.size(),
              s.median, s.mean, s.max);
}

void HeadlessFigures() {
  WinTestEffect fx;
  auto* g = new IGraphicsHeadless(&fx, WinTestPanel::kWidth, WinTestPanel::kHeight, 25);
  WinTestPanel::Build(fx, g);
  g->Tick();
  std::vector<double> idle, drag;
  for (int i = 0; i < 200; ++i) {
    const LONGLONG start = Now();
    g->Tick();
    idle.push_back(Microseconds(Now() - start));
  }
  const int cx = WinTestPanel::kKnobX + 55, cy = WinTestPanel::kKnobY + 55;
  IMouseMods left;
  left.left = true;
  g->HandleMouseDown(cx, cy, left);
  for (int i = 1; i <= 200; ++i) {
    const LONGLONG start = Now();
    g->HandleMouseDrag(cx, cy - (i % 40), left);
    g->Tick();
    drag.push_back(Microseconds(Now() - start));
  }
  g->HandleMouseUp(cx, cy, {});
  Print("headless idle tick", idle);
  Print("headless knob drag step (drag + tick)", drag);
}

}  // namespace

int main(int argc, char** argv) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  g_ticksPerMicrosecond = double(f.QuadPart) / 1e6;

  const std::string library = argc > 1 ? argv[1] : QW_EDITOR_PLUGIN_PATH;
  const int knobX = argc > 3 ? std::atoi(argv[2]) : WinTestPanel::kKnobX + 55;
  const int knobY = argc > 3 ? std::atoi(argv[3]) : WinTestPanel::kKnobY + 55;

  TestHost host(library);
  if (!host.Loaded()) {
    std::fprintf(stderr, "cannot load %s: %s\n", library.c_str(), host.Error().c_str());
    return 1;
  }
  Instance fx(host);
  fx.Start();
  vst::ERect* rect = nullptr;
  if (fx.Dispatch(vst::effEditGetRect, 0, 0, &rect) != 1 || !rect) {
    std::fprintf(stderr, "%s has no editor\n", library.c_str());
    return 1;
  }
  HostWindow window(rect->right - rect->left, rect->bottom - rect->top);
  fx.Dispatch(vst::effEditOpen, 0, 0, window.Handle());
  HWND editor = FindWindowExA(window.Handle(), nullptr, "QuillwaveWndClass", nullptr);
  if (!editor) {
    std::fprintf(stderr, "no editor window\n");
    return 1;
  }
  Pump(200);  // the first full redraw
  g_editorProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimingProc)));

  std::vector<double> idle, moves, redrawTicks;
  g_timerTimes = &idle;
  Pump(4000);  // about 100 ticks with nothing to draw

  // Drag: one pixel per step, each followed by the tick that redraws it.
  g_timerTimes = &redrawTicks;
  g_moveTimes = &moves;
  PostMouse(editor, WM_LBUTTONDOWN, MK_LBUTTON, knobX, knobY);
  for (int i = 1; i <= 100; ++i) {
    const std::size_t ticks = redrawTicks.size();
    PostMouse(editor, WM_MOUSEMOVE, MK_LBUTTON, knobX, knobY - (i % 40));
    PumpUntil([&] { return redrawTicks.size() > ticks; }, 1000);
  }
  PostMouse(editor, WM_LBUTTONUP, 0, knobX, knobY);
  g_timerTimes = nullptr;
  g_moveTimes = nullptr;
  SetWindowLongPtrA(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editorProc));

  std::vector<double> dragSteps;
  for (std::size_t i = 0; i < moves.size() && i < redrawTicks.size(); ++i)
    dragSteps.push_back(moves[i] + redrawTicks[i]);
  std::printf("library %s, knob at (%d, %d)\n", library.c_str(), knobX, knobY);
  Print("window idle tick (WM_TIMER, nothing dirty)", idle);
  Print("window drag move (WM_MOUSEMOVE)", moves);
  Print("window redraw tick (WM_TIMER + paint)", redrawTicks);
  Print("window knob drag step (move + redraw tick)", dragSteps);
  HeadlessFigures();
  fx.Dispatch(vst::effEditClose);
  return 0;
}
