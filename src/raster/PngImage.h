#pragma once
// Decoding PNG files held in memory into memory bitmaps.

#include <cstddef>
#include <memory>

#include "raster/MemBitmap.h"

namespace raster {

// Decodes a complete PNG file into a new bitmap of the image's size, every
// pixel as a straight (not premultiplied) 0xAARRGGBB word; images without
// alpha come out opaque. Null on any failure (short or foreign data, a libpng
// error, a truncated file, no memory); nothing is kept on failure.
std::unique_ptr<MemBitmap> LoadPNGFromMemory(const void* data, std::size_t length);

}  // namespace raster
