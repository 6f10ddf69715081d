// Time spent inside the editor's window procedure under a Windows host: the
// idle redraw tick (nothing dirty) and one step of a knob drag (the mouse
// move plus the tick that redraws the knob), and where a step's time goes:
// the same drag on the panel drawn off-screen (the editor's own drawing),
// and the window system's share measured on a bare window of this program
// (a paint cycle that only copies the knob's area to the screen, and the
// copy alone). Run under Wine on a display:
//   cmake/RunWindowed.sh build-win/bench/editor/win/qw_bench_editor_win.exe [DLL X Y]
// DLL is a plug-in library with an editor, (X, Y) a knob's centre in it;
// by default the built Quillwave library and its Mix knob.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "HostWindow.h"
#include "TestHost.h"
#include "editor/IGraphics.h"
#include "snapshot/PanelSnapshot.h"

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
  std::printf("%-46s n=%4zu  median %8.1f us  mean %8.1f us  max %8.1f us\n", what, v.size(),
              s.median, s.mean, s.max);
}

// The drag through the window: the editor's procedure wrapped, one pixel
// per step, each step followed by the tick that redraws it.
void WindowFigures(Instance& fx, HWND editor, int knobX, int knobY) {
  g_editorProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimingProc)));
  std::vector<double> idle, moves, redrawTicks;
  g_timerTimes = &idle;
  Pump(4000);  // about 100 ticks with nothing to draw

  g_timerTimes = &redrawTicks;
  g_moveTimes = &moves;
  PostMouse(editor, WM_LBUTTONDOWN, MK_LBUTTON, knobX, knobY);
  for (int i = 1; i <= 200; ++i) {
    const std::size_t ticks = redrawTicks.size();
    PostMouse(editor, WM_MOUSEMOVE, MK_LBUTTON, knobX, knobY - (i % 40));
    PumpUntil([&] { return redrawTicks.size() > ticks; }, 1000);
  }
  PostMouse(editor, WM_LBUTTONUP, 0, knobX, knobY);

  std::vector<double> automationTicks;
  g_timerTimes = &automationTicks;
  g_moveTimes = nullptr;
  for (int i = 1; i <= 200; ++i) {
    const std::size_t ticks = automationTicks.size();
    fx.SetParameter(0, float(i % 40) / 40.0f);
    PumpUntil([&] { return automationTicks.size() > ticks; }, 1000);
  }
  g_timerTimes = nullptr;
  g_moveTimes = nullptr;
  SetWindowLongPtrA(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_editorProc));

  std::vector<double> dragSteps;
  for (std::size_t i = 0; i < moves.size() && i < redrawTicks.size(); ++i)
    dragSteps.push_back(moves[i] + redrawTicks[i]);
  Print("window idle tick (WM_TIMER, nothing dirty)", idle);
  Print("window drag move (WM_MOUSEMOVE)", moves);
  Print("window redraw tick (WM_TIMER + paint)", redrawTicks);
  Print("window knob drag step (move + redraw tick)", dragSteps);
  Print("window redraw tick after automation", automationTicks);
}

// The same panel drawn off-screen by the same editor code: the idle tick,
// the drag step, and the drawing of the step alone, with the steps back to
// back and at the window's pace (a step every 40 ms, when the caches have
// cooled). Returns the area a step redraws.
IRect HeadlessFigures(int knobX, int knobY) {
  PanelSnapshot panel;
  panel.Render();
  IGraphics& g = panel.Graphics();
  IRect area;
  std::vector<double> idle;
  for (int i = 0; i < 200; ++i) {
    const LONGLONG start = Now();
    if (g.CollectDirtyArea(area)) g.Redraw(area);
    idle.push_back(Microseconds(Now() - start));
  }
  Print("headless idle tick", idle);

  IRect stepArea;
  const IMouseMods left{true};
  for (int pause : {0, 40}) {
    std::vector<double> drag, drawing;
    g.HandleMouseDown(knobX, knobY, left);
    for (int i = 1; i <= 200; ++i) {
      if (pause) Sleep(DWORD(pause));
      const LONGLONG start = Now();
      g.HandleMouseDrag(knobX, knobY - (i % 40), left);
      const LONGLONG collected = Now();
      if (g.CollectDirtyArea(area)) {
        stepArea = area;
        g.Redraw(area);
      }
      const LONGLONG end = Now();
      drag.push_back(Microseconds(end - start));
      drawing.push_back(Microseconds(end - collected));
    }
    g.HandleMouseUp(knobX, knobY, left);
    const char* when = pause ? "every 40 ms" : "back to back";
    char what[96];
    std::snprintf(what, sizeof what, "headless knob drag step, %s", when);
    Print(what, drag);
    std::snprintf(what, sizeof what, "headless drawing of the step, %s", when);
    Print(what, drawing);
  }
  return stepArea;
}

