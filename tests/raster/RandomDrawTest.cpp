// Every drawing operation with random coordinates, sizes, weights and modes
// into bitmaps with guard bands: nothing outside a bitmap may change.

#include <climits>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "TestBitmaps.h"
#include "raster/Blit.h"
#include "raster/Blur.h"
#include "raster/Fill.h"
#include "raster/Line.h"

using namespace raster;
using rastertest::GuardedBitmap;

namespace {

class Chaos {
 public:
  explicit Chaos(std::uint32_t seed) : rng_(seed) {}

  int Below(int n) { return int(rng_() % std::uint32_t(n)); }

  // Mostly near the bitmap, sometimes at or beyond the limits of int.
  int Coord(int extent) {
    switch (Below(10)) {
      case 0:
        return INT_MIN + Below(3);
      case 1:
        return INT_MAX - Below(3);
      case 2:
        return int(rng_());
      case 3:
        return -Below(100);
      default:
        return Below(extent + 20) - 10;
    }
  }

  float FloatCoord(int extent) {
    switch (Below(16)) {
      case 0:
        return std::numeric_limits<float>::infinity();
      case 1:
        return -std::numeric_limits<float>::infinity();
      case 2:
        return std::numeric_limits<float>::quiet_NaN();
      case 3:
        return (Below(2) ? 1.0f : -1.0f) * 1e30f;
      case 4:
        return float(int(rng_())) * 0.5f;
      case 5:
        return float(extent - 1) + float(Below(3)) * 0.5f;
      default:
        return std::uniform_real_distribution<float>(-10.0f, float(extent) + 10.0f)(rng_);
    }
  }

  float Alpha() {
    static constexpr float kAlphas[] = {1.0f, 0.5f,   0.25f,  0.75f, 0.0f,
                                        0.3f, 0.999f, 0.001f, 1.7f,  -0.5f};
    if (Below(4) == 0) return std::uniform_real_distribution<float>(0.0f, 1.0f)(rng_);
    return kAlphas[Below(10)];
  }

  BlitMode Mode() {
    BlitMode op = BlitMode(Below(8));
    if (Below(5) == 0)
      op = BlitMode(240 + Below(16));
    else if (Below(20) == 0)
      op = BlitMode(Below(256));
    return op | (Below(2) ? BlitUseSourceAlpha : 0) | (Below(8) == 0 ? 0x100u : 0);
  }

  Pixel Colour() { return Pixel(rng_()); }

 private:
  std::mt19937 rng_;
};

std::unique_ptr<GuardedBitmap> RandomBitmap(Chaos& c) {
  auto bm = std::make_unique<GuardedBitmap>(1 + c.Below(40), 1 + c.Below(30), 8, c.Below(5),
                                            c.Below(3) == 0);
  for (int y = 0; y < bm->GetHeight(); ++y)
    for (int x = 0; x < bm->GetWidth(); ++x) bm->At(x, y) = c.Colour();
  return bm;
}

}  // namespace

TEST(RandomDrawing, NeverWritesOutsideTheBitmap) {
  Chaos c(20240611);
  for (int round = 0; round < 500; ++round) {
    auto dst = RandomBitmap(c);
    auto src = RandomBitmap(c);
    const int w = dst->GetWidth(), h = dst->GetHeight();
    for (int step = 0; step < 60; ++step) {
      switch (c.Below(8)) {
        case 0: {
          BlitRect rect{c.Coord(src->GetWidth()), c.Coord(src->GetHeight()),
                        c.Coord(src->GetWidth()), c.Coord(src->GetHeight())};
          const bool self = c.Below(6) == 0;
          Blit(dst.get(), self ? dst.get() : src.get(), c.Coord(w), c.Coord(h),
               c.Below(3) ? &rect : nullptr, c.Alpha(), c.Mode());
          break;
        }
        case 1: {
          const bool inPlace = c.Below(2) == 0;
          Blur(dst.get(), inPlace ? dst.get() : src.get(), c.Coord(w), c.Coord(h));
          break;
        }
        case 2:
          if (c.Below(10) == 0) Clear(dst.get(), c.Colour());
          break;
        case 3:
          FillRect(dst.get(), c.Coord(w), c.Coord(h), c.Coord(w), c.Coord(h), c.Colour(), c.Alpha(),
                   c.Mode());
          break;
        case 4:
          FillTrapezoid(dst.get(), c.Coord(w), c.Coord(w), c.Coord(h), c.Coord(w), c.Coord(w),
                        c.Coord(h), c.Colour(), c.Alpha(), c.Mode());
          break;
        case 5: {
          int xs[4], ys[4];
          for (int i = 0; i < 4; ++i) {
            xs[i] = c.Coord(w);
            ys[i] = c.Coord(h);
          }
          FillConvexQuad(dst.get(), xs, ys, c.Colour(), c.Alpha(), c.Mode());
          break;
        }
        case 6:
          LineAA(dst.get(), c.FloatCoord(w), c.FloatCoord(h), c.FloatCoord(w), c.FloatCoord(h),
                 c.Colour(), c.Alpha(), c.Mode());
          break;
        default: {
          const float thickness = c.Below(50) == 0 ? 1e9f : float(c.Below(80)) * 0.25f;
          ThickLineAA(dst.get(), c.FloatCoord(w), c.FloatCoord(h), c.FloatCoord(w), c.FloatCoord(h),
                      thickness, c.Colour(), c.Alpha(), c.Mode());
          break;
        }
      }
    }
    ASSERT_EQ(dst->GuardDamage(), 0) << "round " << round;
    ASSERT_EQ(src->GuardDamage(), 0) << "round " << round;
  }
}
