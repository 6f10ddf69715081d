#include "raster/Fill.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "raster/PixelBlend.h"

namespace raster {

namespace {

using blend::Half;
using blend::Quarter;

// Fills count pixels from p with the colour at weight ia. The copy
// operation has whole-word paths at 1, 1/2, 1/4 and 3/4; otherwise the
// per-pixel arithmetic with the given source channels.
void FillSpan(Pixel* p, int count, BlitMode op, Pixel colour, const blend::Source& s, int ia) {
  if (op == BlitCopy) {
    switch (ia) {
      case 256:
        std::fill(p, p + count, colour);
        return;
      case 128: {
        const Pixel c = Half(colour);
        for (int i = 0; i < count; ++i) p[i] = c + Half(p[i]);
        return;
      }
      case 64: {
        const Pixel c = Quarter(colour);
        for (int i = 0; i < count; ++i) p[i] = Half(p[i]) + Quarter(p[i]) + c;
        return;
      }
      case 192: {
        const Pixel c = Half(colour) + Quarter(colour);
        for (int i = 0; i < count; ++i) p[i] = c + Quarter(p[i]);
        return;
      }
      default:
        if (ia < 1) return;
        for (int i = 0; i < count; ++i) p[i] = blend::Copy(p[i], s, ia);
        return;
    }
  }
  if (op > BlitHSVAdjust || ia == 0) return;
  for (int i = 0; i < count; ++i) p[i] = blend::Apply(op, p[i], s, ia);
}

bool Usable(const IBitmap* bm) {
  return bm && bm->GetBits() && bm->GetRowSpan() > 0 && bm->GetWidth() > 0 && bm->GetHeight() > 0;
}

// Nearest int to a double, limited to the int range (NaN gives 0).
int SaturateInt(double v) {
  if (!(v == v)) return 0;
  if (v <= double(INT32_MIN)) return INT32_MIN;
  if (v >= double(INT32_MAX)) return INT32_MAX;
  return int(v);
}

}  // namespace

void Clear(IBitmap* bitmap, Pixel colour) {
  if (!bitmap) return;
  Pixel* bits = bitmap->GetBits();
  const int width = bitmap->GetWidth();
  const int span = bitmap->GetRowSpan();
  if (!bits || width <= 0 || span == 0) return;
  const int height = bitmap->GetHeight();
  for (int y = 0; y < height; ++y) {
    Pixel* row = bits + std::ptrdiff_t(y) * span;
    std::fill(row, row + width, colour);
  }
}

void FillRect(IBitmap* bitmap, int x, int y, int width, int height, Pixel colour, float alpha,
              BlitMode mode) {
  if (!bitmap) return;
  if (mode & BlitUseSourceAlpha) alpha *= float(colour >> 24) / 255.0f;
  Pixel* bits = bitmap->GetBits();
  const int span = bitmap->GetRowSpan();
  if (alpha == 0.0f || !bits || span == 0) return;

  std::int64_t cx = x, cy = y, cw = width, ch = height;
  if (cx < 0) {
    cw += cx;
    cx = 0;
  }
  if (cy < 0) {
    ch += cy;
    cy = 0;
  }
  if (cw < 1 || ch < 1) return;
  const std::int64_t bw = bitmap->GetWidth(), bh = bitmap->GetHeight();
  if (cx >= bw || cy >= bh) return;
  const int rows = int(std::min(bh - cy, ch));
  const int columns = int(std::min(bw - cx, cw));
  const std::int64_t firstRow = bitmap->IsFlipped() ? bh - cy - rows : cy;

  const int ia = blend::Weight(alpha);
  const BlitMode op = mode & BlitOperationMask;
  // The weight stands in for the colour's alpha in the blends.
  const blend::Source s{int(colour & 255), int((colour >> 8) & 255), int((colour >> 16) & 255), ia};
  for (int r = 0; r < rows; ++r)
    FillSpan(bits + std::ptrdiff_t(firstRow + r) * span + cx, columns, op, colour, s, ia);
}

void FillTrapezoid(IBitmap* bitmap, int topLeftX, int topRightX, int topY, int bottomLeftX,
                   int bottomRightX, int bottomY, Pixel colour, float alpha, BlitMode mode) {
  if (!Usable(bitmap)) return;
  if (topY > bottomY) {
    std::swap(topLeftX, bottomLeftX);
    std::swap(topRightX, bottomRightX);
    std::swap(topY, bottomY);
  }
  std::int64_t tl = std::min(topLeftX, topRightX), tr = std::max(topLeftX, topRightX);
  std::int64_t bl = std::min(bottomLeftX, bottomRightX), br = std::max(bottomLeftX, bottomRightX);
  const std::int64_t W = bitmap->GetWidth(), H = bitmap->GetHeight();

  if (tr < 0 && br < 0) return;
  if (tl >= W && bl >= W) return;
  if (tl <= 0 && bl < 1) tl = bl = 0;
  if (tr >= W - 1 && br >= W - 1) tr = br = W - 1;
  if (bottomY < 0 || topY >= H) return;

  const int ia = blend::Weight(alpha);
  const BlitMode op = mode & BlitOperationMask;
  if (ia == 0 || op > BlitHSVAdjust) return;

  // Edge steps per row in 16.16 fixed point, as magnitude and direction.
  const double k = bottomY == topY ? 0.0 : 65536.0 / (double(bottomY) - double(topY));
  auto stepOf = [k](std::int64_t from, std::int64_t to) {
    const double v = std::clamp(double(to - from) * k, -536870912.0, 536870912.0);
    return std::int64_t(v);
  };
  const std::int64_t rightStepSigned = stepOf(tr, br);
  const std::int64_t leftStepSigned = stepOf(tl, bl);
  const std::int64_t rightStep = rightStepSigned < 0 ? -rightStepSigned : rightStepSigned;
  const std::int64_t leftStep = leftStepSigned < 0 ? -leftStepSigned : leftStepSigned;
  const std::int64_t rightDir = rightStepSigned < 0 ? -1 : 1;
  const std::int64_t leftDir = leftStepSigned < 0 ? -1 : 1;

  std::int64_t left = tl, right = tr, leftFrac = 0, rightFrac = 0;
  std::int64_t y0 = topY;
  if (y0 < 0) {
    const std::int64_t skipped = -y0;
    leftFrac = skipped * leftStep;
    left += (leftFrac >> 16) * leftDir;
    leftFrac &= 0xFFFF;
    rightFrac = skipped * rightStep;
    right += (rightFrac >> 16) * rightDir;
    rightFrac &= 0xFFFF;
    y0 = 0;
  }

  const std::int64_t rowsDrawn = std::min<std::int64_t>(H - 1, bottomY) - y0 + 1;
  right += 1;  // exclusive from here on
  const blend::Source s = blend::FromPixel(colour);
  Pixel* bits = bitmap->GetBits();
  const std::ptrdiff_t span = bitmap->GetRowSpan();

  if (leftStep == 0 && rightStep == 0) {
    const std::int64_t from = std::max<std::int64_t>(left, 0);
    const std::int64_t count = std::min(right, W) - from;
    if (count < 1) return;
    for (std::int64_t r = 0; r < rowsDrawn; ++r)
      FillSpan(bits + (y0 + r) * span + from, int(count), op, colour, s, ia);
    return;
  }

  for (std::int64_t r = 0; r < rowsDrawn; ++r) {
    const std::int64_t from = std::max<std::int64_t>(left, 0);
    const std::int64_t to = std::min(right, W);
    if (to > from) FillSpan(bits + (y0 + r) * span + from, int(to - from), op, colour, s, ia);
    leftFrac += leftStep;
    if (leftFrac > 0xFFFF) {
      left += (leftFrac >> 16) * leftDir;
      leftFrac &= 0xFFFF;
    }
    rightFrac += rightStep;
    if (rightFrac > 0xFFFF) {
      right += (rightFrac >> 16) * rightDir;
      rightFrac &= 0xFFFF;
    }
  }
}

void FillConvexQuad(IBitmap* bitmap, const int xs[4], const int ys[4], Pixel colour, float alpha,
                    BlitMode mode) {
  if (!Usable(bitmap) || !xs || !ys) return;
  struct Corner {
    int x, y;
  };
  const int H = bitmap->GetHeight();
  Corner c[4];
  int minX = xs[0], maxX = xs[0];
  for (int i = 0; i < 4; ++i) {
    // Flipping in 64 bits: H - 1 - y must not overflow.
    const std::int64_t y = bitmap->IsFlipped() ? std::int64_t(H) - 1 - ys[i] : ys[i];
    c[i] = {xs[i], int(std::clamp<std::int64_t>(y, INT32_MIN, INT32_MAX))};
    minX = std::min(minX, xs[i]);
    maxX = std::max(maxX, xs[i]);
  }
  // Insertion sort: stable like std::stable_sort, which may allocate a
  // buffer on every call, and drawing must not allocate.
  for (int i = 1; i < 4; ++i)
    for (int j = i; j > 0 && (c[j].y != c[j - 1].y ? c[j].y < c[j - 1].y : c[j].x < c[j - 1].x);
         --j)
      std::swap(c[j], c[j - 1]);

  if (c[0].y == c[3].y) {
    if (c[0].y >= 0 && c[0].y < H && maxX >= minX)
      FillTrapezoid(bitmap, minX, maxX, c[0].y, minX, maxX, c[0].y, colour, alpha, mode);
    return;
  }

  int lastTop = 0;
  while (lastTop + 1 < 4 && c[lastTop + 1].y == c[0].y) ++lastTop;
  int leftCur = 0;
  for (int i = 0; i <= lastTop; ++i)
    if (c[i].x == c[0].x) leftCur = i;
  int rightCur = lastTop;

  auto slope = [&](int from, int to) {
    return (double(c[to].x) - double(c[from].x)) / (double(c[to].y) - double(c[from].y));
  };
  // Next corner of a chain: a later corner on another row with the
  // smallest (left) or largest (right) slope; ties go to the later one.
  auto nextOf = [&](int cur, bool leftChain) {
    int best = cur;
    double bestSlope = 0.0;
    for (int i = cur + 1; i < 4; ++i) {
      if (c[i].y == c[cur].y) continue;
      const double s = slope(cur, i);
      if (best == cur || (leftChain ? s <= bestSlope : s >= bestSlope)) {
        best = i;
        bestSlope = s;
      }
    }
    return best;
  };
  // x of a chain's edge at a row: the end's x beyond either end, the float
  // slope on the edge itself (its bottom row included, where the rounded
  // slope may land one pixel short of the corner).
  auto edgeX = [&](int from, int to, std::int64_t row) -> int {
    if (from == to || row <= c[from].y) return c[from].x;
    if (row > c[to].y) return c[to].x;
    const float s =
        float(c[to].x - std::int64_t(c[from].x)) / float(c[to].y - std::int64_t(c[from].y));
    return SaturateInt(double(c[from].x) + std::trunc(double(s * float(row - c[from].y))));
  };

  int leftNext = nextOf(leftCur, true);
  int rightNext = nextOf(rightCur, false);
  std::int64_t y = c[0].y;
  // Each band consumes at least one corner; the bound guards malformed
  // (non-convex or degenerate) input from looping.
  for (int band = 0; band < 8 && (leftNext != leftCur || rightNext != rightCur); ++band) {
    const int bandBottom = std::min(c[leftNext].y, c[rightNext].y);
    const int yTop = int(std::clamp<std::int64_t>(y, INT32_MIN, INT32_MAX));
    FillTrapezoid(bitmap, edgeX(leftCur, leftNext, y), edgeX(rightCur, rightNext, y), yTop,
                  edgeX(leftCur, leftNext, bandBottom), edgeX(rightCur, rightNext, bandBottom),
                  bandBottom, colour, alpha, mode);
    bool advanced = false;
    if (c[leftNext].y == bandBottom && leftNext != leftCur) {
      leftCur = leftNext;
      leftNext = nextOf(leftCur, true);
      advanced = true;
    }
    if (c[rightNext].y == bandBottom && rightNext != rightCur) {
      rightCur = rightNext;
      rightNext = nextOf(rightCur, false);
      advanced = true;
    }
    if (!advanced) break;
    y = std::int64_t(bandBottom) + 1;
  }
}

}  // namespace raster
