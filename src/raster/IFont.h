#pragma once
// The font interface of the raster layer: draws or measures text into
// bitmaps with a colour, a combine mode and an opacity.

#include <cstdint>

#include "raster/BlitMode.h"
#include "raster/FontHandle.h"
#include "raster/IBitmap.h"

namespace raster {

// Integer rectangle, right and bottom exclusive (the editor's layout).
struct TextRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// Font flags (SetFromFontHandle).
inline constexpr std::uint32_t FontVertical = 0x1;
inline constexpr std::uint32_t FontBottomToTop = 0x2;  // with FontVertical
inline constexpr std::uint32_t FontAsciiOnly = 0x4;
inline constexpr std::uint32_t FontBlur = 0x10;
inline constexpr std::uint32_t FontInvert = 0x20;
inline constexpr std::uint32_t FontNoAntialias = 0x40;
inline constexpr std::uint32_t FontShadow = 0x80;
inline constexpr std::uint32_t FontOutline = 0x100;
inline constexpr std::uint32_t FontOwnsHandle = 0x200;
inline constexpr std::uint32_t FontAllowNative = 0x400;

// Draw flags (DrawString), the window system's text-format values plus two
// of our own in the top bits.
inline constexpr std::uint32_t TextCenter = 0x1;
inline constexpr std::uint32_t TextRight = 0x2;
inline constexpr std::uint32_t TextVCenter = 0x4;
inline constexpr std::uint32_t TextBottom = 0x8;
inline constexpr std::uint32_t TextSingleLine = 0x20;
inline constexpr std::uint32_t TextNoClip = 0x100;
inline constexpr std::uint32_t TextCalcRect = 0x400;
inline constexpr std::uint32_t TextNoPrefix = 0x800;
inline constexpr std::uint32_t TextUseColorAlpha = 0x40000000;
inline constexpr std::uint32_t TextNeverNative = 0x80000000;

inline constexpr int BackTransparent = 1;
inline constexpr int BackOpaque = 2;

class IFont {
 public:
  virtual ~IFont() = default;

  virtual void SetFromFontHandle(FontHandle font, std::uint32_t flags) = 0;
  virtual Pixel SetForeColor(Pixel colour) = 0;
  virtual Pixel SetBackColor(Pixel colour) = 0;
  virtual Pixel SetEffectColor(Pixel colour) = 0;
  virtual int SetBackMode(int mode) = 0;
  virtual void SetCombineMode(BlitMode mode, float alpha) = 0;
  // Draws text (count bytes of UTF-8, ending early at a zero byte) into
  // rect, or with TextCalcRect measures it and sets rect's right and
  // bottom. bitmap may be null only when measuring. Returns the text's
  // height (width for vertical text), 0 when nothing was done.
  virtual int DrawString(IBitmap* bitmap, const char* text, int count, TextRect* rect,
                         std::uint32_t flags) = 0;
  virtual Pixel GetForeColor() const = 0;
  virtual FontHandle GetFontHandle() const = 0;
  virtual int GetLineHeight() const = 0;

 protected:
  IFont() = default;
};

}  // namespace raster
