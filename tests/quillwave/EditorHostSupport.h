#pragma once
// What the tests that open Quillwave's editor in a host window on each
// platform expect it to show: the committed reference images, the same
// panel drawn off-screen at a hosted instance's settings, and where two
// pictures differ.

#include <cstdint>
#include <vector>

#include "TestHost.h"

namespace raster {
class IBitmap;
}

namespace qwtest {

// 0xAARRGGBB words, row by row.
using Pixels = std::vector<std::uint32_t>;

// A bitmap's pixels with alpha 255.
Pixels PixelsOf(const raster::IBitmap& bitmap);

// A committed reference image of the panel by file name; empty when it
// cannot be read.
Pixels Golden(const char* name);

// The panel the editor should show: the same plug-in, linked into the test
// program and drawn off-screen, given every parameter value the hosted
// instance has; with the pointer resting at (hoverX, hoverY) when given.
Pixels Reference(Instance& fx, int hoverX = -1, int hoverY = -1);

// frames of stereo silence through fx's 32-bit process call in the host's
// 1024-frame blocks.
void ProcessSilence(Instance& fx, int frames);

struct Difference {
  int count = 0;       // pixels whose colour differs (alpha ignored)
  int x = -1, y = -1;  // the first of them
};
// Two pictures width pixels wide; pictures of different sizes differ
// everywhere.
Difference Compare(const Pixels& a, const Pixels& b, int width);

}  // namespace qwtest
