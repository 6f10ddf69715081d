// Cached text: measuring, drawing, flags and UTF-8. The glyph shapes come
// from whatever sans face the system has, so the checks are invariants
// (relations between masks, layouts and pixels) rather than fixed images.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "raster/CachedFont.h"
#include "raster/MemBitmap.h"
#include "raster/PixelBlend.h"
#include "raster/TextSystem.h"

namespace {

using raster::CachedFont;
using raster::GlyphRecord;
using raster::MemBitmap;
using raster::TextRect;

constexpr Pixel kBackground = 0xFF406080u;

std::unique_ptr<CachedFont> MakeFont(std::uint32_t flags, int height = -16) {
  raster::FontRequest req;
  req.height = height;
  raster::FontHandle h = raster::CreateFontHandle(req);
  if (!h) return nullptr;
  auto f = std::make_unique<CachedFont>();
  f->SetFromFontHandle(h, flags | raster::FontOwnsHandle);
  return f;
}

void Fill(MemBitmap& b, Pixel p) {
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) b.GetBits()[y * b.GetRowSpan() + x] = p;
}

Pixel At(const MemBitmap& b, int x, int y) { return b.GetBits()[y * b.GetRowSpan() + x]; }

bool Same(const MemBitmap& a, const MemBitmap& b) {
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x)
      if (At(a, x, y) != At(b, x, y)) return false;
  return true;
}

int Changed(const MemBitmap& b, Pixel background) {
  int n = 0;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) n += At(b, x, y) != background;
  return n;
}

TextRect Measure(CachedFont& f, const char* text, std::uint32_t flags = 0, int count = -1) {
  TextRect r{10, 20, 10, 20};
  f.DrawString(nullptr, text, count < 0 ? int(std::strlen(text)) : count, &r,
               flags | raster::TextCalcRect);
  return r;
}

// Draws text into a fresh 160 x 60 bitmap at (4, 4).
std::unique_ptr<MemBitmap> Render(CachedFont& f, const char* text, int count = -1,
                                  std::uint32_t flags = 0) {
  auto b = std::make_unique<MemBitmap>(160, 60);
  Fill(*b, kBackground);
  TextRect r{4, 4, 156, 56};
  f.DrawString(b.get(), text, count < 0 ? int(std::strlen(text)) : count, &r,
               flags | raster::TextNeverNative);
  return b;
}

class Text : public ::testing::Test {
 protected:
  void SetUp() override {
    font = MakeFont(0);
    ASSERT_TRUE(font) << "no font available";
    font->SetForeColor(0xFF102030u);
    ASSERT_GT(font->GetLineHeight(), 8);
  }
  std::unique_ptr<CachedFont> font;
};

TEST_F(Text, MeasuringReportsSizeWithoutABitmap) {
  const int lh = font->GetLineHeight();
  TextRect r = Measure(*font, "Hello");
  EXPECT_EQ(r.left, 10);
  EXPECT_GT(r.right - r.left, 20);
  EXPECT_EQ(r.bottom - r.top, lh);
  // The width of a run is the pen position of its last character plus
  // that character's mask.
  const GlyphRecord* a = font->Glyph('A');
  ASSERT_TRUE(a);
  TextRect aa = Measure(*font, "AA");
  EXPECT_EQ(aa.right - aa.left, a->advance + a->width);
  // Two lines stack by the line height.
  TextRect two = Measure(*font, "ab\ncd");
  EXPECT_EQ(two.bottom - two.top, 2 * lh);
  // Without the measure flag nothing happens without a bitmap.
  TextRect none{0, 0, 0, 0};
  EXPECT_EQ(font->DrawString(nullptr, "abc", 3, &none, 0), 0);
  EXPECT_EQ(none.right, 0);
}

TEST_F(Text, EachCharacterIsRenderedOnce) {
  auto first = Render(*font, "abcab");
  EXPECT_EQ(font->RenderCount(), 3);
  auto second = Render(*font, "abcab");
  EXPECT_EQ(font->RenderCount(), 3);
  EXPECT_TRUE(Same(*first, *second));
  EXPECT_GT(Changed(*first, kBackground), 20);
}

