#include "editor/x11/X11Input.h"

#include <cstdint>
#include <cstdlib>

IMouseMods X11InputTranslator::ModsFromState(unsigned state) {
  IMouseMods m;
  m.left = (state & Button1Mask) != 0;
  m.right = (state & Button3Mask) != 0;
  m.shift = (state & ShiftMask) != 0;
  m.control = (state & ControlMask) != 0;
  m.alt = (state & Mod1Mask) != 0;
  return m;
}

int X11InputTranslator::KeyCodeFor(KeySym sym) {
  switch (sym) {
    case XK_space: return kKeySpace;
    case XK_Up: return kKeyUp;
    case XK_Down: return kKeyDown;
    case XK_Left: return kKeyLeft;
    case XK_Right: return kKeyRight;
    default: break;
  }
  if (sym >= XK_0 && sym <= XK_9) return kKeyDigit0 + int(sym - XK_0);
  if (sym >= XK_a && sym <= XK_z) return kKeyLetterA + int(sym - XK_a);
  if (sym >= XK_A && sym <= XK_Z) return kKeyLetterA + int(sym - XK_A);
  return -1;
}

X11InputEvent X11InputTranslator::Translate(XEvent& ev) {
  X11InputEvent out;
  switch (ev.type) {
    case ButtonPress: {
      const XButtonEvent& b = ev.xbutton;
      out.x = b.x, out.y = b.y;
      out.mods = ModsFromState(b.state);
      if (b.button == Button4 || b.button == Button5) {
        out.kind = X11InputEvent::kWheel;
        out.notches = b.button == Button4 ? 1 : -1;
        return out;
      }
      if (b.button < Button1 || b.button > Button3) return out;
      out.button = int(b.button);
      // The state is from before the event; the core counts the pressed
      // button as down.
      if (b.button == Button1) out.mods.left = true;
      if (b.button == Button3) out.mods.right = true;
      captured_ = true;
      const bool twice = b.button == Button1 && havePress_ &&
                         // Server times are 32-bit milliseconds that wrap.
                         std::uint32_t(b.time - pressTime_) <= kDoubleClickMs &&
                         std::abs(b.x - pressX_) <= kDoubleClickDistance &&
                         std::abs(b.y - pressY_) <= kDoubleClickDistance;
      if (twice) {
        // A third press starts over.
        havePress_ = false;
        out.kind = X11InputEvent::kDoubleClick;
        return out;
      }
      havePress_ = b.button == Button1;
      pressTime_ = b.time, pressX_ = b.x, pressY_ = b.y;
      out.kind = X11InputEvent::kDown;
      return out;
    }
    case ButtonRelease: {
      const XButtonEvent& b = ev.xbutton;
      if (b.button < Button1 || b.button > Button3) return out;
      out.kind = X11InputEvent::kUp;
      out.x = b.x, out.y = b.y;
      out.button = int(b.button);
      out.mods = ModsFromState(b.state);
      if (b.button == Button1) out.mods.left = false;
      if (b.button == Button3) out.mods.right = false;
      captured_ = false;
      return out;
    }
    case MotionNotify: {
      const XMotionEvent& m = ev.xmotion;
      out.x = m.x, out.y = m.y;
      out.mods = ModsFromState(m.state);
      if (out.mods.left || out.mods.right) {
        // Drags belong to a press made in this window.
        if (captured_) out.kind = X11InputEvent::kDrag;
      } else {
        out.kind = X11InputEvent::kMove;
      }
      return out;
    }
    case LeaveNotify:
      // Crossings caused by grabs are not the pointer leaving.
      if (ev.xcrossing.mode == NotifyNormal && ev.xcrossing.detail != NotifyInferior) {
        out.kind = X11InputEvent::kLeave;
        out.x = ev.xcrossing.x, out.y = ev.xcrossing.y;
      }
      return out;
    case KeyPress: {
      KeySym shifted = NoSymbol;
      const int n = XLookupString(&ev.xkey, out.text, int(sizeof out.text) - 1, &shifted, nullptr);
      out.text[n > 0 ? n : 0] = '\0';
      out.kind = X11InputEvent::kKey;
      out.x = ev.xkey.x, out.y = ev.xkey.y;
      out.keysym = shifted;
      out.code = KeyCodeFor(XLookupKeysym(&ev.xkey, 0));
      return out;
    }
    case FocusIn:
    case FocusOut:
      // Focus moving within the window or following the pointer, or changes
      // for the length of a grab, leave it where it is.
      if (ev.xfocus.mode == NotifyNormal && ev.xfocus.detail != NotifyInferior &&
          ev.xfocus.detail != NotifyPointer)
        out.kind = ev.type == FocusIn ? X11InputEvent::kFocusIn : X11InputEvent::kFocusOut;
      return out;
    default:
      return out;
  }
}
