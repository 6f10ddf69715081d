#pragma once
// Turns X input events into what the editor core is told: presses,
// releases, drags, moves, double clicks, wheel notches, leaving and keys,
// with the core's modifier rules.

#include "editor/IGraphicsTypes.h"
#include "editor/x11/XlibHeaders.h"

struct X11InputEvent {
  enum Kind { kNone, kDown, kUp, kDrag, kMove, kDoubleClick, kWheel, kLeave, kKey, kFocusIn, kFocusOut };
  Kind kind = kNone;
  int x = 0, y = 0;
  IMouseMods mods;
  int button = 0;       // 1 left, 2 middle, 3 right: presses, releases, double clicks
  int notches = 0;      // wheel: +1 away from the user, -1 towards
  int code = -1;        // key: KeyCode, or -1 for a key without one
  KeySym keysym = 0;    // key, as the shift state makes it
  char text[8] = {};    // key: the characters it types, zero-terminated
};

class X11InputTranslator {
 public:
  // Two presses of the left button at most this many milliseconds apart
  // and this many pixels from each other make a double click.
  static constexpr unsigned long kDoubleClickMs = 500;
  static constexpr int kDoubleClickDistance = 2;

  // The event the core gets for ev; kind kNone for anything else.
  X11InputEvent Translate(XEvent& ev);

  // The core's key code for a key symbol, -1 when it has none. Letters
  // count whatever the shift state; keypad keys have no code.
  static int KeyCodeFor(KeySym sym);
  // Buttons and modifier keys of an X state word.
  static IMouseMods ModsFromState(unsigned state);

 private:
  bool captured_ = false;  // a press in the window and not all released yet
  bool havePress_ = false;
  Time pressTime_ = 0;
  int pressX_ = 0, pressY_ = 0;
};
