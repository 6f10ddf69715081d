#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>

#include <gtest/gtest.h>

#include "TestBitmaps.h"
#include "raster/Fill.h"
#include "raster/Line.h"
#include "raster/MemBitmap.h"

using namespace raster;
using rastertest::GuardedBitmap;

namespace {

void Paint(GuardedBitmap& bm, Pixel value) {
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x) bm.At(x, y) = value;
}

// Columns [from, to] of row y are `on`, the rest of the row `off`.
void ExpectRow(GuardedBitmap& bm, int y, int from, int to, Pixel on, Pixel off = 0) {
  for (int x = 0; x < bm.GetWidth(); ++x)
    EXPECT_EQ(bm.At(x, y), (x >= from && x <= to) ? on : off) << "row " << y << " column " << x;
}

int Blue(Pixel p) { return int(p & 255); }

}  // namespace

TEST(Clear, WholeAreaOnly) {
  GuardedBitmap bm(5, 3, 4, 3);
  Clear(&bm, 0x80FF00FF);
  for (int y = 0; y < 3; ++y) ExpectRow(bm, y, 0, 4, 0x80FF00FF);
  EXPECT_EQ(bm.GuardDamage(), 0);  // row padding untouched
  MemBitmap empty;
  Clear(&empty, 1);
  Clear(nullptr, 1);
}

TEST(FillRect, CopyWeightsAndAlphaByte) {
  GuardedBitmap bm(4, 1);
  Paint(bm, 0xC0808080);
  FillRect(&bm, 0, 0, 1, 1, 0x40FFFFFF, 1.0f, BlitCopy);
  EXPECT_EQ(bm.At(0, 0), 0x40FFFFFFu);  // colour word, alpha included
  FillRect(&bm, 1, 0, 1, 1, 0x40FFFFFF, 0.5f, BlitCopy);
  EXPECT_EQ(bm.At(1, 0), 0x80BFBFBFu);  // alpha byte averaged
  FillRect(&bm, 2, 0, 1, 1, 0xFFFFFFFF, 0.25f, BlitCopy);
  EXPECT_EQ(bm.At(2, 0), 0xCF9F9F9Fu);
  FillRect(&bm, 3, 0, 1, 1, 0xFFFFFFFF, 0.75f, BlitCopy);
  EXPECT_EQ(bm.At(3, 0), 0xEEDEDEDEu);

  // Other weights move the alpha byte towards ia, not the colour's alpha.
  Paint(bm, 0xC8C8C8C8);
  FillRect(&bm, 0, 0, 1, 1, 0xFF000000, 0.3f, BlitCopy);
  FillRect(&bm, 1, 0, 1, 1, 0x00000000, 0.3f, BlitCopy);
  EXPECT_EQ(bm.At(0, 0), 0xA38C8C8Cu);
  EXPECT_EQ(bm.At(1, 0), 0xA38C8C8Cu);

  // Source alpha scales the opacity; a transparent colour draws nothing.
  FillRect(&bm, 2, 0, 1, 1, 0x00FFFFFF, 1.0f, BlitCopy | BlitUseSourceAlpha);
  EXPECT_EQ(bm.At(2, 0), 0xC8C8C8C8u);
  FillRect(&bm, 3, 0, 1, 1, 0x80000000, 1.0f, BlitCopy | BlitUseSourceAlpha);
  EXPECT_EQ(bm.At(3, 0), 0xA4646464u);  // 128/255 of 256 truncates to 128
  EXPECT_EQ(bm.GuardDamage(), 0);
}

TEST(FillRect, OtherOperations) {
  GuardedBitmap bm(4, 1);
  Paint(bm, 0x10F06410);
  // Add uses ia as the source alpha: 0x10 + 256 * 256 / 256 saturates.
  FillRect(&bm, 0, 0, 1, 1, 0x00202020, 1.0f, BlitAdd);
  EXPECT_EQ(bm.At(0, 0), 0xFFFF8430u);
  // Multiply: colours by the colour channel, alpha by ia.
  FillRect(&bm, 1, 0, 1, 1, 0x00808080, 0.5f, BlitMultiply);
  EXPECT_EQ(bm.At(1, 0), 0x0CB44B0Cu);
  FillRect(&bm, 2, 0, 1, 1, 0x00808080, 1.0f, 6);
  EXPECT_EQ(bm.At(2, 0), 0x10F06410u);
  FillRect(&bm, 3, 0, 1, 1, 0x00808080, 0.0f, BlitAdd);
  EXPECT_EQ(bm.At(3, 0), 0x10F06410u);
}

