#pragma once
// One 32-bit pixel word, 0xAARRGGBB, not premultiplied. On little-endian
// machines the bytes in memory are blue, green, red, alpha (indexes 0..3).

#include <cstdint>

using Pixel = std::uint32_t;

namespace raster {

constexpr Pixel MakePixel(int a, int r, int g, int b) {
  return (Pixel(a & 255) << 24) | (Pixel(r & 255) << 16) | (Pixel(g & 255) << 8) | Pixel(b & 255);
}

constexpr int PixelA(Pixel p) { return int(p >> 24); }
constexpr int PixelR(Pixel p) { return int((p >> 16) & 255); }
constexpr int PixelG(Pixel p) { return int((p >> 8) & 255); }
constexpr int PixelB(Pixel p) { return int(p & 255); }

// Channel by byte index in memory: 0 blue, 1 green, 2 red, 3 alpha.
constexpr int PixelChannel(Pixel p, int index) { return int((p >> (8 * (index & 3))) & 255); }

}  // namespace raster