// A window of this program that paints a copy of a 32-bit DIB section the
// way the editor window presents its surface.
struct BareWindow {
  HWND window = nullptr;
  HDC source = nullptr;
  HBITMAP section = nullptr;
  HGDIOBJ previous = nullptr;
  RECT area = {};

  static LRESULT CALLBACK Proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<BareWindow*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (message == WM_PAINT && self) {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      BitBlt(dc, self->area.left, self->area.top, self->area.right - self->area.left,
             self->area.bottom - self->area.top, self->source, self->area.left, self->area.top,
             SRCCOPY);
      EndPaint(w, &ps);
      return 0;
    }
    return DefWindowProcA(w, message, wParam, lParam);
  }

  BareWindow(HWND parent, int width, int height, const IRect& r) {
    area = {r.left, r.top, r.right, r.bottom};
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuillwaveBenchBareWindow";
    RegisterClassA(&wc);
    window = CreateWindowExA(0, wc.lpszClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, width, height,
                             parent, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    source = CreateCompatibleDC(nullptr);
    section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous = SelectObject(source, section);
  }
  ~BareWindow() {
    SelectObject(source, previous);
    DeleteObject(section);
    DeleteDC(source);
    DestroyWindow(window);
  }
};

// The window system's share of a step on an area of this size, at the
// window's pace.
void PlatformFigures(HWND parent, int width, int height, const IRect& area) {
  BareWindow bare(parent, width, height, area);
  Pump(100);
  std::vector<double> cycle, copy;
  for (int i = 0; i < 200; ++i) {
    const LONGLONG start = Now();
    InvalidateRect(bare.window, &bare.area, FALSE);
    UpdateWindow(bare.window);
    cycle.push_back(Microseconds(Now() - start));
    Pump(40);
  }
  for (int i = 0; i < 200; ++i) {
    HDC dc = GetDC(bare.window);
    const LONGLONG start = Now();
    BitBlt(dc, area.left, area.top, area.W(), area.H(), bare.source, area.left, area.top,
           SRCCOPY);
    copy.push_back(Microseconds(Now() - start));
    ReleaseDC(bare.window, dc);
    Pump(0);
  }
  char what[96];
  std::snprintf(what, sizeof what, "bare paint cycle of %d x %d, every 40 ms", area.W(),
                area.H());
  Print(what, cycle);
  std::snprintf(what, sizeof what, "bare BitBlt of %d x %d to the window", area.W(), area.H());
  Print(what, copy);
}

}  // namespace

int main(int argc, char** argv) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  g_ticksPerMicrosecond = double(f.QuadPart) / 1e6;

  const std::string library = argc > 1 ? argv[1] : PluginPath();
  const int knobX = argc > 3 ? std::atoi(argv[2]) : 593;
  const int knobY = argc > 3 ? std::atoi(argv[3]) : 292;

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
  const int width = rect->right - rect->left, height = rect->bottom - rect->top;
  HostWindow window(width, height);
  fx.Dispatch(vst::effEditOpen, 0, 0, window.Handle());
  HWND editor = FindWindowExA(window.Handle(), nullptr, "QuillwaveWndClass", nullptr);
  if (!editor) {
    std::fprintf(stderr, "no editor window\n");
    return 1;
  }
  Pump(200);  // the first full redraw
  std::printf("library %s, knob at (%d, %d)\n", library.c_str(), knobX, knobY);
  WindowFigures(fx, editor, knobX, knobY);
  fx.Dispatch(vst::effEditClose);

  const IRect area = HeadlessFigures(knobX, knobY);
  if (!area.Empty()) PlatformFigures(window.Handle(), width, height, area);
  return 0;
}