TEST_F(Text, LineBreaksCarriageReturnsAndCounts) {
  // A line feed is a space on a single line; carriage returns never draw.
  auto lf = Render(*font, "a\nb", -1, raster::TextSingleLine);
  auto sp = Render(*font, "a b");
  EXPECT_TRUE(Same(*lf, *sp));
  auto cr = Render(*font, "a\rb");
  auto ab = Render(*font, "ab");
  EXPECT_TRUE(Same(*cr, *ab));
  // The count limits the bytes; a zero byte ends the text early.
  EXPECT_TRUE(Same(*Render(*font, "abc", 2), *ab));
  EXPECT_TRUE(Same(*Render(*font, "ab\0c", 4), *ab));
  // Multi-line text starts the second line at the left edge again.
  auto two = Render(*font, "a\na");
  auto one = Render(*font, "a");
  const int lh = font->GetLineHeight();
  for (int y = 0; y < lh && y + 4 + lh < 60; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(At(*two, x, 4 + lh + y), At(*one, x, 4 + y));
}

TEST_F(Text, Utf8Decoding) {
  // A two-byte sequence is one character, drawn like the glyph of its code.
  auto e = Render(*font, "\xC3\xA9");
  MemBitmap direct(160, 60);
  Fill(direct, kBackground);
  EXPECT_TRUE(font->DrawGlyph(&direct, 0xE9, 4, 4, {0, 0, 160, 60}));
  EXPECT_TRUE(Same(*e, direct));
  // A lone lead byte stands for itself.
  auto lone = Render(*font, "\xC3", 1);
  Fill(direct, kBackground);
  font->DrawGlyph(&direct, 0xC3, 4, 4, {0, 0, 160, 60});
  EXPECT_TRUE(Same(*lone, direct));
  // A four-byte sequence occupies one space.
  EXPECT_TRUE(Same(*Render(*font,
                           "a\xF0\x9F\x98\x80"
                           "b"),
                   *Render(*font, "a b")));
  // A three-byte sequence cut short by the count is three characters.
  const GlyphRecord* ext = font->Glyph(0x20AC);
  ASSERT_TRUE(ext);
  EXPECT_EQ(ext->code, 0x20AC);
  TextRect euro = Measure(*font, "\xE2\x82\xAC");
  EXPECT_EQ(euro.right - euro.left, std::max(ext->width, 0));
  auto cut = Render(*font, "\xE2\x82\xAC", 2);
  Fill(direct, kBackground);
  const GlyphRecord* lead = font->Glyph(0xE2);
  ASSERT_TRUE(lead);
  const int leadAdvance = lead->advance;
  font->DrawGlyph(&direct, 0xE2, 4, 4, {0, 0, 160, 60});
  font->DrawGlyph(&direct, 0x82, 4 + leadAdvance, 4, {0, 0, 160, 60});
  EXPECT_TRUE(Same(*cut, direct));
}

TEST_F(Text, ExtendedCodesAreFoundWhateverTheOrder) {
  const std::uint32_t codes[] = {0x416, 0xE9, 0x3A9, 0x100, 0x20AC, 0xC4, 0x410, 0x2022, 0x3B1};
  for (std::uint32_t c : codes) font->Glyph(c);
  const int rendered = font->RenderCount();
  for (std::uint32_t c : codes) {
    const GlyphRecord* r = font->Glyph(c);
    ASSERT_TRUE(r) << c;
    EXPECT_EQ(std::uint32_t(r->code), c);
    EXPECT_NE(r->position, 0);
  }
  EXPECT_EQ(font->RenderCount(), rendered);
}

TEST_F(Text, ClippedTextIsCutNotShifted) {
  MemBitmap whole(80, 40), clipped(80, 40);
  Fill(whole, kBackground);
  Fill(clipped, kBackground);
  ASSERT_TRUE(font->DrawGlyph(&whole, 'W', 2, 3, {0, 0, 80, 40}));
  ASSERT_TRUE(font->DrawGlyph(&clipped, 'W', 2, 3, {7, 5, 80, 40}));
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 80; ++x) {
      if (x >= 7 && y >= 5)
        ASSERT_EQ(At(clipped, x, y), At(whole, x, y)) << x << "," << y;
      else
        ASSERT_EQ(At(clipped, x, y), kBackground) << x << "," << y;
    }
  // Wholly outside the clip, or far outside the bitmap: nothing drawn.
  EXPECT_FALSE(font->DrawGlyph(&clipped, 'W', 90, 3, {0, 0, 80, 40}));
  EXPECT_FALSE(font->DrawGlyph(&clipped, 'W', -2000000000, 2000000000,
                               {-2147483647, -2147483647, 2147483647, 2147483647}));
}

