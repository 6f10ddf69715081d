#pragma once
// Writing bitmaps as PNG files.

#include "raster/IBitmap.h"

namespace raster {

// Writes the bitmap as an 8-bit RGBA PNG file (straight alpha, as stored).
// False when the file cannot be written; a partial file is removed.
bool WritePNGFile(const IBitmap& bitmap, const char* path);

}  // namespace raster
