#pragma once
// The window-system side of text rendering, one implementation per
// platform (win/, posix/). CachedFont renders each character once through
// these calls and draws from its own cache afterwards.

#include <cstdint>

#include "raster/FontHandle.h"
#include "raster/IFont.h"
#include "raster/SysBitmap.h"

namespace raster::textsys {

// Sets up a glyph scratch bitmap after it was (re)allocated: white text on
// an opaque black background.
void PrepareScratch(SysBitmap& scratch);
// The font's text-metric height (ascent + descent) in pixels.
int LineHeight(SysBitmap& scratch, FontHandle font);
// Size of one character as the window system measures it on a single line:
// its advance and the line height. False when the font has no such glyph.
bool MeasureChar(SysBitmap& scratch, FontHandle font, std::uint32_t code, int& width, int& height);
// Draws the character in white at (0, 0) of the scratch, unclipped by any
// box (the caller has cleared the area it reads back).
void DrawCharWhite(SysBitmap& scratch, FontHandle font, std::uint32_t code);

// Whether the platform can draw text natively at all.
bool NativeAvailable();
// Whether the process runs under Wine (asked once, then remembered).
bool RunningUnderWine();

struct NativeStyle {
  FontHandle font;
  Pixel foreColor;
  Pixel backColor;
  int backMode;
  float alpha;
};
// Draws or measures (0x400) text natively; bitmap may be null only when
// measuring. scratch is a system bitmap used for memory bitmaps.
int DrawNative(IBitmap* bitmap, SysBitmap& scratch, const NativeStyle& style, const char* text,
               int count, TextRect& rect, std::uint32_t flags);

}  // namespace raster::textsys