TEST_F(Text, AlignmentMovesTheWholeText) {
  const char* text = "Tx";
  TextRect m = Measure(*font, text);
  const int w = m.right - m.left, h = m.bottom - m.top;
  MemBitmap left(120, 60), placed(120, 60);
  struct Case {
    std::uint32_t flags;
    int dx, dy;
  };
  const TextRect rect{10, 5, 110, 55};
  const Case cases[] = {{raster::TextCenter | raster::TextVCenter, (100 - w) / 2, (50 - h) / 2},
                        {raster::TextRight | raster::TextBottom, 100 - w, 50 - h}};
  for (const Case& c : cases) {
    Fill(left, kBackground);
    Fill(placed, kBackground);
    TextRect r1{rect.left + c.dx, rect.top + c.dy, 120, 60};
    font->DrawString(&left, text, 2, &r1, raster::TextNeverNative);
    TextRect r2 = rect;
    font->DrawString(&placed, text, 2, &r2, c.flags | raster::TextNeverNative);
    EXPECT_TRUE(Same(left, placed)) << c.flags;
    EXPECT_GT(Changed(placed, kBackground), 10);
  }
}

TEST_F(Text, RectanglesAtTheIntegerLimits) {
  // Measuring from near the limit ends the rectangle at it.
  TextRect m{INT_MAX - 3, INT_MAX - 1, 0, 0};
  font->DrawString(nullptr, "Tx", 2, &m, raster::TextCalcRect);
  EXPECT_EQ(m.right, INT_MAX);
  EXPECT_EQ(m.bottom, INT_MAX);
  // Centred in a rectangle spanning every integer: placed around 0, as the
  // arithmetic gives without wrapping.
  const TextRect size = Measure(*font, "Tx");
  const long long w = size.right - size.left, h = size.bottom - size.top;
  const long long span = (long long)INT_MAX - INT_MIN;
  const int x = int(INT_MIN + (span - w) / 2), y = int(INT_MIN + (span - h) / 2);
  MemBitmap centred(60, 30), placed(60, 30);
  Fill(centred, kBackground);
  Fill(placed, kBackground);
  TextRect all{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  font->DrawString(&centred, "Tx", 2, &all,
                   raster::TextCenter | raster::TextVCenter | raster::TextNeverNative);
  TextRect at{x, y, 60, 30};
  font->DrawString(&placed, "Tx", 2, &at, raster::TextNoClip | raster::TextNeverNative);
  EXPECT_GT(Changed(centred, kBackground), 0);
  EXPECT_TRUE(Same(centred, placed));
  // Right-aligned against the lowest edge: nothing to draw, nothing wraps.
  TextRect low{INT_MIN, 0, INT_MIN + 1, 30};
  font->DrawString(&centred, "Tx", 2, &low, raster::TextRight | raster::TextNeverNative);
}

TEST_F(Text, NothingOutsideTheRectangleChanges) {
  std::mt19937 rng(7);
  const char* texts[] = {"Quillwave",       "a\nb\r\nc",         "\xC3\xA9t\xC3\xA9",
                         "WWWWWWWWWWWWWWW", "\xF0\x9F\x98\x80x", " "};
  const BlitMode modes[] = {BlitCopy, BlitAdd, BlitDodge, BlitMultiply, BlitOverlay, BlitHSVAdjust};
  MemBitmap b(64, 48);
  for (int i = 0; i < 400; ++i) {
    Fill(b, kBackground);
    TextRect r;
    r.left = int(rng() % 120) - 40;
    r.top = int(rng() % 100) - 40;
    r.right = r.left + int(rng() % 80);
    r.bottom = r.top + int(rng() % 60);
    const TextRect rect = r;
    font->SetCombineMode(modes[rng() % 6], float(rng() % 5) / 4.0f);
    font->SetBackMode(rng() % 2 ? raster::BackOpaque : raster::BackTransparent);
    std::uint32_t flags = raster::TextNeverNative;
    if (rng() % 2) flags |= raster::TextCenter;
    if (rng() % 2) flags |= raster::TextBottom;
    font->DrawString(&b, texts[rng() % 6], -1, &r, flags);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x)
        if (x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom) {
          ASSERT_EQ(At(b, x, y), kBackground) << "case " << i << " at " << x << "," << y;
        }
  }
}

