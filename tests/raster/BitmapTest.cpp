#include <climits>
#include <cstdint>

#include <gtest/gtest.h>

#include "raster/Blit.h"
#include "raster/Blur.h"
#include "raster/Fill.h"
#include "raster/MemBitmap.h"
#include "raster/SysBitmap.h"

using raster::MemBitmap;
using raster::SysBitmap;

namespace {

bool Aligned64(const void* p) { return (reinterpret_cast<std::uintptr_t>(p) & 63) == 0; }

}  // namespace

TEST(MemBitmap, GeometryAndAlignment) {
  MemBitmap empty;
  EXPECT_EQ(empty.GetBits(), nullptr);
  EXPECT_EQ(empty.GetWidth(), 0);
  EXPECT_EQ(empty.GetRowSpan(), 0);

  for (int w : {1, 3, 4, 5, 7, 689}) {
    MemBitmap bm(w, 3);
    ASSERT_NE(bm.GetBits(), nullptr);
    EXPECT_TRUE(Aligned64(bm.GetBits()));
    EXPECT_EQ(bm.GetRowSpan(), (w + 3) & ~3);
    EXPECT_EQ(bm.GetCapacity(), bm.GetRowSpan() * 3 * 4);
    // Every pixel of the padded rows is writable (ASan checks this).
    for (int i = 0; i < bm.GetRowSpan() * 3; ++i) bm.GetBits()[i] = 0xFFFFFFFFu;
    EXPECT_FALSE(bm.IsFlipped());
    EXPECT_EQ(bm.GetDC(), nullptr);
    EXPECT_EQ(bm.Extension(0x59555678, nullptr), 0);
  }

  for (auto [w, h] :
       {std::pair{0, 5}, {5, 0}, {-1, 5}, {5, -7}, {INT_MAX, INT_MAX}, {INT_MAX, 1}}) {
    MemBitmap bm(w, h);
    EXPECT_EQ(bm.GetBits(), nullptr) << w << "x" << h;
    EXPECT_EQ(bm.GetWidth(), 0);
    EXPECT_EQ(bm.GetHeight(), 0);
  }
}

TEST(MemBitmap, ResizeRule) {
  MemBitmap bm(4, 4);
  EXPECT_EQ(bm.GetCapacity(), 64);
  EXPECT_FALSE(bm.Resize(4, 4));

  // Growing reserves a quarter more than needed.
  EXPECT_TRUE(bm.Resize(8, 4));
  EXPECT_EQ(bm.GetCapacity(), 160);
  EXPECT_EQ(bm.GetRowSpan(), 8);
  EXPECT_TRUE(Aligned64(bm.GetBits()));

  // Within capacity: same block kept.
  Pixel* before = bm.GetBits();
  EXPECT_TRUE(bm.Resize(4, 10));
  EXPECT_EQ(bm.GetCapacity(), 160);
  EXPECT_EQ(bm.GetBits(), before);
  EXPECT_EQ(bm.GetWidth(), 4);
  EXPECT_EQ(bm.GetHeight(), 10);

  // Empty size frees; 1x1 afterwards has a span of 4.
  EXPECT_TRUE(bm.Resize(0, 0));
  EXPECT_EQ(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetCapacity(), 0);
  EXPECT_TRUE(bm.Resize(1, 1));
  ASSERT_NE(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetRowSpan(), 4);
  EXPECT_EQ(bm.GetCapacity(), 16);

  // A size whose storage cannot be represented ends empty, not corrupt.
  EXPECT_TRUE(bm.Resize(INT_MAX, 2));
  EXPECT_EQ(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetWidth(), 0);
  EXPECT_TRUE(bm.Resize(-3, 2));
  EXPECT_EQ(bm.GetWidth(), 0);
  EXPECT_EQ(bm.GetHeight(), 0);
}

TEST(SysBitmap, KeepsStorageWhenShrinking) {
  SysBitmap bm(10, 6);
  ASSERT_NE(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetWidth(), 10);
  EXPECT_EQ(bm.GetHeight(), 6);
  EXPECT_EQ(bm.GetRowSpan(), 12);
  for (int i = 0; i < 12 * 6; ++i) bm.GetBits()[i] = Pixel(i);
  EXPECT_FALSE(bm.Resize(10, 6));

  Pixel* bits = bm.GetBits();
  EXPECT_TRUE(bm.Resize(3, 2));
  EXPECT_EQ(bm.GetBits(), bits);
  EXPECT_EQ(bm.GetRowSpan(), 12);
  EXPECT_EQ(bm.GetWidth(), 3);

  EXPECT_TRUE(bm.Resize(21, 7));
  ASSERT_NE(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetRowSpan(), 24);
  EXPECT_EQ(bm.GetRowSpan() % 4, 0);
  for (int i = 0; i < 24 * 7; ++i) bm.GetBits()[i] = 0;

  EXPECT_FALSE(bm.Resize(0, 0));
  EXPECT_EQ(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetWidth(), 0);
  EXPECT_FALSE(bm.Resize(-4, 5));
  EXPECT_EQ(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetWidth(), -4);
  EXPECT_TRUE(bm.Resize(2, 2));
  EXPECT_NE(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetRowSpan(), 4);
  EXPECT_EQ(bm.Extension(0x59555678, nullptr), 0);

  // Storage that cannot be made leaves the bitmap empty.
  SysBitmap huge(INT_MAX, INT_MAX);
  EXPECT_EQ(huge.GetBits(), nullptr);
  EXPECT_EQ(huge.GetWidth(), 0);
  EXPECT_EQ(huge.GetHeight(), 0);
}

TEST(SysBitmap, SidesOfZeroOrLess) {
  // A side of 0 frees the storage; a negative side fits into any storage,
  // which stays. The size is the one asked for either way, and nothing
  // draws into such a bitmap.
  SysBitmap bm(10, 6);
  Pixel* bits = bm.GetBits();
  ASSERT_NE(bits, nullptr);
  for (int i = 0; i < 12 * 6; ++i) bits[i] = 0x12345678u;
  EXPECT_TRUE(bm.Resize(-4, 5));
  EXPECT_EQ(bm.GetBits(), bits);
  EXPECT_EQ(bm.GetWidth(), -4);
  EXPECT_EQ(bm.GetHeight(), 5);
  MemBitmap src(4, 4);
  raster::Clear(&bm, 0xFFFFFFFFu);
  raster::FillRect(&bm, 0, 0, 10, 6, 0xFFFFFFFFu, 1.0f, BlitCopy);
  raster::Blit(&bm, &src, 0, 0, nullptr, 1.0f, BlitCopy);
  raster::Blit(&src, &bm, 0, 0, nullptr, 1.0f, BlitCopy);
  raster::Blur(&bm, &bm, 10, 6);
  for (int i = 0; i < 12 * 6; ++i) ASSERT_EQ(bits[i], 0x12345678u) << i;

  EXPECT_FALSE(bm.Resize(0, 5));
  EXPECT_EQ(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetWidth(), 0);
  EXPECT_EQ(bm.GetHeight(), 5);
}
