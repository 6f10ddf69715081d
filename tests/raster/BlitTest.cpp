#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "TestBitmaps.h"
#include "raster/Blit.h"
#include "raster/Blur.h"
#include "raster/MemBitmap.h"
#include "raster/PixelBlend.h"

using raster::Blit;
using raster::BlitRect;
using raster::Blur;
using raster::MemBitmap;
using rastertest::GuardedBitmap;

namespace {

// One-pixel blit of s onto d; returns the new destination pixel.
Pixel BlitOne(Pixel d, Pixel s, float alpha, BlitMode mode) {
  GuardedBitmap dst(1, 1, 4), src(1, 1, 4);
  dst.At(0, 0) = d;
  src.At(0, 0) = s;
  Blit(&dst, &src, 0, 0, nullptr, alpha, mode);
  EXPECT_EQ(dst.GuardDamage(), 0);
  return dst.At(0, 0);
}

// w x h bitmap whose pixel (x, y) is 0xFF000000 | y << 8 | x.
void Number(GuardedBitmap& bm) {
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x) bm.At(x, y) = 0xFF000000u | Pixel(y) << 8 | Pixel(x);
}

}  // namespace

TEST(Blit, PlainCopyFormulas) {
  EXPECT_EQ(BlitOne(0x12345678, 0x9ABCDEF0, 0.0f, BlitCopy), 0x12345678u);
  EXPECT_EQ(BlitOne(0x12345678, 0x9ABCDEF0, 1.0f, BlitCopy), 0x9ABCDEF0u);
  // Alpha 0.5: each byte floor(d/2) + floor(s/2).
  EXPECT_EQ(BlitOne(0x80FF0103, 0x7F020305, 0.5f, BlitCopy), 0x7F800103u);
  EXPECT_EQ(BlitOne(0xFFFFFFFF, 0xFFFFFFFF, 0.5f, BlitCopy), 0xFEFEFEFEu);
  // General weight 0.25 (w = 64): d = s + (d - s) * 192 / 256, truncating.
  EXPECT_EQ(BlitOne(0x00FF0000, 0xFF00FF00, 0.25f, BlitCopy), 0x40BF4000u);
  // A weight that truncates to 0 draws nothing.
  EXPECT_EQ(BlitOne(0x11223344, 0xFFFFFFFF, 0.003f, BlitCopy), 0x11223344u);
}

TEST(Blit, SourceAlphaCopy) {
  const BlitMode mode = BlitCopy | BlitUseSourceAlpha;
  EXPECT_EQ(BlitOne(0x32FF00FF, 0x00FFFFFF, 1.0f, mode), 0x32FF00FFu);
  EXPECT_EQ(BlitOne(0x32FF00FF, 0xFF102030, 1.0f, mode), 0xFF102030u);
  // sa 128: colour s + (d - s) * 127 / 256, alpha min(255, 128 + da).
  EXPECT_EQ(BlitOne(0x320064FF, 0x80C86400, 1.0f, mode), 0xB265647Eu);
  EXPECT_EQ(BlitOne(0xF0000000, 0x80FFFFFF, 1.0f, mode), 0xFF818181u);
  // Below full weight: n = w * (sa + 1) / 256 = 128 * 256 / 256 = 128.
  EXPECT_EQ(BlitOne(0x10000000, 0xFFC80000, 0.5f, mode), 0x90640000u);
  // n = 64 * 129 / 256 = 32 with w = 64, sa = 128.
  EXPECT_EQ(BlitOne(0x00000000, 0x80FF0000, 0.25f, mode), 0x20200000u);
}

