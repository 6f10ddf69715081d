// UTF-8 text measured and drawn into a small bitmap by the glyph cache. The
// leading bytes choose the font size and effects, the draw flags, the
// rectangle (partly or wholly off the bitmap), the combine mode and the
// opacity; the rest is the text. A measured extent is never negative, and
// drawing never touches a pixel outside the clip it was given.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "raster/CachedFont.h"
#include "raster/MemBitmap.h"

namespace {

using namespace raster;

constexpr int kWidth = 48, kHeight = 24;
constexpr Pixel kBackground = 0xFF203040u;
// Mostly the sizes an editor uses; now and then a huge one (its glyphs
// cost a hundred times more to render).
constexpr int kSizes[] = {-12, -16, -9, -11, -13, -1, 1, 6, 10, 14, 18, 30, -24, -40};
constexpr int kHugeSizes[] = {200, -250};
constexpr int kLargestCached = 40;
constexpr std::uint32_t kFontFlags[] = {FontVertical, FontBottomToTop, FontBlur,    FontInvert,
                                        FontNoAntialias, FontShadow,   FontOutline, FontAllowNative};
constexpr std::uint32_t kDrawFlags[] = {TextCenter,  TextRight,   TextVCenter,       TextBottom,
                                        TextSingleLine, TextNoClip, TextUseColorAlpha, TextNeverNative};
constexpr BlitMode kModes[] = {BlitCopy, BlitCopy | BlitUseSourceAlpha, BlitAdd | BlitUseSourceAlpha,
                               BlitDodge | BlitUseSourceAlpha};

// Font handles are made once per size, as the editor's font cache does.
FontHandle Handle(int size) {
  // Kept for the whole run, as the cache keeps its fonts.
  static auto& handles = *new std::map<int, FontHandle>;
  auto found = handles.find(size);
  if (found != handles.end()) return found->second;
  FontRequest request;
  request.height = size;
  return handles[size] = CreateFontHandle(request);
}

// Fonts up to kLargestCached pixels live for the whole run with their glyph
// caches, as the editor's font cache keeps them; larger ones are made for
// one input, so their big glyph masks do not pile up.
CachedFont* Font(int size, std::uint32_t flags, std::unique_ptr<CachedFont>& once) {
  FontHandle handle = Handle(size);
  if (!handle) return nullptr;
  auto make = [&] {
    auto font = std::make_unique<CachedFont>();
    font->SetFromFontHandle(handle, flags);
    return font;
  };
  if (std::abs(size) > kLargestCached) {
    once = make();
    return once.get();
  }
  static auto& fonts = *new std::map<std::pair<int, std::uint32_t>, std::unique_ptr<CachedFont>>;
  std::unique_ptr<CachedFont>& font = fonts[{size, flags}];
  if (!font) font = make();
  return font.get();
}

std::uint32_t Pick(FuzzedDataProvider& in, const std::uint32_t* flags, int n) {
  const unsigned bits = in.ConsumeIntegral<uint8_t>();
  std::uint32_t out = 0;
  for (int i = 0; i < n; ++i)
    if (bits & (1u << i)) out |= flags[i];
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Keeps the glyph scratch alive between inputs, as the editor's cached
  // fonts do.
  static CachedFont keeper;
  FuzzedDataProvider in(data, size);
  const int fontSize = in.ConsumeIntegralInRange<int>(0, 63) == 0 ? in.PickValueInArray(kHugeSizes)
                                                                   : in.PickValueInArray(kSizes);
  std::uint32_t fontFlags = Pick(in, kFontFlags, 8);
  // Pre-rendering all of ASCII is slow; only now and then.
  if (in.ConsumeIntegralInRange<int>(0, 31) == 0) fontFlags |= FontAsciiOnly;
  const std::uint32_t drawFlags = Pick(in, kDrawFlags, 8);
  TextRect rect;
  rect.left = in.ConsumeIntegralInRange<int>(-40, 80);
  rect.top = in.ConsumeIntegralInRange<int>(-40, 60);
  rect.right = rect.left + in.ConsumeIntegralInRange<int>(-8, 120);
  rect.bottom = rect.top + in.ConsumeIntegralInRange<int>(-8, 80);
  const BlitMode mode = in.PickValueInArray(kModes);
  const float alpha = in.ConsumeProbability<float>() * 1.25f;
  const Pixel colour = in.ConsumeIntegral<uint32_t>();
  const std::string text = in.ConsumeRemainingBytesAsString();

  std::unique_ptr<CachedFont> once;
  CachedFont* font = Font(fontSize, fontFlags, once);
  if (!font) return 0;
  font->SetForeColor(colour);
  font->SetCombineMode(mode, alpha);

  TextRect measured = rect;
  font->DrawString(nullptr, text.data(), int(text.size()), &measured, drawFlags | TextCalcRect);
  if (measured.right < measured.left || measured.bottom < measured.top)
    fuzz::Fail("negative text extent");

  MemBitmap bitmap(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) bitmap.GetBits()[y * bitmap.GetRowSpan() + x] = kBackground;
  TextRect drawn = rect;
  font->DrawString(&bitmap, text.data(), int(text.size()), &drawn, drawFlags & ~TextCalcRect);
  if (drawFlags & TextNoClip) return 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const bool inside = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
      if (!inside && bitmap.GetBits()[y * bitmap.GetRowSpan() + x] != kBackground)
        fuzz::Fail("text drawn outside its rectangle");
    }
  return 0;
}