// Finds a glyph with at least one partly covered pixel.
struct Probe {
  int x = -1, y = -1, v = 0;
};
Probe PartialPixel(CachedFont& f, std::uint32_t code) {
  const GlyphRecord* r = f.Glyph(code);
  Probe p;
  if (!r || r->position <= 0) return p;
  const std::uint8_t* m = f.Mask(*r);
  for (int y = 0; y < r->height; ++y)
    for (int x = 0; x < r->width; ++x)
      if (m[y * r->width + x] > 0 && m[y * r->width + x] < 255) return {x, y, m[y * r->width + x]};
  return p;
}

TEST_F(Text, AntialiasedBlendArithmetic) {
  const Probe p = PartialPixel(*font, 'O');
  ASSERT_GE(p.x, 0) << "antialiased font without partial coverage";
  const GlyphRecord* r = font->Glyph('O');
  const std::uint8_t* m = font->Mask(*r);
  const Pixel fore = 0x00C08040u, d0 = 0x80204060u;
  font->SetForeColor(fore);
  MemBitmap b(r->width, r->height);
  auto draw = [&](BlitMode mode, float alpha) {
    Fill(b, d0);
    font->SetCombineMode(mode, alpha);
    font->DrawGlyph(&b, 'O', 0, 0, {0, 0, b.GetWidth(), b.GetHeight()});
  };
  auto channel = [](Pixel px, int shift) { return int((px >> shift) & 255); };

  draw(BlitCopy, 1.0f);
  for (int y = 0; y < r->height; ++y)
    for (int x = 0; x < r->width; ++x) {
      const int v = m[y * r->width + x];
      if (v == 0) {
        ASSERT_EQ(At(b, x, y), d0);
        continue;
      }
      for (int s : {0, 8, 16})
        ASSERT_EQ(channel(At(b, x, y), s),
                  channel(fore, s) + (channel(d0, s) - channel(fore, s)) * (255 - v) / 256);
      ASSERT_EQ(channel(At(b, x, y), 24), 255 + (channel(d0, 24) - 255) * (255 - v) / 256);
    }

  draw(BlitCopy, 0.5f);
  const int k = 128, g = 256 - k * p.v / 256;
  const Pixel half = At(b, p.x, p.y);
  for (int s : {0, 8, 16})
    EXPECT_EQ(channel(half, s), channel(fore, s) + (channel(d0, s) - channel(fore, s)) * g / 256);
  EXPECT_EQ(channel(half, 24), 255 + (channel(d0, 24) - 255) * g / 256);

  draw(BlitAdd, 1.0f);
  const Pixel added = At(b, p.x, p.y);
  for (int s : {0, 8, 16})
    EXPECT_EQ(channel(added, s),
              std::min(255, channel(d0, s) + channel(fore, s) * (p.v + 1) / 256));
  EXPECT_EQ(channel(added, 24), std::min(255, channel(d0, 24) + 255 * (p.v + 1) / 256));

  draw(BlitMultiply, 0.75f);
  const int w = std::min(256, 192 * p.v / 256);
  const Pixel mul = At(b, p.x, p.y);
  for (int s : {0, 8, 16})
    EXPECT_EQ(channel(mul, s), ((w * (channel(fore, s) - 256) + 65536) * channel(d0, s)) >> 16);
  EXPECT_EQ(channel(mul, 24), ((65536 - w) * channel(d0, 24)) >> 16);

  // Opacity zero draws nothing at all, also for the other modes.
  draw(BlitAdd, 0.0f);
  EXPECT_EQ(Changed(b, d0), 0);
}