TEST(FillRect, Clipping) {
  GuardedBitmap bm(6, 5, 16, 2);
  FillRect(&bm, -2, -3, 4, 5, 0xFFFFFFFF, 1.0f, BlitCopy);
  ExpectRow(bm, 0, 0, 1, 0xFFFFFFFF);
  ExpectRow(bm, 1, 0, 1, 0xFFFFFFFF);
  ExpectRow(bm, 2, -1, -1, 0);

  Paint(bm, 0);
  const int far[] = {INT_MIN, INT_MIN + 1, -1000, 6, 1000, INT_MAX};
  for (int x : far)
    for (int y : far)
      for (int w : {1, 100, INT_MAX})
        for (float alpha : {1.0f, 0.5f, 0.3f})
          for (BlitMode op : {0u, 1u, 2u, 3u, 4u, 5u}) {
            const bool coversSomething = x < 6 && y < 5 && (x >= 0 || w > -std::int64_t(x)) &&
                                         (y >= 0 || w > -std::int64_t(y));
            if (!coversSomething) FillRect(&bm, x, y, w, w, 0xFFFFFFFF, alpha, op);
          }
  for (int y = 0; y < 5; ++y) ExpectRow(bm, y, -1, -1, 0);
  // Huge sizes from the left edge cover the whole bitmap.
  FillRect(&bm, -10, -10, INT_MAX, INT_MAX, 0x12345678, 1.0f, BlitCopy);
  for (int y = 0; y < 5; ++y) ExpectRow(bm, y, 0, 5, 0x12345678);
  EXPECT_EQ(bm.GuardDamage(), 0);

  // Flipped: row 0 is the top as the caller sees it.
  GuardedBitmap flipped(4, 4, 16, 0, true);
  FillRect(&flipped, 1, 0, 2, 1, 0xFFFFFFFF, 1.0f, BlitCopy);
  ExpectRow(flipped, 0, 1, 2, 0xFFFFFFFF);
  ExpectRow(flipped, 3, -1, -1, 0);
  EXPECT_EQ(flipped.GuardDamage(), 0);
}

TEST(FillTrapezoid, RowsAndEdges) {
  const Pixel W = 0xFFFFFFFF;
  {
    // Coinciding rows: one row, both ends inclusive; rows in either order.
    GuardedBitmap bm(10, 6);
    FillTrapezoid(&bm, 6, 2, 3, 2, 6, 3, W, 1.0f, BlitCopy);
    ExpectRow(bm, 3, 2, 6, W);
    ExpectRow(bm, 2, -1, -1, 0);
    ExpectRow(bm, 4, -1, -1, 0);
  }
  {
    // Triangle widening one pixel each side every second row.
    GuardedBitmap bm(12, 12), swapped(12, 12);
    FillTrapezoid(&bm, 5, 5, 0, 0, 10, 10, W, 1.0f, BlitCopy);
    FillTrapezoid(&swapped, 10, 0, 10, 5, 5, 0, W, 1.0f, BlitCopy);
    for (int y = 0; y <= 10; ++y) {
      ExpectRow(bm, y, 5 - y / 2, 5 + y / 2, W);
      ExpectRow(swapped, y, 5 - y / 2, 5 + y / 2, W);
    }
    ExpectRow(bm, 11, -1, -1, 0);
    EXPECT_EQ(bm.GuardDamage(), 0);
  }
  {
    // Starting above the bitmap: edges already advanced at row 0.
    GuardedBitmap bm(12, 12);
    FillTrapezoid(&bm, 5, 5, -4, 0, 10, 6, W, 1.0f, BlitCopy);
    for (int y = 0; y <= 6; ++y) ExpectRow(bm, y, 5 - (y + 4) / 2, 5 + (y + 4) / 2, W);
    ExpectRow(bm, 7, -1, -1, 0);
  }
  {
    // Extreme coordinates: both edges pinned, whole bitmap filled.
    GuardedBitmap bm(7, 5);
    FillTrapezoid(&bm, INT_MIN, INT_MAX, INT_MIN, INT_MIN, INT_MAX, INT_MAX, W, 1.0f, BlitCopy);
    for (int y = 0; y < 5; ++y) ExpectRow(bm, y, 0, 6, W);
    EXPECT_EQ(bm.GuardDamage(), 0);
    // A steep edge far outside clamps its step and stays clipped.
    Paint(bm, 0);
    FillTrapezoid(&bm, INT_MIN, 3, 0, INT_MAX, INT_MAX, 1, W, 1.0f, BlitAdd);
    FillTrapezoid(&bm, 2, 2, INT_MAX, 3, 3, INT_MAX, W, 1.0f, BlitCopy);
    FillTrapezoid(&bm, 2, 2, INT_MIN, 3, 3, -1, W, 1.0f, BlitCopy);
    FillTrapezoid(&bm, -5, -1, 0, -9, -2, 4, W, 1.0f, BlitCopy);
    FillTrapezoid(&bm, 7, 9, 0, 8, 100, 4, W, 1.0f, BlitCopy);
    for (int y = 2; y < 5; ++y) ExpectRow(bm, y, -1, -1, 0);
    EXPECT_EQ(bm.GuardDamage(), 0);
  }
  {
    // Half weight in copy mode uses the word-halving path; other weights
    // blend towards the colour including its alpha.
    GuardedBitmap bm(3, 2);
    Paint(bm, 0x80808080);
    FillTrapezoid(&bm, 0, 2, 0, 0, 2, 0, 0xFF000000, 0.5f, BlitCopy);
    FillTrapezoid(&bm, 0, 2, 1, 0, 2, 1, 0xFF000000, 0.3f, BlitCopy);
    ExpectRow(bm, 0, 0, 2, 0xBF404040);
    ExpectRow(bm, 1, 0, 2, 0xA65A5A5A);
  }
}