TEST(Blit, AddDodgeMultiply) {
  // Add saturates, alpha included.
  EXPECT_EQ(BlitOne(0x10F0F0F0, 0x20202020, 1.0f, BlitAdd), 0x30FFFFFFu);
  EXPECT_EQ(BlitOne(0x10F00000, 0x20202020, 0.75f, BlitAdd), 0x28FF1818u);
  // Add with source alpha: transparent source pixels are skipped, others use n.
  EXPECT_EQ(BlitOne(0x10101010, 0x00FFFFFF, 1.0f, BlitAdd | BlitUseSourceAlpha), 0x10101010u);
  EXPECT_EQ(BlitOne(0x10101010, 0x7FFFFFFF, 1.0f, BlitAdd | BlitUseSourceAlpha), 0x4F8F8F8Fu);

  // Dodge: s * w / 256 >= 255 turns every non-zero channel to 255.
  EXPECT_EQ(BlitOne(0x01C80000, 0xFFFFFFFF, 1.0f, BlitDodge), 0xFFFF0000u);
  // k = 128: d * 256 / 128, clamped.
  EXPECT_EQ(BlitOne(0x6464C864, 0x80808080, 1.0f, BlitDodge), 0xC8C8FFC8u);
  // With source alpha: n = 256 * 129 / 256 = 129, so k = 128 for s = 255.
  EXPECT_EQ(BlitOne(0x64646464, 0x80FFFFFF, 1.0f, BlitDodge | BlitUseSourceAlpha), 0x85C8C8C8u);

  // Multiply at full weight is s * d / 256 (truncated); 255 * 255 gives 254.
  EXPECT_EQ(BlitOne(0xFFC864FF, 0xFF8080FF, 1.0f, BlitMultiply), 0xFE6432FEu);
  // Half weight: ((128 * (s - 256) + 65536) * d) >> 16.
  EXPECT_EQ(BlitOne(0xC8C8C8C8, 0x00000000, 0.5f, BlitMultiply | 0x100), 0x64646464u);
  EXPECT_EQ(BlitOne(0xC8C8C8C8, 0x00000000, 1.0f, BlitMultiply | BlitUseSourceAlpha), 0xC8C8C8C8u);
}

TEST(Blit, OverlayAndHSVAdjust) {
  // Overlay with s = 128 at full weight is neutral.
  EXPECT_EQ(BlitOne(0x12345678, 0x80808080, 1.0f, BlitOverlay), 0x12345678u);
  EXPECT_EQ(BlitOne(0x64C80064, 0xFF40FFFF, 1.0f, BlitOverlay), 0xA0B200A0u);
  EXPECT_EQ(BlitOne(0xFF0064FF, 0x00FF8282, 1.0f, BlitOverlay), 0xFE0064FFu);

  // Neutral source keeps a pure red; alpha becomes the source alpha.
  EXPECT_EQ(BlitOne(0xFFFF0000, 0x80808080, 1.0f, BlitHSVAdjust), 0x80FF0000u);
  // Source red 255 turns the hue by 190 of 384 steps.
  EXPECT_EQ(BlitOne(0x00FF0000, 0xFFFF8080, 1.0f, BlitHSVAdjust), 0xFF00FFF7u);
  EXPECT_EQ(BlitOne(0x00C86432, 0x1180C864, 1.0f, BlitHSVAdjust), 0x11902F00u);
  EXPECT_EQ(BlitOne(0x00C86432, 0x1180C864, 0.5f, BlitHSVAdjust), 0x11AC3800u);
  // Grey (all channels equal), hue pushed below zero and wrapped.
  EXPECT_EQ(BlitOne(0x005A5A5A, 0x2200FFFF, 1.0f, BlitHSVAdjust), 0x22FFFF01u);
  // Red maximum with green below blue (hue base 383).
  EXPECT_EQ(BlitOne(0x00C83264, 0x33A08080, 1.0f, BlitHSVAdjust), 0x33C86F32u);
}

TEST(Blit, ChannelCopyAndUnknownOperations) {
  // Red (byte 2) into alpha (byte 3); the weight plays no part.
  EXPECT_EQ(BlitOne(0x11223344, 0x99AABBCC, 0.3f, raster::ChannelCopyMode(2, 3)), 0xAA223344u);
  EXPECT_EQ(
      BlitOne(0x11223344, 0x99AABBCC, 1.0f, raster::ChannelCopyMode(0, 1) | BlitUseSourceAlpha),
      0x1122CC44u);
  EXPECT_EQ(BlitOne(0x11223344, 0x99AABBCC, 0.0f, raster::ChannelCopyMode(2, 3)), 0x11223344u);
  for (BlitMode op : {6u, 100u, 239u})
    for (BlitMode flag : {0u, BlitUseSourceAlpha})
      EXPECT_EQ(BlitOne(0x11223344, 0x99AABBCC, 0.7f, op | flag), 0x11223344u) << op;
  // Bits outside the operation byte and the flag are ignored.
  EXPECT_EQ(BlitOne(0x12345678, 0x9ABCDEF0, 1.0f, 0xFF000000u), 0x9ABCDEF0u);
}

