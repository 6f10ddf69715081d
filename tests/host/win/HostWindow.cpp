#include "HostWindow.h"

#include <winternl.h>

namespace qwtest {

namespace {
constexpr const char* kHostClass = "QuillwaveTestHostWindow";

ULONGLONG Now() { return GetTickCount64(); }

// Pumps until the window's queue holds no posted message any more.
void Settle() { Pump(0); }

thread_local ModalHelper* t_modal = nullptr;
}  // namespace

HostWindow::HostWindow(int width, int height, const char* title, DWORD frameStyle) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kHostClass;
  RegisterClassA(&wc);  // fails harmlessly when another host window registered it
  RECT r = {0, 0, width, height};
  const DWORD style = frameStyle | WS_CLIPCHILDREN;
  AdjustWindowRect(&r, style, FALSE);
  window_ = CreateWindowExA(0, kHostClass, title, style, 0, 0, r.right - r.left, r.bottom - r.top,
                            nullptr, nullptr, wc.hInstance, this);
  if (window_) {
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    Pump(0);
  }
}

HostWindow::~HostWindow() {
  if (window_) DestroyWindow(window_);
  Pump(0);
}

LRESULT CALLBACK HostWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self && (message == WM_KEYDOWN || message == WM_KEYUP))
    self->keys_.push_back({message, wParam});
  return DefWindowProcA(window, message, wParam, lParam);
}

void Pump(int ms) {
  const ULONGLONG end = Now() + ULONGLONG(ms < 0 ? 0 : ms);
  MSG msg;
  do {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (Now() >= end) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - Now()), QS_ALLINPUT);
  } while (Now() < end);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const ULONGLONG end = Now() + ULONGLONG(timeoutMs);
  while (!done()) {
    if (Now() >= end) return done();
    Pump(5);
  }
  return true;
}

void PostMouse(HWND window, UINT message, WPARAM flags, int x, int y) {
  PostMessageA(window, message, flags, MAKELPARAM(WORD(short(x)), WORD(short(y))));
  Settle();
}

void Click(HWND window, int x, int y, bool right) {
  PostMouse(window, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, x, y);
  PostMouse(window, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, x, y);
}

void DoubleClick(HWND window, int x, int y) {
  PostMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, x, y);
  PostMouse(window, WM_LBUTTONUP, 0, x, y);
  PostMouse(window, WM_LBUTTONDBLCLK, MK_LBUTTON, x, y);
  PostMouse(window, WM_LBUTTONUP, 0, x, y);
}

void Drag(HWND window, int x, int y, int dx, int dy, int steps, WPARAM extraFlags) {
  PostMouse(window, WM_LBUTTONDOWN, MK_LBUTTON | extraFlags, x, y);
  for (int i = 1; i <= steps; ++i)
    PostMouse(window, WM_MOUSEMOVE, MK_LBUTTON | extraFlags, x + dx * i / steps,
              y + dy * i / steps);
  PostMouse(window, WM_LBUTTONUP, extraFlags, x + dx, y + dy);
}

void Wheel(HWND window, int x, int y, int delta, WPARAM flags) {
  POINT p = {x, y};
  ClientToScreen(window, &p);
  PostMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(WORD(flags), WORD(short(delta))),
               MAKELPARAM(WORD(short(p.x)), WORD(short(p.y))));
  Settle();
}

void Key(HWND window, WPARAM virtualKey) {
  PostMessageA(window, WM_KEYDOWN, virtualKey, 1);
  Settle();
  PostMessageA(window, WM_KEYUP, virtualKey, LPARAM(0xC0000001u));
  Settle();
}

namespace {
// width x height pixels of source from its top-left corner.
std::vector<std::uint32_t> CopyPixels(HDC source, int width, int height) {
  std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height), 0);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(nullptr);
  if (dib && bits && memory && source) {
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = p[i] | 0xFF000000u;
    SelectObject(memory, old);
  }
  if (memory) DeleteDC(memory);
  if (dib) DeleteObject(dib);
  return pixels;
}
}  // namespace

std::vector<std::uint32_t> ReadPixels(HWND window, int width, int height) {
  HDC client = GetDC(window);
  std::vector<std::uint32_t> pixels = CopyPixels(client, width, height);
  if (client) ReleaseDC(window, client);
  return pixels;
}

