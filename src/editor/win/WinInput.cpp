#include "editor/win/WinInput.h"

#include <windows.h>

namespace winui {

int KeyCodeForVirtualKey(std::uintptr_t vk) {
  switch (vk) {
    case VK_SPACE: return kKeySpace;
    case VK_UP: return kKeyUp;
    case VK_DOWN: return kKeyDown;
    case VK_LEFT: return kKeyLeft;
    case VK_RIGHT: return kKeyRight;
    default: break;
  }
  if (vk >= '0' && vk <= '9') return kKeyDigit0 + int(vk - '0');
  if (vk >= 'A' && vk <= 'Z') return kKeyLetterA + int(vk - 'A');
  return -1;
}

IMouseMods MouseMods(std::uintptr_t flags, bool altDown) {
  IMouseMods m;
  m.left = (flags & MK_LBUTTON) != 0;
  m.right = (flags & MK_RBUTTON) != 0;
  m.shift = (flags & MK_SHIFT) != 0;
  m.control = (flags & MK_CONTROL) != 0;
  m.alt = altDown;
  return m;
}

int PositionX(std::intptr_t packed) { return static_cast<short>(LOWORD(packed)); }
int PositionY(std::intptr_t packed) { return static_cast<short>(HIWORD(packed)); }

int WheelNotches(std::uintptr_t wheelWord) {
  return static_cast<short>(HIWORD(wheelWord)) / WHEEL_DELTA;
}

}  // namespace winui
