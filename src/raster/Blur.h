#pragma once
// A small shift-and-mask blur (centre 1/2, neighbours 1/8 each).

#include "raster/IBitmap.h"

namespace raster {

// Blurs the top-left width x height region of source into the same region
// of destination; the two may be the same bitmap.
void Blur(IBitmap* destination, const IBitmap* source, int width, int height);

}  // namespace raster
