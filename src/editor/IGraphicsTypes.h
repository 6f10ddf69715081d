#pragma once
// Small value types shared by the editor core, its controls, its plots and
// its platform windows.

#include <cstdint>

#include "raster/BlitMode.h"

namespace raster {
class IBitmap;
class CachedFont;
}  // namespace raster

// Integer rectangle, right and bottom exclusive. All four 0 means empty.
struct IRect {
  int left = 0, top = 0, right = 0, bottom = 0;

  constexpr int W() const { return right - left; }
  constexpr int H() const { return bottom - top; }
  constexpr bool Empty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  constexpr bool Contains(int x, int y) const {
    return left <= x && x < right && top <= y && y < bottom;
  }
  constexpr bool Contains(const IRect& r) const {
    return left <= r.left && top <= r.top && r.right <= right && r.bottom <= bottom;
  }
  // The redraw cycle's overlap test: edges that touch on the right or bottom
  // count as overlapping.
  constexpr bool Overlaps(const IRect& c) const {
    return right >= c.left && left < c.right && bottom >= c.top && top < c.bottom;
  }
  constexpr IRect Union(const IRect& c) const {
    return {left < c.left ? left : c.left, top < c.top ? top : c.top,
            right > c.right ? right : c.right, bottom > c.bottom ? bottom : c.bottom};
  }
  constexpr IRect Intersect(const IRect& c) const {
    return {left > c.left ? left : c.left, top > c.top ? top : c.top,
            right < c.right ? right : c.right, bottom < c.bottom ? bottom : c.bottom};
  }
  constexpr bool operator==(const IRect&) const = default;
};

// Buttons and modifier keys of a mouse event.
struct IMouseMods {
  bool left = false, right = false, shift = false, control = false, alt = false;
};

// A colour with alpha, red, green and blue, each 0..255.
struct IColorARGB {
  int a = 255, r = 0, g = 0, b = 0;
  // 0xAARRGGBB, the raster layer's pixel word.
  constexpr std::uint32_t Packed() const {
    return std::uint32_t(a & 255) << 24 | std::uint32_t(r & 255) << 16 |
           std::uint32_t(g & 255) << 8 | std::uint32_t(b & 255);
  }
};

// How a control's image is laid onto the surface: a kind and an opacity.
struct IBlendSpec {
  enum Kind : int { kNormal = 0, kOpaque = 1, kAdditive = 2, kColorDodge = 3 };
  int kind = kNormal;
  float weight = 1.0f;

  constexpr BlitMode Mode() const {
    switch (kind) {
      case kOpaque: return BlitCopy;
      case kAdditive: return BlitAdd | BlitUseSourceAlpha;
      case kColorDodge: return BlitDodge | BlitUseSourceAlpha;
      default: return BlitCopy | BlitUseSourceAlpha;
    }
  }
};

// An editor image: frames stacked vertically unless side by side. The image
// belongs to the process-wide image cache.
struct IBitmapStrip {
  raster::IBitmap* image = nullptr;
  int width = 0, height = 0;  // whole image
  int frames = 1;
  bool sideBySide = false;

  constexpr int FrameWidth() const { return sideBySide ? width / frames : width; }
  constexpr int FrameHeight() const { return sideBySide ? height : height / frames; }
};

// Text style; the font it resolves to is remembered after the first use.
struct ITextStyle {
  enum Style : int { kNormal = 0, kBold = 1, kItalic = 2 };
  enum Align : int { kLeft = 0, kCenter = 1, kRight = 2 };
  enum Quality : int { kDefault = 0, kNonAntialiased = 1, kAntialiased = 2, kSubpixel = 3 };

  char fontName[32] = "Verdana";
  int size = 12;  // pixels
  IColorARGB color{255, 0, 0, 0};
  IColorARGB entryBackground{255, 255, 255, 255};
  IColorARGB entryText{255, 0, 0, 0};
  int style = kNormal;
  int align = kCenter;
  int orientation = 0;  // tenths of a degree
  int quality = kDefault;
  raster::CachedFont* font = nullptr;  // owned by the font cache
};

// Keys handed to controls; keys without a code go to the host.
enum KeyCode : int {
  kKeySpace = 0,
  kKeyUp = 1,
  kKeyDown = 2,
  kKeyLeft = 3,
  kKeyRight = 4,
  kKeyDigit0 = 5,   // .. 9 is 14
  kKeyLetterA = 15  // .. Z is 40
};