TEST(TextFlags, ThresholdShadowOutlineAndSolidColours) {
  auto plain = MakeFont(raster::FontNoAntialias);
  auto shadow = MakeFont(raster::FontShadow);
  auto outline = MakeFont(raster::FontOutline);
  ASSERT_TRUE(plain && shadow && outline);
  for (std::uint32_t c : {'A', 'g', '@'}) {
    const GlyphRecord* r = plain->Glyph(c);
    ASSERT_TRUE(r && r->position > 0);
    const std::uint8_t* m = plain->Mask(*r);
    int ink = 0;
    for (int i = 0; i < r->width * r->height; ++i) {
      ASSERT_TRUE(m[i] == 0 || m[i] == 255);
      ink += m[i] == 255;
    }
    EXPECT_GT(ink, 5);

    for (auto* f : {shadow.get(), outline.get()}) {
      const GlyphRecord* e = f->Glyph(c);
      ASSERT_TRUE(e && e->position > 0);
      ASSERT_EQ(e->width, r->width);
      ASSERT_EQ(e->height, r->height);
      const std::uint8_t* em = f->Mask(*e);
      const int W = e->width, H = e->height;
      auto inkAt = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < W && y < H && em[y * W + x] == 255;
      };
      int marked = 0;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          const int v = em[y * W + x];
          // The ink is the thresholded glyph.
          ASSERT_EQ(v == 255, m[y * W + x] == 255);
          const bool near =
              f == shadow.get()
                  ? inkAt(x - 1, y) || inkAt(x - 1, y - 1) || inkAt(x, y - 1)
                  : inkAt(x - 1, y) || inkAt(x + 1, y) || inkAt(x, y - 1) || inkAt(x, y + 1);
          if (v != 255) {
            ASSERT_EQ(v == 128, near) << "code " << c << " at " << x << "," << y;
          }
          marked += v == 128;
        }
      EXPECT_GT(marked, 3);
    }
  }
  // Opaque copy at full opacity writes the colour words themselves.
  outline->SetForeColor(0x11223344u);
  outline->SetEffectColor(0x55667788u);
  const GlyphRecord* r = outline->Glyph('H');
  MemBitmap b(r->width, r->height);
  Fill(b, kBackground);
  outline->DrawGlyph(&b, 'H', 0, 0, {0, 0, r->width, r->height});
  const std::uint8_t* m = outline->Mask(*r);
  for (int y = 0; y < r->height; ++y)
    for (int x = 0; x < r->width; ++x) {
      const int v = m[y * r->width + x];
      ASSERT_EQ(At(b, x, y), v == 255 ? 0x11223344u : v == 128 ? 0x55667788u : kBackground);
    }
  // At half opacity covered pixels move halfway, alpha towards 255.
  Fill(b, 0x00000000u);
  outline->SetCombineMode(BlitCopy, 0.5f);
  outline->DrawGlyph(&b, 'H', 0, 0, {0, 0, r->width, r->height});
  for (int y = 0; y < r->height; ++y)
    for (int x = 0; x < r->width; ++x)
      if (m[y * r->width + x] == 255) {
        auto mv = [](int d, int c) { return c + (d - c) * 128 / 256; };
        ASSERT_EQ(At(b, x, y),
                  raster::MakePixel(mv(0, 255), mv(0, 0x22), mv(0, 0x33), mv(0, 0x44)));
      }
}

