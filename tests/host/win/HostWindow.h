#pragma once
// What a Windows host gives a plug-in editor: a top-level window to open it
// in and a message loop on the calling thread. Also the tests' hands and
// eyes: posted mouse and key input and the window's pixels read back (PNG
// files of them through PngFile.h).

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "PngFile.h"

namespace qwtest {

class HostWindow {
 public:
  // A visible top-level window of this style whose client area is
  // width x height.
  HostWindow(int width, int height, const char* title = "Quillwave Test Host",
             DWORD style = WS_OVERLAPPEDWINDOW);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  HWND Handle() const { return window_; }
  // Key messages (WM_KEYDOWN / WM_KEYUP) this window received, as
  // {message, virtual key}.
  const std::vector<std::pair<UINT, WPARAM>>& Keys() const { return keys_; }
  void ClearKeys() { keys_.clear(); }

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND window_ = nullptr;
  std::vector<std::pair<UINT, WPARAM>> keys_;
};

// Dispatches this thread's messages for at least ms milliseconds.
void Pump(int ms);
// Dispatches messages until done() or timeoutMs; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

// Posted input in client coordinates of window; each call pumps until the
// window has handled it.
void PostMouse(HWND window, UINT message, WPARAM flags, int x, int y);
void Click(HWND window, int x, int y, bool right = false);
void DoubleClick(HWND window, int x, int y);
// Press at (x, y), move by (dx, dy) in steps, release there.
void Drag(HWND window, int x, int y, int dx, int dy, int steps, WPARAM extraFlags = 0);
// A wheel message carries screen coordinates.
void Wheel(HWND window, int x, int y, int delta, WPARAM flags = 0);
void Key(HWND window, WPARAM virtualKey);

// The window's client pixels as 0xAARRGGBB words with alpha 255, row by row.
std::vector<std::uint32_t> ReadPixels(HWND window, int width, int height);
// The whole window, frame and title bar included, the same way; width and
// height receive its size.
std::vector<std::uint32_t> ReadWholeWindow(HWND window, int& width, int& height);

// What the process holds, for leak checks across many open/close cycles.
// Counted directly, because Wine answers the usual counters
// (GetGuiResources, GetProcessHandleCount, the private-usage figure) with 0.
struct ResourceUse {
  int gdiObjects = 0;   // live entries of the process's GDI handle table
  int windows = 0;      // windows of this thread, children included
  int handles = 0;      // kernel handles that answer GetHandleInformation
  std::size_t heapBytes = 0;       // busy blocks in every heap
  std::size_t committedBytes = 0;  // committed private memory (heaps, bitmaps, stacks)
};
ResourceUse CurrentResourceUse();

// Runs on a timer while a modal loop (menu, message box, dialog) runs:
// calls act() every few milliseconds until it returns true.
class ModalHelper {
 public:
  explicit ModalHelper(std::function<bool()> act);
  ~ModalHelper();
  bool Done() const { return done_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  std::function<bool()> act_;
  UINT_PTR timer_ = 0;
  bool done_ = false;
};

// The first visible top-level window of this thread with the given class
// name ("#32768" menus, "#32770" dialogs), or null.
HWND FindThreadWindow(const char* className);

}  // namespace qwtest
