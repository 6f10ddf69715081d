// Drawing cached text: 1,000 glyphs per iteration once the cache is warm.
#include <benchmark/benchmark.h>

#include <string>

#include "raster/CachedFont.h"
#include "raster/MemBitmap.h"

namespace {

void DrawThousandGlyphs(benchmark::State& state, BlitMode mode, float alpha) {
  raster::FontRequest req;
  req.height = -12;
  raster::CachedFont font;
  font.SetFromFontHandle(raster::CreateFontHandle(req), raster::FontOwnsHandle);
  font.SetForeColor(0xFF202020u);
  font.SetCombineMode(mode, alpha);
  raster::MemBitmap bitmap(689, 369);
  // 20 lines of 50 characters.
  std::string text;
  for (int line = 0; line < 20; ++line) {
    for (int i = 0; i < 50; ++i) text += char('A' + (line * 7 + i * 3) % 58);
    text += '\n';
  }
  raster::TextRect rect{4, 4, 685, 365};
  font.DrawString(&bitmap, text.c_str(), int(text.size()), &rect, raster::TextNeverNative);
  for (auto _ : state) {
    raster::TextRect r = rect;
    benchmark::DoNotOptimize(
        font.DrawString(&bitmap, text.c_str(), int(text.size()), &r, raster::TextNeverNative));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}

void BM_Text1000GlyphsCopy(benchmark::State& state) { DrawThousandGlyphs(state, BlitCopy, 1.0f); }
void BM_Text1000GlyphsCopyHalf(benchmark::State& state) {
  DrawThousandGlyphs(state, BlitCopy, 0.5f);
}
void BM_Text1000GlyphsAdd(benchmark::State& state) { DrawThousandGlyphs(state, BlitAdd, 1.0f); }

BENCHMARK(BM_Text1000GlyphsCopy);
BENCHMARK(BM_Text1000GlyphsCopyHalf);
BENCHMARK(BM_Text1000GlyphsAdd);

}  // namespace
