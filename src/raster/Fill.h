#pragma once
// Solid-colour fills: whole bitmap, rectangle, horizontal trapezoid and
// convex four-cornered polygon. All are clipped to the bitmap.

#include "raster/BlitMode.h"
#include "raster/IBitmap.h"

namespace raster {

// Every pixel of the width x height area becomes colour (alpha included);
// padding between the width and the row span is left alone.
void Clear(IBitmap* bitmap, Pixel colour);

// With BlitUseSourceAlpha the opacity is scaled by the colour's alpha.
void FillRect(IBitmap* bitmap, int x, int y, int width, int height, Pixel colour, float alpha,
              BlitMode mode);

// Fills between two horizontal rows (given in either order), both edges
// inclusive. Rows are counted from the top of memory whatever the bitmap's
// flipped flag says.
void FillTrapezoid(IBitmap* bitmap, int topLeftX, int topRightX, int topY, int bottomLeftX,
                   int bottomRightX, int bottomY, Pixel colour, float alpha, BlitMode mode);

// Fills the convex polygon with corners (xs[i], ys[i]), i = 0..3.
void FillConvexQuad(IBitmap* bitmap, const int xs[4], const int ys[4], Pixel colour, float alpha,
                    BlitMode mode);

}  // namespace raster