TEST(TextFlags, InvertBlurAndQuarterTurns) {
  auto plain = MakeFont(0);
  auto inverted = MakeFont(raster::FontInvert);
  auto blurred = MakeFont(raster::FontBlur);
  auto down = MakeFont(raster::FontVertical);
  auto up = MakeFont(raster::FontVertical | raster::FontBottomToTop);
  ASSERT_TRUE(plain && inverted && blurred && down && up);
  const GlyphRecord* r = plain->Glyph('F');
  ASSERT_TRUE(r && r->position > 0);
  const std::uint8_t* m = plain->Mask(*r);
  const int W = r->width, H = r->height;

  const GlyphRecord* inv = inverted->Glyph('F');
  ASSERT_TRUE(inv && inv->position > 0);
  ASSERT_GE(inv->width, W);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      ASSERT_EQ(inverted->Mask(*inv)[y * inv->width + x], 255 - m[y * W + x]);

  // Blurring spreads ink over more pixels and softens its peak.
  const GlyphRecord* bl = blurred->Glyph('F');
  ASSERT_TRUE(bl && bl->position > 0);
  int plainInk = 0, blurInk = 0, plainMax = 0, blurMax = 0;
  for (int i = 0; i < W * H; ++i) {
    plainInk += m[i] > 0;
    plainMax = std::max<int>(plainMax, m[i]);
  }
  for (int i = 0; i < bl->width * bl->height; ++i) {
    blurInk += blurred->Mask(*bl)[i] > 0;
    blurMax = std::max<int>(blurMax, blurred->Mask(*bl)[i]);
  }
  EXPECT_GT(blurInk, plainInk);
  EXPECT_LE(blurMax, plainMax);

  // Quarter turns swap the sides and move each pixel exactly.
  const GlyphRecord* cw = down->Glyph('F');
  const GlyphRecord* ccw = up->Glyph('F');
  ASSERT_TRUE(cw && ccw && cw->position > 0 && ccw->position > 0);
  ASSERT_EQ(cw->width, H);
  ASSERT_EQ(cw->height, W);
  ASSERT_EQ(ccw->width, H);
  ASSERT_EQ(ccw->height, W);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      ASSERT_EQ(down->Mask(*cw)[x * H + (H - 1 - y)], m[y * W + x]);
      ASSERT_EQ(up->Mask(*ccw)[(W - 1 - x) * H + y], m[y * W + x]);
    }
  // Vertical text measures its run downwards and reports its width.
  TextRect vr{0, 0, 0, 0};
  const int result = down->DrawString(nullptr, "FF", 2, &vr, raster::TextCalcRect);
  EXPECT_EQ(vr.right, H);
  EXPECT_EQ(vr.bottom, cw->advance + W);
  EXPECT_EQ(result, H);
  // Bottom-to-top text starts at the bottom of its rectangle and stays in it.
  MemBitmap b(60, 80);
  Fill(b, kBackground);
  up->SetForeColor(0xFFFFFFFFu);
  TextRect rect{5, 5, 55, 75};
  up->DrawString(&b, "FF", 2, &rect, raster::TextBottom);
  int lowest = -1;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 60; ++x)
      if (At(b, x, y) != kBackground) {
        ASSERT_TRUE(x >= 5 && x < 55 && y >= 5 && y < 75) << x << "," << y;
        lowest = std::max(lowest, y);
      }
  EXPECT_GT(lowest, 60);
}

TEST(TextFlags, AsciiOnlyRendersAtOnceAndRefusesOtherCodes) {
  auto f = MakeFont(raster::FontAsciiOnly);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->RenderCount(), 128);
  EXPECT_TRUE(f->Glyph('a'));
  EXPECT_FALSE(f->Glyph(0xE9));
  EXPECT_EQ(f->RenderCount(), 128);
}

