// Pop-up menus: the editor's menu tree becomes a native menu whose command
// ids are the tree's id blocks; the chosen command comes back as a posted
// command message and is written into the menu that holds it.
#include "editor/win/IGraphicsWin.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "editor/IPopupMenu.h"

namespace {

HMENU BuildNativeMenu(const IPopupMenu& menu) {
  HMENU native = CreatePopupMenu();
  if (!native) return nullptr;
  char label[256];
  for (int i = 0; i < menu.ItemCount(); ++i) {
    const IPopupMenu::Item* item = menu.GetItem(i);
    if (item->flags & IPopupMenu::kSeparator) {
      AppendMenuA(native, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    menu.DisplayText(i, label, sizeof label);
    if (item->submenu) {
      if (HMENU sub = BuildNativeMenu(*item->submenu))
        AppendMenuA(native, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), label);
      continue;
    }
    UINT flags = MF_STRING;
    if (item->flags & IPopupMenu::kDisabled) flags |= MF_GRAYED;
    if (item->flags & IPopupMenu::kTitle) flags |= MF_DISABLED;
    if (item->flags & IPopupMenu::kChecked) flags |= MF_CHECKED;
    AppendMenuA(native, flags, UINT_PTR(menu.FirstCommandId() + i), label);
  }
  return native;
}

}  // namespace

IPopupMenu* IGraphicsWin::ShowPopupMenu(IPopupMenu& menu, const IRect& rect) {
  ReleaseCapture();
  if (!window_) return nullptr;
  menu.AssignCommandIds(0);
  HMENU native = BuildNativeMenu(menu);
  if (!native) return nullptr;

  HWND window = window_;
  POINT at = {rect.left, rect.bottom};
  IPopupMenu* chosen = nullptr;
  if (ClientToScreen(window, &at) &&
      TrackPopupMenu(native, TPM_LEFTALIGN | TPM_LEFTBUTTON, at.x, at.y, 0, window, nullptr) &&
      window_ == window) {
    MSG msg;
    if (PeekMessageA(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE) && HIWORD(msg.wParam) == 0)
      chosen = menu.ChooseCommand(LOWORD(msg.wParam));
  }
  DestroyMenu(native);  // submenus go with it
  // The window may have been destroyed while the menu's loop ran.
  if (window_ != window) return nullptr;
  RECT all = {0, 0, width_, height_};
  InvalidateRect(window, &all, FALSE);
  return chosen;
}