TEST(FillConvexQuad, Shapes) {
  const Pixel W = 0xFFFFFFFF;
  {
    GuardedBitmap bm(12, 8);
    const int xs[] = {5, 1, 9, 3}, ys[] = {4, 4, 4, 4};
    FillConvexQuad(&bm, xs, ys, W, 1.0f, BlitCopy);
    ExpectRow(bm, 4, 1, 9, W);
    ExpectRow(bm, 3, -1, -1, 0);
    ExpectRow(bm, 5, -1, -1, 0);
  }
  {
    GuardedBitmap bm(8, 6);
    const int xs[] = {6, 1, 1, 6}, ys[] = {4, 1, 4, 1};
    FillConvexQuad(&bm, xs, ys, W, 1.0f, BlitCopy);
    ExpectRow(bm, 0, -1, -1, 0);
    for (int y = 1; y <= 4; ++y) ExpectRow(bm, y, 1, 6, W);
    ExpectRow(bm, 5, -1, -1, 0);
  }
  {
    // Diamond: |x - 5| + |y - 4| <= 4, drawn in two bands.
    GuardedBitmap bm(11, 10);
    const int xs[] = {5, 9, 5, 1}, ys[] = {0, 4, 8, 4};
    FillConvexQuad(&bm, xs, ys, W, 1.0f, BlitCopy);
    for (int y = 0; y <= 8; ++y)
      ExpectRow(bm, y, 5 - (4 - std::abs(y - 4)), 5 + (4 - std::abs(y - 4)), W);
    ExpectRow(bm, 9, -1, -1, 0);
    EXPECT_EQ(bm.GuardDamage(), 0);
  }
  {
    // Flipped bitmap: corners are turned upside down first.
    GuardedBitmap bm(6, 6, 16, 0, true);
    const int xs[] = {1, 4, 4, 1}, ys[] = {0, 0, 1, 1};
    FillConvexQuad(&bm, xs, ys, W, 1.0f, BlitCopy);
    ExpectRow(bm, 0, 1, 4, W);
    ExpectRow(bm, 1, 1, 4, W);
    ExpectRow(bm, 2, -1, -1, 0);
    EXPECT_EQ(bm.GuardDamage(), 0);
  }
  {
    // The edge x at a band's bottom row comes from the float slope even
    // there: 13/11 as a float times 11 truncates to 12, not 13, and the
    // trapezoid from x 0 to x 12 over 11 rows steps its left edge to 11.
    GuardedBitmap bm(40, 14);
    const int xs[] = {0, 30, 30, 13}, ys[] = {0, 0, 11, 11};
    FillConvexQuad(&bm, xs, ys, W, 1.0f, BlitCopy);
    ExpectRow(bm, 0, 0, 30, W);
    ExpectRow(bm, 11, 11, 30, W);
    ExpectRow(bm, 12, -1, -1, 0);
    EXPECT_EQ(bm.GuardDamage(), 0);
  }
  {
    // Corners at the limits of int, and a non-convex (bow-tie) order.
    GuardedBitmap bm(6, 6);
    const int xs[] = {INT_MIN, INT_MAX, INT_MAX, INT_MIN},
              ys[] = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    FillConvexQuad(&bm, xs, ys, W, 1.0f, BlitCopy);
    for (int y = 0; y < 6; ++y) ExpectRow(bm, y, 0, 5, W);
    const int bx[] = {0, 5, 0, 5}, by[] = {0, 5, 5, 0};
    FillConvexQuad(&bm, bx, by, 0x10101010, 1.0f, BlitAdd);
    EXPECT_EQ(bm.GuardDamage(), 0);
  }
}

