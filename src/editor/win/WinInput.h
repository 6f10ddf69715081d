#pragma once
// Translation of window-system input words into the editor core's terms:
// key codes, mouse modifiers, positions and wheel notches. Pure functions
// over the message parameters, so the window procedure only dispatches.

#include <cstdint>

#include "editor/IGraphicsTypes.h"

namespace winui {

// The editor's KeyCode for a virtual-key code, or -1 for a key without one
// (those belong to the host).
int KeyCodeForVirtualKey(std::uintptr_t virtualKey);

// Buttons, shift and control from a mouse message's flag word; alt from the
// Alt key's state, which the flags do not carry.
IMouseMods MouseMods(std::uintptr_t flags, bool altDown);

// Signed 16-bit x and y packed into a mouse message's position word.
int PositionX(std::intptr_t packed);
int PositionY(std::intptr_t packed);

// Whole wheel notches in a wheel message's word: the signed delta divided
// by 120, truncated toward zero (a partial notch gives 0).
int WheelNotches(std::uintptr_t wheelWord);

}  // namespace winui