TEST(TextFlags, OpaqueBackgroundAndColourAlpha) {
  auto f = MakeFont(0);
  ASSERT_TRUE(f);
  f->SetBackMode(raster::BackOpaque);
  f->SetBackColor(0xFF00FF00u);
  MemBitmap b(80, 40);
  Fill(b, kBackground);
  TextRect r{3, 2, 80, 40};
  f->DrawString(&b, " ", 1, &r, raster::TextNeverNative);
  const GlyphRecord* sp = f->Glyph(' ');
  ASSERT_TRUE(sp && sp->position > 0);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 80; ++x) {
      const bool inBox = x >= 3 && x < 3 + sp->width && y >= 2 && y < 2 + sp->height;
      ASSERT_EQ(At(b, x, y), inBox ? 0xFF00FF00u : kBackground);
    }
  // A text colour's alpha fades the glyph only: the box keeps the font's
  // opacity (1.0 here).
  f->SetForeColor(0x80FFFFFFu);
  Fill(b, kBackground);
  f->DrawString(&b, " ", 1, &r, raster::TextUseColorAlpha | raster::TextNeverNative);
  EXPECT_EQ(At(b, 3, 2), 0xFF00FF00u);
  EXPECT_EQ(At(b, 2 + sp->width, 1 + sp->height), 0xFF00FF00u);
  // The colour's alpha scales the opacity only when asked to.
  f->SetBackMode(raster::BackTransparent);
  f->SetForeColor(0x00FFFFFFu);
  Fill(b, kBackground);
  EXPECT_EQ(f->DrawString(&b, "Hi", 2, &r, raster::TextUseColorAlpha | raster::TextNeverNative), 0);
  EXPECT_EQ(Changed(b, kBackground), 0);
  EXPECT_GT(f->DrawString(&b, "Hi", 2, &r, raster::TextNeverNative), 0);
  EXPECT_GT(Changed(b, kBackground), 0);
}

TEST(TextPaths, CacheOrNativeDrawing) {
  auto f = MakeFont(raster::FontAllowNative);
  ASSERT_TRUE(f);
  MemBitmap b(120, 40);
  Fill(b, kBackground);
  TextRect r{2, 2, 118, 38};
  f->SetForeColor(0xFF000000u);
  f->DrawString(&b, "Native", 6, &r, 0);
  EXPECT_GT(Changed(b, kBackground), 0);
  const bool native = raster::textsys::NativeAvailable() && !raster::textsys::RunningUnderWine();
  // Under Wine (or without a native renderer) text comes from the cache.
  EXPECT_EQ(f->RenderCount() > 0, !native);
}

TEST(TextPaths, HugeFonts) {
  // Above 1023 pixels no glyph is rendered; where the window system can
  // draw natively it takes over above 255 pixels.
  auto huge = MakeFont(0, -1400);
  ASSERT_TRUE(huge);
  ASSERT_GT(huge->GetLineHeight(), 1023);
  EXPECT_FALSE(huge->Glyph('a'));
  MemBitmap b(300, 200);
  Fill(b, kBackground);
  TextRect r{20, 10, 280, 190};
  huge->SetForeColor(0xFF000000u);
  huge->DrawString(&b, "a", 1, &r, raster::TextNeverNative);
  if (!raster::textsys::NativeAvailable()) {
    EXPECT_EQ(Changed(b, kBackground), 0);
    return;
  }
  // Native drawing into a memory bitmap stays inside the rectangle and
  // leaves the text opaque.
  auto big = MakeFont(0, -300);
  ASSERT_TRUE(big);
  big->SetForeColor(0xFF000000u);
  Fill(b, 0x00FFFFFFu);
  big->DrawString(&b, "ll", 2, &r, 0);
  int changed = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x)
      if (At(b, x, y) != 0x00FFFFFFu) {
        ++changed;
        ASSERT_TRUE(x >= 20 && x < 280 && y >= 10 && y < 190) << x << "," << y;
        ASSERT_EQ(At(b, x, y) >> 24, 255u);
      }
  EXPECT_GT(changed, 100);
}

}  // namespace