TEST(LineAA, PairWeights) {
  const Pixel W = 0xFFFFFFFF;
  {
    GuardedBitmap bm(10, 8);
    LineAA(&bm, 0.0f, 2.0f, 8.0f, 2.0f, W, 1.0f, BlitAdd);
    for (int x = 0; x <= 8; ++x) {
      EXPECT_EQ(bm.At(x, 2), 0xFEFEFEFEu) << x;  // weight 255
      EXPECT_EQ(bm.At(x, 3), 0u) << x;           // weight 0
    }
    EXPECT_EQ(bm.At(9, 2), 0u);
  }
  {
    // Copy: row 2 weight 127, row 3 weight 128.
    GuardedBitmap bm(10, 8);
    LineAA(&bm, 0.0f, 2.5f, 8.0f, 2.5f, W, 1.0f, BlitCopy);
    for (int x = 0; x <= 8; ++x) {
      EXPECT_EQ(bm.At(x, 2), 0x7F7F7F7Fu) << x;
      EXPECT_EQ(bm.At(x, 3), 0x80808080u) << x;
    }
    EXPECT_EQ(bm.At(4, 1), 0u);
    EXPECT_EQ(bm.At(4, 4), 0u);
  }
  {
    // Half weight scales both: (127 * 128) >> 8 = 63, (128 * 128) >> 8 = 64.
    GuardedBitmap bm(10, 8);
    LineAA(&bm, 0.0f, 2.5f, 8.0f, 2.5f, W, 0.5f, BlitAdd);
    EXPECT_EQ(Blue(bm.At(3, 2)), 255 * 63 / 256);
    EXPECT_EQ(Blue(bm.At(3, 3)), 255 * 64 / 256);
  }
  {
    // Falling line: the pair starts one row further down.
    GuardedBitmap bm(10, 8);
    LineAA(&bm, 0.0f, 3.25f, 4.0f, 2.25f, W, 1.0f, BlitAdd);
    EXPECT_EQ(Blue(bm.At(0, 3)), 255 * 191 / 256);
    EXPECT_EQ(Blue(bm.At(0, 4)), 255 * 64 / 256);
    EXPECT_EQ(bm.At(0, 2), 0u);
    EXPECT_EQ(bm.GuardDamage(), 0);
  }
  {
    // Steep line: pairs are columns.
    GuardedBitmap bm(8, 10);
    LineAA(&bm, 3.5f, 1.0f, 3.5f, 7.0f, W, 1.0f, BlitCopy);
    for (int y = 1; y <= 7; ++y) {
      EXPECT_EQ(bm.At(3, y), 0x7F7F7F7Fu) << y;
      EXPECT_EQ(bm.At(4, y), 0x80808080u) << y;
    }
    EXPECT_EQ(bm.At(3, 0), 0u);
    EXPECT_EQ(bm.At(3, 8), 0u);
  }
}