TEST(Blit, Clipping) {
  GuardedBitmap src(4, 4);
  Number(src);

  {
    // A negative source left edge shifts the drawing right.
    GuardedBitmap dst(8, 8);
    const BlitRect rect{-2, 0, 4, 4};
    Blit(&dst, &src, 0, 0, &rect, 1.0f, BlitCopy);
    EXPECT_EQ(dst.At(0, 0), 0u);
    EXPECT_EQ(dst.At(1, 0), 0u);
    EXPECT_EQ(dst.At(2, 0), src.At(0, 0));
    EXPECT_EQ(dst.At(5, 3), src.At(3, 3));
    EXPECT_EQ(dst.At(6, 0), 0u);
    EXPECT_EQ(dst.GuardDamage(), 0);
  }
  {
    // A destination left of and above the bitmap skips the hidden part.
    GuardedBitmap dst(8, 8);
    Blit(&dst, &src, -1, -2, nullptr, 1.0f, BlitCopy);
    EXPECT_EQ(dst.At(0, 0), src.At(1, 2));
    EXPECT_EQ(dst.At(2, 1), src.At(3, 3));
    EXPECT_EQ(dst.At(3, 0), 0u);
    EXPECT_EQ(dst.At(0, 2), 0u);
  }
  {
    // Right and bottom of the rectangle are limited to the source, the
    // copy to the destination.
    GuardedBitmap dst(3, 3);
    const BlitRect rect{1, 1, 100, 100};
    Blit(&dst, &src, 1, 1, &rect, 1.0f, BlitCopy);
    EXPECT_EQ(dst.At(1, 1), src.At(1, 1));
    EXPECT_EQ(dst.At(2, 2), src.At(2, 2));
    EXPECT_EQ(dst.At(0, 0), 0u);
    EXPECT_EQ(dst.GuardDamage(), 0);
  }
  {
    // Flipped bitmaps on either side keep row 0 at the top.
    GuardedBitmap flippedSrc(4, 4, 16, 0, true), flippedDst(4, 4, 16, 3, true);
    Number(flippedSrc);
    Blit(&flippedDst, &flippedSrc, 1, 0, nullptr, 1.0f, BlitCopy);
    EXPECT_EQ(flippedDst.At(1, 0), src.At(0, 0));
    EXPECT_EQ(flippedDst.At(3, 3), src.At(2, 3));
    EXPECT_EQ(flippedDst.GuardDamage(), 0);
  }

  // Far outside, every operation: nothing changes.
  const BlitRect rects[] = {{INT_MIN, INT_MIN, INT_MAX, INT_MAX},
                            {INT_MAX, 0, INT_MAX, 4},
                            {0, 0, INT_MIN, 4},
                            {-100, -100, -50, -50},
                            {2, 2, 2, 4}};
  const int positions[][2] = {{8, 0},  {0, 8},  {INT_MAX, 0},      {INT_MIN, INT_MIN},
                              {-4, 0}, {0, -4}, {INT_MAX, INT_MAX}};
  for (BlitMode op : {0u, 1u, 2u, 3u, 4u, 5u, 0xF2u})
    for (BlitMode flag : {0u, BlitUseSourceAlpha})
      for (float alpha : {1.0f, 0.5f, 0.3f}) {
        GuardedBitmap dst(8, 8);
        for (auto& p : positions) Blit(&dst, &src, p[0], p[1], nullptr, alpha, op | flag);
        // A rectangle starting at INT_MIN shifts the drawing 2^31 right.
        for (auto& r : rects)
          for (int p : {0, -3, 5, INT_MAX}) Blit(&dst, &src, p, 0, &r, alpha, op | flag);
        for (int y = 0; y < 8; ++y)
          for (int x = 0; x < 8; ++x) ASSERT_EQ(dst.At(x, y), 0u) << op << " " << x << "," << y;
        EXPECT_EQ(dst.GuardDamage(), 0);
      }

  // Missing bitmaps or storage: nothing happens.
  MemBitmap empty;
  GuardedBitmap dst(4, 4);
  Blit(&dst, &empty, 0, 0, nullptr, 1.0f, BlitCopy);
  Blit(&empty, &src, 0, 0, nullptr, 1.0f, BlitCopy);
  Blit(nullptr, &src, 0, 0, nullptr, 1.0f, BlitCopy);
  Blit(&dst, nullptr, 0, 0, nullptr, 1.0f, BlitCopy);
  EXPECT_EQ(dst.At(0, 0), 0u);
}

