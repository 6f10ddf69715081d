// The editor's text entry: an EDIT child over a control whose window
// procedure is replaced by one that filters characters and turns Return,
// Escape and focus changes into entry states; the redraw timer applies or
// abandons the text at its next tick.
#include "editor/win/IGraphicsWin.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "core/IParameter.h"

namespace {

LRESULT CALLBACK EntryProc(HWND entry, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND parent = GetParent(entry);
  auto* object = parent ? reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(parent, GWLP_USERDATA))
                        : nullptr;
  if (!object || object->TextEntryWindow() != entry) {
    // Not (or no longer) the object's entry: the edit class answers alone.
    auto classProc = reinterpret_cast<WNDPROC>(GetClassLongPtrA(entry, GCLP_WNDPROC));
    return CallWindowProcA(classProc, entry, message, wParam, lParam);
  }
  return object->EntryMessage(entry, message, wParam, lParam);
}

bool CharAllowed(IParameter::Kind kind, WPARAM ch) {
  if (ch == VK_BACK) return true;
  if ((ch >= '0' && ch <= '9') || ch == '+' || ch == '-') return true;
  return ch == '.' && kind != IParameter::kBoolean && kind != IParameter::kInteger &&
         kind != IParameter::kEnumeration;
}

}  // namespace

void IGraphicsWin::CancelTextEntry() { entryState_ = kEntryCancel; }

void IGraphicsWin::OpenTextEntry(IControl* control, const ITextStyle& style, const IRect& rect,
                                 const char* text, IParameter* parameter) {
  if (!control || entryWindow_ || !window_) return;

  DWORD align = ES_LEFT;
  if (style.align == ITextStyle::kCenter) align = ES_CENTER;
  if (style.align == ITextStyle::kRight) align = ES_RIGHT;
  HWND entry = CreateWindowExA(0, "EDIT", text ? text : "",
                               WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL | align,
                               rect.left, rect.top, rect.right - rect.left + 1,
                               rect.bottom - rect.top + 1, window_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextEntryId)),
                               static_cast<HINSTANCE>(module_), nullptr);
  if (!entry) return;

  entryFont_ = CreateFontA(style.size, 0, 0, 0, style.style == ITextStyle::kBold ? FW_BOLD : 0,
                           style.style == ITextStyle::kItalic, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH, style.fontName);
  SendMessageA(entry, EM_LIMITTEXT, WPARAM(control->TextEntryLength()), 0);
  if (entryFont_) SendMessageA(entry, WM_SETFONT, reinterpret_cast<WPARAM>(entryFont_), 0);
  SendMessageA(entry, EM_SETSEL, 0, -1);

  entryWindow_ = entry;
  entryControl_ = control;
  entryParameter_ = parameter;
  // Replaced before the entry takes the focus, so the focus it gets marks
  // it as being edited.
  entryPreviousProc_ =
      SetWindowLongPtrA(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EntryProc));
  SetFocus(entry);
}

void IGraphicsWin::EndTextEntry(bool apply) {
  HWND entry = entryWindow_;
  if (!entry) return;
  if (apply) {
    char text[32] = {};
    GetWindowTextA(entry, text, sizeof text);
    ApplyEnteredValue(entryControl_, entryParameter_, text);
  }
  // The edit class gets its own procedure back before it is destroyed, so
  // it sees its own destruction messages and nothing reaches the editor.
  SetWindowLongPtrA(entry, GWLP_WNDPROC, entryPreviousProc_);
  entryWindow_ = nullptr;
  entryControl_ = nullptr;
  entryParameter_ = nullptr;
  entryPreviousProc_ = 0;
  entryState_ = kEntryNone;
  DestroyWindow(entry);
  if (entryFont_) {
    DeleteObject(entryFont_);
    entryFont_ = nullptr;
  }
}

std::intptr_t IGraphicsWin::EntryMessage(HWND entry, unsigned message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
  auto previous = reinterpret_cast<WNDPROC>(entryPreviousProc_);
  HideTooltip();
  switch (message) {
    case WM_SETFOCUS:
      entryState_ = kEntryEditing;
      break;
    case WM_KILLFOCUS:
      entryState_ = kEntryCommit;
      break;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        entryState_ = kEntryCommit;
        return 0;
      }
      if (wParam == VK_ESCAPE) {
        entryState_ = kEntryCancel;
        return 0;
      }
      break;
    case WM_CHAR:
      if (entryParameter_ && !CharAllowed(entryParameter_->GetKind(), wParam)) return 0;
      break;
    case WM_GETDLGCODE: {
      LRESULT code = CallWindowProcA(previous, entry, message, wParam, lParam);
      const auto* msg = reinterpret_cast<const MSG*>(lParam);
      if (!entryParameter_ && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
        code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == 1) {
        entryState_ = kEntryCommit;
        return 0;
      }
      break;
    default:
      break;
  }
  return CallWindowProcA(previous, entry, message, wParam, lParam);
}