TEST(LineAA, ClippingAndDegenerateLines) {
  const Pixel W = 0xFFFFFFFF;
  GuardedBitmap bm(10, 8);
  LineAA(&bm, 0.5f, 0.5f, 0.5f, 0.5f, W, 1.0f, BlitCopy);
  // A line ending on the last column stops one column before it.
  LineAA(&bm, 0.0f, 2.0f, 9.0f, 2.0f, W, 1.0f, BlitCopy);
  EXPECT_EQ(bm.At(8, 2), W);
  EXPECT_EQ(bm.At(9, 2), 0u);
  EXPECT_EQ(bm.At(0, 0), 0u);

  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float coords[] = {-1e30f, -5.0f, 0.0f, 7.0f, 9.0f, 1e30f, inf, -inf, nan};
  for (float a : coords)
    for (float b : coords)
      for (BlitMode op : {0u, 1u, 5u}) {
        LineAA(&bm, a, b, b, a, W, 1.0f, op);
        LineAA(&bm, a, 3.0f, b, 4.0f, W, 0.7f, op);
        LineAA(&bm, 2.0f, a, 5.0f, b, W, 0.7f, op);
      }
  EXPECT_EQ(bm.GuardDamage(), 0);

  float x1 = -10.0f, y1 = 3.0f, x2 = 20.0f, y2 = 3.0f;
  ASSERT_TRUE(ClipLineF(x1, y1, x2, y2, 10, 8));
  EXPECT_EQ(x1, 0.0f);
  EXPECT_EQ(x2, 8.0f);
  x1 = -10.0f, y1 = -1.0f, x2 = 20.0f, y2 = -1.0f;
  EXPECT_FALSE(ClipLineF(x1, y1, x2, y2, 10, 8));
  x1 = 3.0f, y1 = 7.0f, x2 = 3.0f, y2 = 1.0f;
  ASSERT_TRUE(ClipLineF(x1, y1, x2, y2, 10, 8));
  EXPECT_EQ(y1, 6.0f);
  EXPECT_EQ(y2, 1.0f);
}

TEST(ThickLineAA, ParallelLines) {
  const Pixel W = 0xFFFFFFFF;
  {
    GuardedBitmap bm(10, 10);
    ThickLineAA(&bm, 4.0f, 4.0f, 4.0f, 4.0f, 5.0f, W, 1.0f, BlitCopy);
    for (int y = 0; y < 10; ++y) ExpectRow(bm, y, -1, -1, 0);
  }
  {
    // Thickness 3: offsets -1, 0, +1 along the normal.
    GuardedBitmap bm(10, 10);
    ThickLineAA(&bm, 1.0f, 5.0f, 8.0f, 5.0f, 3.0f, W, 1.0f, BlitAdd);
    for (int y : {4, 5, 6}) EXPECT_GE(Blue(bm.At(4, y)), 250) << y;
    EXPECT_LE(Blue(bm.At(4, 3)), 4);
    EXPECT_LE(Blue(bm.At(4, 7)), 4);
    EXPECT_EQ(bm.At(0, 5), 0u);
    EXPECT_EQ(bm.At(9, 5), 0u);
  }
  {
    // Thickness 2: two lines at -0.5 and +0.5, each split over two rows.
    GuardedBitmap bm(10, 10);
    ThickLineAA(&bm, 1.0f, 5.0f, 8.0f, 5.0f, 2.0f, W, 1.0f, BlitAdd);
    EXPECT_NEAR(Blue(bm.At(4, 4)), 127, 2);
    EXPECT_NEAR(Blue(bm.At(4, 5)), 253, 2);
    EXPECT_NEAR(Blue(bm.At(4, 6)), 127, 2);
    EXPECT_EQ(bm.At(4, 3), 0u);
    EXPECT_EQ(bm.At(4, 7), 0u);
  }
  {
    // Diagonal: the square-root-free length keeps the lines one pixel apart.
    GuardedBitmap a(20, 20), b(20, 20);
    ThickLineAA(&a, 2.0f, 2.0f, 15.0f, 15.0f, 3.0f, W, 1.0f, BlitAdd);
    const float off = 1.0f / std::sqrt(2.0f);
    for (float m : {-1.0f, 0.0f, 1.0f})
      LineAA(&b, 2.0f + m * off, 2.0f - m * off, 15.0f + m * off, 15.0f - m * off, W, 1.0f,
             BlitAdd);
    // Away from the ends, where rounding of the end points may add or
    // drop a pixel.
    for (int y = 4; y < 14; ++y)
      for (int x = 0; x < 20; ++x)
        EXPECT_NEAR(Blue(a.At(x, y)), Blue(b.At(x, y)), 3) << x << "," << y;
    // Thickness below 1 draws nothing; a huge one stays bounded.
    GuardedBitmap c(8, 8);
    ThickLineAA(&c, 1.0f, 1.0f, 6.0f, 6.0f, 0.5f, W, 1.0f, BlitCopy);
    EXPECT_EQ(c.At(3, 3), 0u);
    ThickLineAA(&c, 1.0f, 1.0f, 6.0f, 6.0f, 1e12f, W, 1.0f, BlitCopy);
    EXPECT_EQ(c.GuardDamage(), 0);
  }
}