TEST(Blur, SingleBrightPixel) {
  GuardedBitmap src(5, 5), dst(5, 5);
  src.At(2, 2) = 0xFFFFFFFF;
  Blur(&dst, &src, 5, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      Pixel expected = 0;
      if (x == 2 && y == 2)
        expected = 0x7F7F7F7F;
      else if ((x == 2 && (y == 1 || y == 3)) || (y == 2 && (x == 1 || x == 3)))
        expected = 0x1F1F1F1F;
      EXPECT_EQ(dst.At(x, y), expected) << x << "," << y;
    }
  EXPECT_EQ(dst.GuardDamage(), 0);

  // Edges: the first row's vertical term and the row ends count a quarter.
  GuardedBitmap edge(4, 3);
  edge.At(1, 0) = 0xFFFFFFFF;
  Blur(&edge, &edge, 4, 3);
  EXPECT_EQ(edge.At(0, 0), 0x3F3F3F3Fu);
  EXPECT_EQ(edge.At(1, 0), 0x7F7F7F7Fu);
  EXPECT_EQ(edge.At(2, 0), 0x1F1F1F1Fu);
  EXPECT_EQ(edge.At(1, 1), 0x1F1F1F1Fu);
  EXPECT_EQ(edge.At(1, 2), 0u);
  EXPECT_EQ(edge.At(3, 0), 0u);

  // Region limited by both bitmaps; too small a region does nothing.
  GuardedBitmap small(3, 2);
  Blur(&small, &src, 100, 100);
  EXPECT_EQ(small.GuardDamage(), 0);
  GuardedBitmap thin(1, 5);
  thin.At(0, 2) = 0xFFFFFFFF;
  Blur(&thin, &thin, 1, 5);
  EXPECT_EQ(thin.At(0, 2), 0xFFFFFFFFu);
}

TEST(Blur, InPlaceMatchesSeparate) {
  std::mt19937 rng(7);
  // Narrow rows use stack buffers, wide ones (over 1024) heap buffers.
  for (int width : {7, 1500})
    for (bool flipped : {false, true}) {
      GuardedBitmap a(width, 9, 8, 2, flipped), copy(width, 9, 8, 2, flipped),
          out(width, 9, 8, 0, flipped);
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < width; ++x) a.At(x, y) = copy.At(x, y) = Pixel(rng());
      Blur(&out, &copy, width, 9);
      Blur(&a, &a, width, 9);
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < width; ++x)
          ASSERT_EQ(a.At(x, y), out.At(x, y)) << width << " " << x << "," << y;
      EXPECT_EQ(a.GuardDamage(), 0);
      EXPECT_EQ(out.GuardDamage(), 0);
    }
}

TEST(Blit, WholeRowCopyLeavesColumnsOutsideTheArea) {
  // Equal layouts take the single-copy path only for full rows; a narrower
  // area must still leave the other columns of every row alone.
  MemBitmap src, dst;
  ASSERT_TRUE(src.Resize(37, 9));
  ASSERT_TRUE(dst.Resize(37, 9));
  ASSERT_EQ(src.GetRowSpan(), dst.GetRowSpan());
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 37; ++x) {
      src.GetBits()[y * src.GetRowSpan() + x] = 0xFF000000u | Pixel(y) << 8 | Pixel(x);
      dst.GetBits()[y * dst.GetRowSpan() + x] = 0x11111111u;
    }
  Blit(&dst, &src, 1, 0, nullptr, 1.0f, BlitCopy);
  for (int y = 0; y < 9; ++y) {
    EXPECT_EQ(dst.GetBits()[y * dst.GetRowSpan()], 0x11111111u);
    for (int x = 1; x < 37; ++x)
      ASSERT_EQ(dst.GetBits()[y * dst.GetRowSpan() + x],
                src.GetBits()[y * src.GetRowSpan() + x - 1]);
  }
  Blit(&dst, &src, 0, 0, nullptr, 1.0f, BlitCopy);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 37; ++x)
      ASSERT_EQ(dst.GetBits()[y * dst.GetRowSpan() + x], src.GetBits()[y * src.GetRowSpan() + x]);

  // Views into larger images, laid out alike: what lies between their rows
  // belongs to the larger image and stays as it was.
  GuardedBitmap viewSrc(8, 6, 16, 3), viewDst(8, 6, 16, 3);
  Number(viewSrc);
  Blit(&viewDst, &viewSrc, 0, 0, nullptr, 1.0f, BlitCopy);
  EXPECT_EQ(viewDst.GuardDamage(), 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(viewDst.At(x, y), viewSrc.At(x, y));
}