std::vector<std::uint32_t> ReadWholeWindow(HWND window, int& width, int& height) {
  RECT r = {};
  GetWindowRect(window, &r);
  width = r.right - r.left;
  height = r.bottom - r.top;
  HDC whole = GetWindowDC(window);
  std::vector<std::uint32_t> pixels = CopyPixels(whole, width, height);
  if (whole) ReleaseDC(window, whole);
  return pixels;
}

namespace {

// An entry of the GDI handle table the process environment block points to
// (the layout both Windows and Wine use); a live object has a type.
struct GdiHandleEntry {
  std::uint64_t object;
  std::uint16_t processId;  // Wine keeps a table per process and leaves it 0
  std::uint16_t count;
  std::uint16_t unique;
  std::uint8_t type;
  std::uint8_t flags;
  std::uint64_t user;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr std::size_t kGdiTableOffset = 0xF8;  // in the 64-bit environment block
constexpr int kGdiTableEntries = 0x10000;

int CountGdiObjects() {
  PROCESS_BASIC_INFORMATION basic = {};
  if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic,
                                sizeof basic, nullptr) != 0 ||
      !basic.PebBaseAddress)
    return 0;
  const auto* peb = reinterpret_cast<const char*>(basic.PebBaseAddress);
  const auto* table = *reinterpret_cast<const GdiHandleEntry* const*>(peb + kGdiTableOffset);
  if (!table) return 0;
  const auto self = std::uint16_t(GetCurrentProcessId());
  int n = 0;
  for (int i = 0; i < kGdiTableEntries; ++i)
    n += table[i].type != 0 && (table[i].processId == 0 || table[i].processId == self);
  return n;
}

int CountThreadWindows() {
  int n = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM data) -> BOOL {
        auto* count = reinterpret_cast<int*>(data);
        ++*count;
        EnumChildWindows(
            w, [](HWND, LPARAM d) -> BOOL { return ++*reinterpret_cast<int*>(d), TRUE; }, data);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&n));
  return n;
}

// Handle values are multiples of 4 handed out lowest first: the probe stops
// after a long run of unused values.
int CountKernelHandles() {
  int n = 0;
  for (std::uintptr_t h = 4, unused = 0; unused < 1024; h += 4) {
    DWORD flags;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) {
      ++n;
      unused = 0;
    } else {
      ++unused;
    }
  }
  return n;
}

std::size_t HeapBytesInUse() {
  HANDLE heaps[64];
  const DWORD n = GetProcessHeaps(64, heaps);
  std::size_t total = 0;
  for (DWORD i = 0; i < n && i < 64; ++i) {
    PROCESS_HEAP_ENTRY e = {};
    HeapLock(heaps[i]);
    while (HeapWalk(heaps[i], &e))
      if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += e.cbData;
    HeapUnlock(heaps[i]);
  }
  return total;
}

std::size_t CommittedPrivateBytes() {
  std::size_t total = 0;
  MEMORY_BASIC_INFORMATION m;
  for (auto* p = static_cast<const char*>(nullptr); VirtualQuery(p, &m, sizeof m) == sizeof m;
       p = static_cast<const char*>(m.BaseAddress) + m.RegionSize) {
    if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) total += m.RegionSize;
    if (m.RegionSize == 0) break;
  }
  return total;
}

}  // namespace

ResourceUse CurrentResourceUse() {
  ResourceUse use;
  use.gdiObjects = CountGdiObjects();
  use.windows = CountThreadWindows();
  use.handles = CountKernelHandles();
  use.heapBytes = HeapBytesInUse();
  use.committedBytes = CommittedPrivateBytes();
  return use;
}

ModalHelper::ModalHelper(std::function<bool()> act) : act_(std::move(act)) {
  t_modal = this;
  timer_ = SetTimer(nullptr, 0, 20, Tick);
}

ModalHelper::~ModalHelper() {
  if (timer_) KillTimer(nullptr, timer_);
  t_modal = nullptr;
}

void CALLBACK ModalHelper::Tick(HWND, UINT, UINT_PTR, DWORD) {
  ModalHelper* self = t_modal;
  if (!self || self->done_) return;
  if (self->act_()) self->done_ = true;
}

HWND FindThreadWindow(const char* className) {
  struct Search {
    const char* name;
    HWND found;
  } search{className, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        char name[64] = {};
        GetClassNameA(w, name, sizeof name);
        if (lstrcmpA(name, s->name) == 0 && IsWindowVisible(w)) {
          s->found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace qwtest
