#pragma once
// A font that renders each character once through the window system into a
// one-byte-per-pixel coverage mask and afterwards blends the cached masks
// with its colour, combine mode and opacity.

#include <cstdint>

#include "base/GrowBuffer.h"
#include "raster/IFont.h"

namespace raster {

// One character's cache entry. position: 0 not rendered yet, -1 rendered
// and empty, otherwise 1 + the mask's offset in the coverage store.
struct GlyphRecord {
  std::int32_t position;
  std::int32_t width;
  std::int32_t height;
  std::int32_t advance;
  std::int32_t code;
};

class CachedFont final : public IFont {
 public:
  CachedFont();
  ~CachedFont() override;

  CachedFont(const CachedFont&) = delete;
  CachedFont& operator=(const CachedFont&) = delete;

  void SetFromFontHandle(FontHandle font, std::uint32_t flags) override;
  Pixel SetForeColor(Pixel colour) override;
  Pixel SetBackColor(Pixel colour) override;
  Pixel SetEffectColor(Pixel colour) override;
  int SetBackMode(int mode) override;
  void SetCombineMode(BlitMode mode, float alpha) override;
  int DrawString(IBitmap* bitmap, const char* text, int count, TextRect* rect,
                 std::uint32_t flags) override;
  Pixel GetForeColor() const override { return foreColor_; }
  FontHandle GetFontHandle() const override { return font_; }
  int GetLineHeight() const override { return lineHeight_; }

  // Blends one character's mask with its top-left at (x, y), clipped to
  // clip and the bitmap. False when nothing was drawn.
  bool DrawGlyph(IBitmap* bitmap, std::uint32_t code, int x, int y, const TextRect& clip);

  // The cached record of a character (rendering it on first use), or null.
  const GlyphRecord* Glyph(std::uint32_t code);
  // The mask bytes of a rendered record (width x height, row by row).
  const std::uint8_t* Mask(const GlyphRecord& record) const;
  // How many characters this font has rendered through the window system.
  int RenderCount() const { return renderCount_; }

 private:
  GlyphRecord* Find(std::uint32_t code, bool insert);
  bool RenderGlyph(std::uint32_t code);
  bool UseNative(const IBitmap* bitmap, const char* text, int count, std::uint32_t flags) const;
  // Walks the text as laid out from (x, y); draws when bitmap is set.
  // Returns the extent: width in w, height in h.
  void Layout(IBitmap* bitmap, const char* text, int count, bool singleLine, long long x,
              long long y, const TextRect* clip, float alpha, int& w, int& h);
  bool DrawRecord(IBitmap* bitmap, const GlyphRecord& rec, int x, int y, const TextRect& clip,
                  float alpha);

  Pixel foreColor_ = 0;
  Pixel backColor_ = 0xFFFFFFFFu;
  Pixel effectColor_ = 0xFFFFFFFFu;
  int backMode_ = BackTransparent;
  BlitMode combineMode_ = BlitCopy;
  float combineAlpha_ = 1.0f;
  std::uint32_t flags_ = 0;
  std::int32_t lineHeight_ = 0;
  std::int32_t lineSpacing_ = 0;  // extra space between lines; always 0 here
  GlyphRecord ascii_[128] = {};
  GrowBuffer extended_{4096};   // GlyphRecord array for codes >= 128, sorted by code
  GrowBuffer coverage_{65536};  // all masks back to back
  FontHandle font_ = nullptr;
  int renderCount_ = 0;
};

}  // namespace raster
