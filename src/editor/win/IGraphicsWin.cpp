#include "editor/win/IGraphicsWin.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

#include "base/ModuleHandle.h"
#include "editor/win/WinInput.h"
#include "raster/ImageResource.h"
#include "raster/MemBitmap.h"
#include "raster/SysBitmap.h"

namespace {

// Shared by every editor of the process and touched only on the
// user-interface thread: the class is registered by the first window opened
// and unregistered when the last one closes (a class outlives the unloading
// of its DLL otherwise, and a later load could not register it again).
int g_classUsers = 0;
// Read by the window while it handles its creation.
double g_redrawRate = 25.0;

IGraphicsWin* ObjectOf(HWND window) {
  return window ? reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(window, GWLP_USERDATA))
                : nullptr;
}

LRESULT CALLBACK EditorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    const double rate = g_redrawRate > 0.0 ? g_redrawRate : 25.0;
    SetTimer(window, IGraphicsWin::kRedrawTimerId, UINT(1000.0 / rate), nullptr);
    SetFocus(window);
    return 0;
  }
  IGraphicsWin* object = ObjectOf(window);
  if (!object || object->GetWindow() != window)
    return DefWindowProcA(window, message, wParam, lParam);
  return object->EditorMessage(window, message, wParam, lParam);
}

IRect FromRECT(const RECT& r) { return {int(r.left), int(r.top), int(r.right), int(r.bottom)}; }

IMouseMods ModsOf(WPARAM flags) {
  return winui::MouseMods(flags, GetKeyState(VK_MENU) < 0);
}

}  // namespace

IGraphicsWin::IGraphicsWin(IEffectCore* plugin, int width, int height, int frameRate)
    : IGraphics(plugin, width, height, frameRate), module_(module::Handle()) {}

IGraphicsWin::~IGraphicsWin() { CloseWindow(); }

int IGraphicsWin::WindowClassUsers() { return g_classUsers; }

void* IGraphicsWin::OpenWindow(void* parent) {
  hostParent_ = static_cast<HWND>(parent);
  int x = 0, y = 0, w = width_, h = height_;
  if (window_) {
    // Reopening keeps the place and size the window had in its parent.
    RECT r;
    GetWindowRect(window_, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(window_), reinterpret_cast<POINT*>(&r), 2);
    x = r.left, y = r.top, w = r.right - r.left, h = r.bottom - r.top;
    CloseWindow();
  }

  if (g_classUsers++ == 0) {
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = EditorProc;
    wc.hInstance = static_cast<HINSTANCE>(module_);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = kWindowClassName;
    RegisterClassA(&wc);
  }
  g_redrawRate = frameRate_;

  HWND window = CreateWindowExA(0, kWindowClassName, kWindowTitle, WS_CHILD | WS_VISIBLE, x, y, w,
                                h, hostParent_, nullptr, static_cast<HINSTANCE>(module_), this);
  if (!window) {
    ReleaseWindowClass();
    return nullptr;
  }
  window_ = window;
  for (int i = 0; i < ControlCount(); ++i) GetControl(i)->MarkDirty(false);

  if (tooltips_ && !CreateTooltip()) tooltips_ = false;
  return window_;
}

bool IGraphicsWin::CreateTooltip() {
  INITCOMMONCONTROLSEX init = {sizeof init, ICC_TAB_CLASSES};
  if (!InitCommonControlsEx(&init)) return false;
  tooltipWindow_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                   static_cast<HINSTANCE>(module_), nullptr);
  if (!tooltipWindow_) return false;
  SetWindowPos(tooltipWindow_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  TTTOOLINFOA tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(window_);
  if (!SendMessageA(tooltipWindow_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool))) {
    DestroyWindow(tooltipWindow_);
    tooltipWindow_ = nullptr;
    return false;
  }
  return true;
}

void IGraphicsWin::CloseWindow() {
  if (!window_) return;
  if (tooltipWindow_) {
    DestroyWindow(tooltipWindow_);
    tooltipWindow_ = nullptr;
  }
  tooltipShown_ = false;
  tooltipControl_ = -1;
  // An open entry dies with the window and is never applied.
  if (entryWindow_) EndTextEntry(false);
  HWND window = window_;
  window_ = nullptr;
  DestroyWindow(window);
  ReleaseWindowClass();
}

