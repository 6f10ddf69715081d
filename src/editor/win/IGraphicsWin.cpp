#include "editor/win/IGraphicsWin.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

#include "base/ModuleHandle.h"
#include "core/IEffectCore.h"
#include "editor/win/WinInput.h"
#include "raster/ImageResource.h"
#include "raster/MemBitmap.h"
#include "raster/SysBitmap.h"

namespace {

// Shared by every editor of the process and touched only on the
// user-interface thread: the class is registered by the first window opened
// and unregistered when the last editor holding it closes (a class outlives
// the unloading of its DLL otherwise, and a later load could not register it
// again).
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
  // The window's last message: whatever still arrives for the handle finds
  // no object, which may be deleted by then.
  if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  if (!object || object->GetWindow() != window)
    return DefWindowProcA(window, message, wParam, lParam);
  return object->EditorMessage(window, message, wParam, lParam);
}

// Messages from the host's message loop that may leave edits for the host:
// input, and the timer that applies text entries.
bool MayLeaveEdits(unsigned message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_TIMER;
}

IRect FromRECT(const RECT& r) { return {int(r.left), int(r.top), int(r.right), int(r.bottom)}; }

// The window's rectangle in its parent's client coordinates.
bool PlaceInParent(HWND window, RECT& place) {
  HWND parent = GetParent(window);
  RECT r;
  if (!parent || !GetWindowRect(window, &r)) return false;
  // Zero is also the answer for a parent at the screen's origin: only the
  // error code tells a failure.
  SetLastError(ERROR_SUCCESS);
  if (!MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2) &&
      GetLastError() != ERROR_SUCCESS)
    return false;
  place = r;
  return true;
}

IMouseMods ModsOf(WPARAM flags) {
  return winui::MouseMods(flags, GetKeyState(VK_MENU) < 0);
}

}  // namespace

IGraphicsWin::IGraphicsWin(IEffectCore* plugin, int width, int height, int frameRate)
    : IGraphics(plugin, width, height, frameRate), module_(module::Handle()) {}

// Only the window: the plug-in is going too, so no gesture is ended here.
IGraphicsWin::~IGraphicsWin() {
  DestroyOwnWindow();
  ReleaseWindowClass();
}

int IGraphicsWin::WindowClassUsers() { return g_classUsers; }

void* IGraphicsWin::OpenWindow(void* parent) {
  hostParent_ = static_cast<HWND>(parent);
  int x = 0, y = 0, w = width_, h = height_;
  if (window_) {
    // Reopening keeps the place and size the window had in its parent.
    RECT r;
    if (PlaceInParent(window_, r)) x = r.left, y = r.top, w = r.right - r.left, h = r.bottom - r.top;
    CloseWindow();
  }

  if (!HoldWindowClass()) return nullptr;
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
  DestroyOwnWindow();
  // A press whose release the window will never see ends its gesture.
  WindowGone();
  ReleaseWindowClass();
}

void IGraphicsWin::DestroyOwnWindow() {
  HWND window = window_;
  if (!window) return;
  LetGoOfWindow(window);
  // The destruction's own messages find no object.
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
}

void IGraphicsWin::LetGoOfWindow(HWND window) {
  // Forgotten first: the messages the rest sends find no window of ours.
  window_ = nullptr;
  KillTimer(window, kRedrawTimerId);
  if (tooltipWindow_) {
    DestroyWindow(tooltipWindow_);
    tooltipWindow_ = nullptr;
  }
  tooltipShown_ = false;
  tooltipControl_ = -1;
  // An open entry dies with the window and is never applied.
  if (entryWindow_) EndTextEntry(false);
  if (::GetCapture() == window) ::ReleaseCapture();
  ShowPointer();
}

bool IGraphicsWin::HoldWindowClass() {
  if (holdsClass_) return true;
  if (g_classUsers == 0) {
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = EditorProc;
    wc.hInstance = static_cast<HINSTANCE>(module_);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = kWindowClassName;
    // A class left registered (unregistering fails while a window of it
    // still exists) is this module's own, with this same procedure.
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  ++g_classUsers;
  holdsClass_ = true;
  return true;
}

void IGraphicsWin::ReleaseWindowClass() {
  if (!holdsClass_) return;
  holdsClass_ = false;
  if (--g_classUsers == 0)
    UnregisterClassA(kWindowClassName, static_cast<HINSTANCE>(module_));
}

std::intptr_t IGraphicsWin::EditorMessage(HWND window, unsigned message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  ++messageDepth_;
  const std::intptr_t result = HandleMessage(window, message, wParam, lParam);
  // A message handled inside another (in a menu's or dialog's loop) leaves
  // the edits to the outer one, whose handler still needs this object.
  if (--messageDepth_ > 0 || !MayLeaveEdits(message)) return result;
  // The host hears the edits now, on its own thread, without the instance
  // lock. When it closes the plug-in from inside them, the instance, this
  // object and the window are destroyed before DeliverHostEdits returns
  // (false then); when it closes the editor, the window is. Nothing of them
  // is touched after it.
  IEffectCore* plugin = plugin_;
  if (plugin && plugin->HostEditsPending()) plugin->DeliverHostEdits();
  return result;
}

std::intptr_t IGraphicsWin::HandleMessage(HWND window, unsigned message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  if (entryWindow_ && entryState_ == kEntryEditing) {
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
      entryState_ = kEntryCancel;
      return 0;
    }
    // The release of the press that opened the box still ends that press's
    // gesture and gives the mouse back.
    if (message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP) {
      ::ReleaseCapture();
      HandleMouseUp(winui::PositionX(lParam), winui::PositionY(lParam), ModsOf(wParam));
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

    case WM_DESTROY:
      // Destroyed by the host, directly or with its own window (this object
      // unlinks the window before destroying it). The next OpenWindow makes
      // a new one.
      LetGoOfWindow(window);
      WindowGone();
      return 0;

    case WM_KEYDOWN: {
      const int code = winui::KeyCodeForVirtualKey(wParam);
      if (code >= 0) {
        // Where no pointer position can be had, no control is under it.
        POINT p;
        if (!GetCursorPos(&p) || !ScreenToClient(window, &p)) p = {-1, -1};
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
        // A press beside the box abandons the entry, as Escape does.
        entryState_ = kEntryCancel;
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
      // The wheel's position is on the screen.
      POINT p = {winui::PositionX(lParam), winui::PositionY(lParam)};
      if (!ScreenToClient(window, &p)) return 0;
      HandleMouseWheel(p.x, p.y, ModsOf(LOWORD(wParam)), winui::WheelNotches(wParam));
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

  AdvanceTick();
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
    RECT r;
    if (!w || !GetWindowRect(w, &r)) continue;
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
