#pragma once
// Copying and blending one bitmap onto another.

#include <cstdint>

#include "raster/BlitMode.h"
#include "raster/IBitmap.h"

namespace raster {

// Source rectangle: left, top, right, bottom, right and bottom exclusive
// (the same layout as the editor's integer rectangle).
struct BlitRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// Copies or blends sourceRect of source (null: all of it) so that its
// top-left lands at (dstX, dstY) in destination. alpha is the opacity
// (1.0 opaque, exactly 0.0 draws nothing); mode selects the operation.
// Everything is clipped to both bitmaps.
void Blit(IBitmap* destination, const IBitmap* source, int dstX, int dstY,
          const BlitRect* sourceRect, float alpha, BlitMode mode);

}  // namespace raster
