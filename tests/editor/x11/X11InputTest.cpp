// X input events as the editor core gets them: buttons and modifiers,
// double clicks, wheel notches, drags that belong to a press, leaving, and
// the key table.
#include <gtest/gtest.h>

#include "editor/x11/X11Input.h"
#include "editor/x11/XlibHeaders.h"

namespace {

using K = X11InputEvent;

XEvent Button(int type, unsigned button, int x, int y, Time time, unsigned state = 0) {
  XEvent ev{};
  ev.xbutton.type = type;
  ev.xbutton.button = button;
  ev.xbutton.x = x;
  ev.xbutton.y = y;
  ev.xbutton.time = time;
  ev.xbutton.state = state;
  return ev;
}

XEvent Motion(int x, int y, unsigned state) {
  XEvent ev{};
  ev.xmotion.type = MotionNotify;
  ev.xmotion.x = x;
  ev.xmotion.y = y;
  ev.xmotion.state = state;
  return ev;
}

K Press(X11InputTranslator& t, unsigned button, int x, int y, Time time, unsigned state = 0) {
  XEvent ev = Button(ButtonPress, button, x, y, time, state);
  return t.Translate(ev);
}
K Release(X11InputTranslator& t, unsigned button, int x, int y, Time time, unsigned state) {
  XEvent ev = Button(ButtonRelease, button, x, y, time, state);
  return t.Translate(ev);
}

TEST(X11Input, PressesAndReleasesCarryTheButtonsAsTheCoreCountsThem) {
  X11InputTranslator t;
  K down = Press(t, Button1, 10, 20, 100, ShiftMask | ControlMask | Mod1Mask);
  EXPECT_EQ(down.kind, K::kDown);
  EXPECT_EQ(down.button, 1);
  EXPECT_EQ(down.x, 10);
  EXPECT_EQ(down.y, 20);
  EXPECT_TRUE(down.mods.left);
  EXPECT_FALSE(down.mods.right);
  EXPECT_TRUE(down.mods.shift);
  EXPECT_TRUE(down.mods.control);
  EXPECT_TRUE(down.mods.alt);
  K up = Release(t, Button1, 11, 21, 150, Button1Mask);
  EXPECT_EQ(up.kind, K::kUp);
  EXPECT_FALSE(up.mods.left) << "released";
  EXPECT_FALSE(up.mods.shift);

  // The right button, with the left one still held; the middle button has
  // no flag of its own.
  down = Press(t, Button3, 0, 0, 2000, Button1Mask);
  EXPECT_TRUE(down.mods.right);
  EXPECT_TRUE(down.mods.left);
  down = Press(t, Button2, 0, 0, 3000);
  EXPECT_EQ(down.kind, K::kDown);
  EXPECT_EQ(down.button, 2);
  EXPECT_FALSE(down.mods.left || down.mods.right);
  EXPECT_EQ(Release(t, Button2, 0, 0, 3100, Button2Mask).kind, K::kUp);
}

TEST(X11Input, WheelButtonsAreNotchesAndOtherButtonsNothing) {
  X11InputTranslator t;
  K up = Press(t, Button4, 5, 6, 10, ControlMask);
  EXPECT_EQ(up.kind, K::kWheel);
  EXPECT_EQ(up.notches, 1);
  EXPECT_TRUE(up.mods.control);
  EXPECT_FALSE(up.mods.left);
  EXPECT_EQ(Press(t, Button5, 5, 6, 20).notches, -1);
  for (unsigned b : {4u, 5u}) EXPECT_EQ(Release(t, b, 5, 6, 30, 0).kind, K::kNone);
  for (unsigned b : {6u, 7u, 8u, 9u}) {
    EXPECT_EQ(Press(t, b, 5, 6, 40).kind, K::kNone) << b;
    EXPECT_EQ(Release(t, b, 5, 6, 50, 0).kind, K::kNone) << b;
  }
}

TEST(X11Input, DoubleClicksAreTwoQuickLeftPressesInOnePlace) {
  struct Case {
    const char* what;
    unsigned button;
    Time first, second;
    int dx, dy;
    K::Kind expected;
  } cases[] = {
      {"quick, same place", Button1, 1000, 1300, 0, 0, K::kDoubleClick},
      {"at the time limit", Button1, 1000, 1500, 0, 0, K::kDoubleClick},
      {"just too slow", Button1, 1000, 1501, 0, 0, K::kDown},
      {"two pixels off", Button1, 1000, 1100, 2, -2, K::kDoubleClick},
      {"three pixels off", Button1, 1000, 1100, 3, 0, K::kDown},
      {"the server's clock wraps", Button1, 0xFFFFFF00ul, 0x40, 0, 0, K::kDoubleClick},
      {"right button", Button3, 1000, 1100, 0, 0, K::kDown},
  };
  for (const Case& c : cases) {
    X11InputTranslator t;
    EXPECT_EQ(Press(t, c.button, 50, 60, c.first).kind, K::kDown) << c.what;
    Release(t, c.button, 50, 60, c.first + 10, c.button == Button1 ? Button1Mask : Button3Mask);
    const K second = Press(t, c.button, 50 + c.dx, 60 + c.dy, c.second);
    EXPECT_EQ(second.kind, c.expected) << c.what;
    if (c.expected == K::kDoubleClick) {
      EXPECT_TRUE(second.mods.left) << c.what;
    }
  }
  // A third quick press starts over; a right press between breaks the pair.
  X11InputTranslator t;
  EXPECT_EQ(Press(t, Button1, 0, 0, 100).kind, K::kDown);
  EXPECT_EQ(Press(t, Button1, 0, 0, 200).kind, K::kDoubleClick);
  EXPECT_EQ(Press(t, Button1, 0, 0, 300).kind, K::kDown);
  EXPECT_EQ(Press(t, Button3, 0, 0, 350).kind, K::kDown);
  EXPECT_EQ(Press(t, Button1, 0, 0, 400).kind, K::kDown);
}

TEST(X11Input, DragsBelongToAPressInTheWindow) {
  X11InputTranslator t;
  XEvent held = Motion(5, 5, Button1Mask);
  EXPECT_EQ(t.Translate(held).kind, K::kNone) << "pressed elsewhere";
  XEvent hover = Motion(5, 5, ShiftMask);
  K move = t.Translate(hover);
  EXPECT_EQ(move.kind, K::kMove);
  EXPECT_TRUE(move.mods.shift);
  XEvent middle = Motion(5, 5, Button2Mask);
  EXPECT_EQ(t.Translate(middle).kind, K::kMove) << "the middle button does not drag";

  Press(t, Button3, 5, 5, 10);
  XEvent drag = Motion(-40, 900, Button3Mask);
  const K d = t.Translate(drag);
  EXPECT_EQ(d.kind, K::kDrag);
  EXPECT_EQ(d.x, -40);
  EXPECT_EQ(d.y, 900);
  EXPECT_TRUE(d.mods.right);
  Release(t, Button3, 5, 5, 20, Button3Mask);
  XEvent after = Motion(6, 6, Button3Mask);
  EXPECT_EQ(t.Translate(after).kind, K::kNone);
}

TEST(X11Input, LeavingCountsOnlyWhenThePointerItselfLeaves) {
  struct Case {
    int mode, detail;
    K::Kind expected;
  } cases[] = {{NotifyNormal, NotifyAncestor, K::kLeave},
               {NotifyNormal, NotifyNonlinear, K::kLeave},
               {NotifyNormal, NotifyInferior, K::kNone},
               {NotifyGrab, NotifyAncestor, K::kNone},
               {NotifyUngrab, NotifyAncestor, K::kNone}};
  for (const Case& c : cases) {
    X11InputTranslator t;
    XEvent ev{};
    ev.xcrossing.type = LeaveNotify;
    ev.xcrossing.mode = c.mode;
    ev.xcrossing.detail = c.detail;
    EXPECT_EQ(t.Translate(ev).kind, c.expected) << c.mode << " " << c.detail;
  }
  struct Focus {
    int type, mode, detail;
    K::Kind expected;
  } focus[] = {{FocusIn, NotifyNormal, NotifyNonlinear, K::kFocusIn},
               {FocusOut, NotifyNormal, NotifyAncestor, K::kFocusOut},
               {FocusOut, NotifyNormal, NotifyPointer, K::kNone},
               {FocusOut, NotifyNormal, NotifyInferior, K::kNone},
               {FocusOut, NotifyGrab, NotifyNonlinear, K::kNone}};
  for (const Focus& c : focus) {
    X11InputTranslator t;
    XEvent ev{};
    ev.xfocus.type = c.type;
    ev.xfocus.mode = c.mode;
    ev.xfocus.detail = c.detail;
    EXPECT_EQ(t.Translate(ev).kind, c.expected) << c.type << " " << c.mode << " " << c.detail;
  }
}

TEST(X11Input, KeyTable) {
  struct Case {
    KeySym sym;
    int code;
  } cases[] = {{XK_space, kKeySpace},
               {XK_Up, kKeyUp},
               {XK_Down, kKeyDown},
               {XK_Left, kKeyLeft},
               {XK_Right, kKeyRight},
               {XK_0, kKeyDigit0},
               {XK_9, kKeyDigit0 + 9},
               {XK_a, kKeyLetterA},
               {XK_A, kKeyLetterA},
               {XK_z, kKeyLetterA + 25},
               {XK_Z, kKeyLetterA + 25},
               {XK_KP_1, -1},
               {XK_KP_Up, -1},
               {XK_Escape, -1},
               {XK_F1, -1},
               {XK_Return, -1},
               {XK_adiaeresis, -1}};
  for (const Case& c : cases)
    EXPECT_EQ(X11InputTranslator::KeyCodeFor(c.sym), c.code) << XKeysymToString(c.sym);
}

}  // namespace
