#include "raster/Line.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "raster/PixelBlend.h"

namespace raster {

namespace {

int OutCode(float x, float y, float W, float H) {
  int code = 0;
  if (x < 0.0f) code |= 1;
  if (x >= W) code |= 2;
  if (y < 0.0f) code |= 4;
  if (y >= H) code |= 8;
  return code;
}

}  // namespace

bool ClipLineF(float& x1, float& y1, float& x2, float& y2, int width, int height) {
  // Non-finite coordinates would slip through the comparisons below.
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2))
    return false;
  const float W = float(width - 1);
  const float H = float(height - 1);
  int code1 = OutCode(x1, y1, W, H);
  int code2 = OutCode(x2, y2, W, H);
  // Each pass moves one end onto an edge; rounding could otherwise make
  // two edges trade a point back and forth.
  for (int pass = 0; (code1 | code2) != 0; ++pass) {
    if ((code1 & code2) != 0 || pass >= 8) return false;
    const bool first = code1 != 0;
    const int code = first ? code1 : code2;
    float x, y;
    if (code & 8) {
      x = x1 + (x2 - x1) * (H - y1) / (y2 - y1);
      y = H - 1.0f;
    } else if (code & 4) {
      x = x1 + (x2 - x1) * y1 / (y1 - y2);
      y = 0.0f;
    } else if (code & 2) {
      y = y1 + (y2 - y1) * (W - x1) / (x2 - x1);
      x = W - 1.0f;
    } else {
      y = y1 + (y2 - y1) * x1 / (x1 - x2);
      x = 0.0f;
    }
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    if (first) {
      x1 = x;
      y1 = y;
      code1 = OutCode(x1, y1, W, H);
    } else {
      x2 = x;
      y2 = y;
      code2 = OutCode(x2, y2, W, H);
    }
  }
  return true;
}

void LineAA(IBitmap* bitmap, float x1, float y1, float x2, float y2, Pixel colour, float alpha,
            BlitMode mode) {
  if (!bitmap) return;
  Pixel* bits = bitmap->GetBits();
  const int width = bitmap->GetWidth();
  const int height = bitmap->GetHeight();
  const std::ptrdiff_t span = bitmap->GetRowSpan();
  if (!bits || width < 2 || height < 2 || span <= 0) return;
  if (bitmap->IsFlipped()) {
    y1 = float(height - 1) - y1;
    y2 = float(height - 1) - y2;
  }
  if (!ClipLineF(x1, y1, x2, y2, width, height)) return;
  if (x1 == x2 && y1 == y2) return;

  const bool xMajor = std::fabs(double(x2) - double(x1)) > std::fabs(double(y2) - double(y1));
  float majorStart = xMajor ? x1 : y1, majorEnd = xMajor ? x2 : y2;
  float minorStart = xMajor ? y1 : x1, minorEnd = xMajor ? y2 : x2;
  if (majorEnd < majorStart) {
    std::swap(majorStart, majorEnd);
    std::swap(minorStart, minorEnd);
  }
  const std::ptrdiff_t majorStep = xMajor ? 1 : span;
  const std::ptrdiff_t minorStep = xMajor ? span : 1;
  const int majorLimit = xMajor ? width : height;
  const int minorLimit = xMajor ? height : width;

  const float first = std::ceil(majorStart);
  const float last = std::floor(majorEnd);
  const float slope = (minorEnd - minorStart) / (majorEnd - majorStart);
  const float m = (first - majorStart) * slope + minorStart;
  const float mFloor = std::floor(m);
  int f = int((m - mFloor) * 65536.0f);
  const int s = int(std::fabs(slope) * 65536.0f);

  const int weight = blend::Weight(alpha);
  if (weight == 0) return;
  const BlitMode op = mode & BlitOperationMask;
  if (op > BlitHSVAdjust) return;
  const blend::Source src = blend::FromPixel(colour);

  const int dir = slope < 0.0f ? -1 : 1;
  int major = int(first);
  int minor = int(mFloor);
  if (dir < 0) {
    minor += 1;
    f = 0xFFFF - f;
  }

  // Clipping keeps both pixels inside; the bounds test below only guards
  // against rounding drift of the accumulated fraction.
  auto plot = [&](int maj, int min, int w) {
    if (maj < 0 || maj >= majorLimit || min < 0 || min >= minorLimit) return;
    Pixel* p = bits + std::ptrdiff_t(maj) * majorStep + std::ptrdiff_t(min) * minorStep;
    *p = blend::Apply(op, *p, src, w);
  };

  const int steps = int(last) - int(first) + 1;
  for (int i = 0; i < steps; ++i) {
    const int hi = f >> 8;
    int primary = 255 - hi;
    int neighbour = hi;
    if (weight != 256) {
      primary = (primary * weight) >> 8;
      neighbour = (neighbour * weight) >> 8;
    }
    plot(major, minor, primary);
    plot(major, minor + dir, neighbour);
    f += s;
    if (f >= 0x10000) {
      minor += dir;
      f -= 0x10000;
    }
    ++major;
  }
}

void ThickLineAA(IBitmap* bitmap, float x1, float y1, float x2, float y2, float thickness,
                 Pixel colour, float alpha, BlitMode mode) {
  const float dx = x2 - x1;
  const float dy = y2 - y1;
  const float q = dx * dx + dy * dy;
  // Square root by a bit-pattern estimate refined with two Newton-like
  // steps; accurate enough for spacing the parallel lines.
  const float l0 = std::bit_cast<float>((std::bit_cast<std::int32_t>(q) >> 1) + 0x1FB5AD00);
  const float sum = q / l0 + l0;
  const float length = q / sum + sum * 0.25f;
  const float inv = float(1.0 / double(length));

  const float h = (thickness - 1.0f) * 0.5f;
  // Bounded so a huge thickness cannot loop forever once m += 1 no
  // longer changes m.
  constexpr int kMaxLines = 1 << 16;
  int lines = 0;
  for (float m = -h; m <= h && lines < kMaxLines; m += 1.0f, ++lines) {
    const float ox = m * dy * inv;
    const float oy = m * dx * inv;
    LineAA(bitmap, x1 + ox, y1 - oy, x2 + ox, y2 - oy, colour, alpha, mode);
  }
}

}  // namespace raster