void IGraphicsWin::ReleaseWindowClass() {
  if (--g_classUsers == 0)
    UnregisterClassA(kWindowClassName, static_cast<HINSTANCE>(module_));
}

std::intptr_t IGraphicsWin::EditorMessage(HWND window, unsigned message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  if (entryWindow_ && entryState_ == kEntryEditing) {
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
      entryState_ = kEntryCancel;
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;

    case WM_PAINT: {
      // The paint's own rectangle is the update area: asking for it
      // separately first costs a second round trip to the window system.
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      const IRect area = FromRECT(ps.rcPaint);
      if (dc && area.W() > 0 && area.H() > 0) {
        paintDC_ = dc;
        Redraw(area);
        paintDC_ = nullptr;
      }
      EndPaint(window, &ps);
      return 0;
    }

    case WM_CLOSE:
      CloseWindow();
      return 0;

    case WM_KEYDOWN: {
      const int code = winui::KeyCodeForVirtualKey(wParam);
      if (code >= 0) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(window, &p);
        if (HandleKeyDown(p.x, p.y, code)) return 0;
      }
      SendMessageA(GetAncestor(window, GA_ROOT), message, wParam, lParam);
      return DefWindowProcA(window, message, wParam, lParam);
    }

    case WM_KEYUP:
      SendMessageA(GetAncestor(window, GA_ROOT), message, wParam, lParam);
      return DefWindowProcA(window, message, wParam, lParam);

    case WM_TIMER:
      if (wParam == kRedrawTimerId) OnTimer();
      return 0;

    case WM_CTLCOLOREDIT: {
      if (!entryControl_) return 0;
      const ITextStyle& style = entryControl_->TextStyle();
      const COLORREF back =
          RGB(style.entryBackground.r, style.entryBackground.g, style.entryBackground.b);
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, back);
      SetTextColor(dc, RGB(style.entryText.r, style.entryText.g, style.entryText.b));
      SetBkMode(dc, OPAQUE);
      // The stock DC brush paints the rest of the box in the same colour.
      SetDCBrushColor(dc, back);
      return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    }

    case WM_MOUSEMOVE: {
      const int x = winui::PositionX(lParam), y = winui::PositionY(lParam);
      if (wParam & (MK_LBUTTON | MK_RBUTTON)) {
        if (::GetCapture() == window && !entryWindow_) HandleMouseDrag(x, y, ModsOf(wParam));
      } else if (HandleMouseOver(x, y, ModsOf(wParam))) {
        TrackHoverAndLeave();
      }
      return 0;
    }

    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      HideTooltip();
      if (entryWindow_) {
        entryState_ = kEntryCommit;
        return 0;
      }
      SetFocus(window);
      SetCapture(window);
      HandleMouseDown(winui::PositionX(lParam), winui::PositionY(lParam), ModsOf(wParam));
      return 0;

    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      // The middle button ends its press too, so capture and the host's
      // gesture never stay open.
      ::ReleaseCapture();
      HandleMouseUp(winui::PositionX(lParam), winui::PositionY(lParam), ModsOf(wParam));
      return 0;

    case WM_LBUTTONDBLCLK:
      if (HandleDoubleClick(winui::PositionX(lParam), winui::PositionY(lParam), ModsOf(wParam)))
        SetCapture(window);
      return 0;

    case WM_MOUSEWHEEL: {
      if (entryWindow_) {
        entryState_ = kEntryCancel;
        return 0;
      }
      RECT r;
      GetWindowRect(window, &r);
      const int x = winui::PositionX(lParam) - r.left, y = winui::PositionY(lParam) - r.top;
      HandleMouseWheel(x, y, ModsOf(LOWORD(wParam)), winui::WheelNotches(wParam));
      return 0;
    }

    case WM_MOUSEHOVER:
      ShowTooltip();
      return 0;

    case WM_MOUSELEAVE:
      HideTooltip();
      HandleMouseLeave();
      return 0;

    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void IGraphicsWin::OnTimer() {
  if (entryWindow_ && entryState_ != kEntryNone) {
    switch (entryState_) {
      case kEntryUpdate:
        entryState_ = kEntryNone;
        return;
      case kEntryCommit:
        EndTextEntry(true);
        return;
      case kEntryCancel:
        EndTextEntry(false);
        return;
      default:
        break;  // editing: the entry has the focus, the editor redraws around it
    }
  }

  IRect dirty;
  if (!CollectDirtyArea(dirty)) return;
  RECT r = {dirty.left, dirty.top, dirty.right, dirty.bottom};
  InvalidateRect(window_, &r, FALSE);
  if (entryWindow_) {
    // The entry lies over its control: keep the redraw from painting over it.
    const IRect& c = entryControl_->Rect();
    RECT cr = {c.left, c.top, c.right, c.bottom};
    ValidateRect(window_, &cr);
    UpdateWindow(window_);
    entryState_ = kEntryUpdate;
  } else {
    UpdateWindow(window_);
  }
}

