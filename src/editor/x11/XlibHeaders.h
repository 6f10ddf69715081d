#pragma once
// Xlib for the editor's window layer. Xlib calls its key-code type KeyCode,
// the name the editor core gives its own key codes; within these headers it
// is renamed (a typedef name only, the functions stay the same). Include
// this after the editor's headers, since Xlib also defines macros such as
// None, Bool and Status.

#define KeyCode XKeyCode
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XShm.h>
#undef KeyCode
