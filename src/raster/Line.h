#pragma once
// Anti-aliased lines with floating-point end points.

#include "raster/BlitMode.h"
#include "raster/IBitmap.h"

namespace raster {

// Clips a line to a width x height bitmap so that it keeps clear of the
// last column and row (LineAA touches two pixels across the line).
// Returns false when nothing of the line is left.
bool ClipLineF(float& x1, float& y1, float& x2, float& y2, int width, int height);

// Each step along the long axis covers two pixels weighted by the line's
// position between them. Blends the colour (its alpha as the alpha target)
// by the operation byte of mode; the source-alpha flag is not used.
void LineAA(IBitmap* bitmap, float x1, float y1, float x2, float y2, Pixel colour, float alpha,
            BlitMode mode);

// A thick line as parallel LineAA lines one pixel apart along the normal.
void ThickLineAA(IBitmap* bitmap, float x1, float y1, float x2, float y2, float thickness,
                 Pixel colour, float alpha, BlitMode mode);

}  // namespace raster
