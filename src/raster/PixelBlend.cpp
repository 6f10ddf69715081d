#include "raster/PixelBlend.h"

#include <array>
#include <cstdint>

namespace raster::blend {

namespace {

// R[0] = 0, R[i] = floor(65536 / i) - 1: division by multiplication.
constexpr std::array<std::uint16_t, 256> MakeReciprocals() {
  std::array<std::uint16_t, 256> r{};
  for (int i = 1; i < 256; ++i) r[std::size_t(i)] = std::uint16_t(65536 / i - 1);
  return r;
}

constexpr std::array<std::uint16_t, 256> kReciprocal = MakeReciprocals();

}  // namespace

Pixel HSVAdjust(Pixel d, int sr, int sg, int sb, int newAlpha, int w) {
  const int r = int((d >> 16) & 255);
  const int g = int((d >> 8) & 255);
  const int b = int(d & 255);

  // Hue runs over 0..383, 64 per sextant.
  int v, mn, base, numerator;
  if (g > r && g > b) {
    v = g;
    mn = r < b ? r : b;
    base = 128;
    numerator = b - r;
  } else if (r >= g && r > b) {
    v = r;
    mn = g < b ? g : b;
    base = g < b ? 383 : 0;
    numerator = g - b;
  } else {
    v = b;
    mn = r < g ? r : g;
    base = 256;
    numerator = r - g;
  }
  const int delta = v - mn;

  int hue = base + numerator * (int(kReciprocal[std::size_t(delta)]) + 1) / 1024 +
            w * (sr / 2 + sr - 192) / 256;
  if (hue < 0)
    hue += 384;
  else if (hue >= 384)
    hue -= 384;

  const int sat = Clamp255(delta * int(kReciprocal[std::size_t(v)]) / 256 + w * (sg - 128) / 128);
  const int val = Clamp255(v + w * (sb - 128) / 128);

  const int lo = ((256 - sat) * val / 256) & 255;
  const int c = hue < 128 ? 64 : (hue < 256 ? 192 : 320);
  const int t = sat * (hue - c);
  const int rising = val * (t + 16384) / 16384;
  const int falling = (16384 - t) * val / 16384;

  int nr, ng, nb;
  if (hue < 64) {
    nr = val;
    ng = rising;
    nb = lo;
  } else if (hue < 128) {
    nr = falling;
    ng = val;
    nb = lo;
  } else if (hue < 192) {
    nr = lo;
    ng = val;
    nb = rising;
  } else if (hue < 256) {
    nr = lo;
    ng = falling;
    nb = val;
  } else if (hue < 320) {
    nr = rising;
    ng = lo;
    nb = val;
  } else {
    nr = val;
    ng = lo;
    nb = falling;
  }
  return Pack(nb, ng, nr, newAlpha);
}

}  // namespace raster::blend