void IGraphicsWin::TrackHoverAndLeave() {
  TRACKMOUSEEVENT track = {};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  if (tooltips_ && mouseOver_ != tooltipControl_) {
    tooltipControl_ = mouseOver_;
    if (tooltipControl_ >= 0) track.dwFlags |= TME_HOVER;
    HideTooltip();
  }
  track.hwndTrack = window_;
  track.dwHoverTime = HOVER_DEFAULT;
  TrackMouseEvent(&track);
}

void IGraphicsWin::ShowTooltip() {
  if (!tooltipWindow_) return;
  IControl* control = GetControl(tooltipControl_);
  const char* text = "";
  if (control && !control->Tooltip().empty()) text = control->Tooltip().c_str();
  TTTOOLINFOA tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(window_);
  tool.lpszText = const_cast<char*>(text);
  SendMessageA(tooltipWindow_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  tooltipShown_ = true;
}

void IGraphicsWin::HideTooltip() {
  if (!tooltipShown_) return;
  if (tooltipWindow_) SendMessageA(tooltipWindow_, TTM_POP, 0, 0);
  tooltipShown_ = false;
}

void IGraphicsWin::Resize(int width, int height) {
  if (width == width_ && height == height_) return;
  const int dw = width - width_, dh = height - height_;
  IGraphics::Resize(width, height);
  if (!window_) return;

  // The host's frame windows grow with the editor: its parent, and the
  // parent's parent when that is a child window too.
  HWND windows[3] = {window_, nullptr, nullptr};
  const LONG_PTR style = GetWindowLongPtrA(window_, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrA(window_, GWL_EXSTYLE);
  if ((style & WS_CHILD) && !(exStyle & WS_EX_MDICHILD)) {
    windows[1] = GetParent(window_);
    if (windows[1] && (GetWindowLongPtrA(windows[1], GWL_STYLE) & WS_CHILD))
      windows[2] = GetParent(windows[1]);
  }
  for (HWND w : windows) {
    if (!w) continue;
    RECT r;
    GetWindowRect(w, &r);
    SetWindowPos(w, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                 SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
  }
  RECT all = {0, 0, width_, height_};
  InvalidateRect(window_, &all, FALSE);
}

bool IGraphicsWin::PresentArea(const IRect& rect) {
  if (!window_ || !surface_) return false;
  // Inside a paint the copy goes to the paint's context, clipped to what
  // the window system asked for; otherwise straight to the window.
  HDC dc = paintDC_ ? paintDC_ : GetDC(window_);
  if (!dc) return false;
  BitBlt(dc, rect.left, rect.top, rect.W(), rect.H(), static_cast<HDC>(surface_->GetDC()),
         rect.left, rect.top, SRCCOPY);
  if (!paintDC_) ReleaseDC(window_, dc);
  return true;
}

std::unique_ptr<raster::MemBitmap> IGraphicsWin::LoadImageResource(int id, const char* fileName) {
  return raster::LoadImageResource(id, fileName);
}
