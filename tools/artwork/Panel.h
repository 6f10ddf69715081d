#pragma once
// The panel's fixed artwork: background with its texts, panels and plot
// screens, the switch images, the logo and the small label images.

#include "Canvas.h"
#include "Typeface.h"

namespace art {

// 689 x 369: faceplate, the two rounded panels behind the knob columns, the
// framed grids behind the two plots and the fixed texts beside the
// switch groups.
Canvas Background(Typeface& type);

// A lamp button of `size` pixels square; frames stacked vertically:
// unlit above, lit below.
Canvas LampButtonStrip(int size);

// One lamp of `size` pixels square, lit or not.
Canvas Lamp(int size, bool lit);

// 52 x 52 emblem.
Canvas Logo(Typeface& type);

// 78 x 47: plain note, note "4/3" and triplet note above the three
// note-kind buttons.
Canvas NoteKinds(Typeface& type);

// 130 x 18: the names of the three filter voices beside their buttons.
Canvas FilterNames(Typeface& type);

// A small image holding one bold word.
Canvas Word(Typeface& type, int width, int height, const char* text);

}  // namespace art
