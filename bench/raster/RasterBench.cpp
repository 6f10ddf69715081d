// Blits, blur and thick lines at the sizes the editor uses.

#include <cmath>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "raster/Blit.h"
#include "raster/Blur.h"
#include "raster/Fill.h"
#include "raster/Line.h"
#include "raster/MemBitmap.h"

using namespace raster;

namespace {

constexpr int kEditorWidth = 689;
constexpr int kEditorHeight = 369;

void Pattern(MemBitmap& bm) {
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x)
      bm.GetBits()[y * bm.GetRowSpan() + x] =
          Pixel(((x + y) & 255) << 24 | (x * 7) << 16 | (y * 3) << 8 | (x ^ y));
}

std::int64_t SurfaceBytes() { return std::int64_t(kEditorWidth) * kEditorHeight * sizeof(Pixel); }

void BM_BlitCopyWhole(benchmark::State& state) {
  MemBitmap src(kEditorWidth, kEditorHeight), dst(kEditorWidth, kEditorHeight);
  Pattern(src);
  Clear(&dst, 0);
  for (auto _ : state) {
    Blit(&dst, &src, 0, 0, nullptr, 1.0f, BlitCopy);
    benchmark::DoNotOptimize(dst.GetBits());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * SurfaceBytes());
}
BENCHMARK(BM_BlitCopyWhole);

void BM_MemcpySameBytes(benchmark::State& state) {
  const std::size_t bytes = std::size_t(SurfaceBytes());
  std::vector<Pixel> src(bytes / sizeof(Pixel), 0x12345678u), dst(bytes / sizeof(Pixel));
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * SurfaceBytes());
}
BENCHMARK(BM_MemcpySameBytes);

void BM_BlitSourceAlphaWhole(benchmark::State& state) {
  MemBitmap src(kEditorWidth, kEditorHeight), dst(kEditorWidth, kEditorHeight);
  Pattern(src);
  Clear(&dst, 0xFF404040);
  for (auto _ : state) {
    Blit(&dst, &src, 0, 0, nullptr, 1.0f, BlitCopy | BlitUseSourceAlpha);
    benchmark::DoNotOptimize(dst.GetBits());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * SurfaceBytes());
}
BENCHMARK(BM_BlitSourceAlphaWhole);

void BM_Blur(benchmark::State& state) {
  const bool inPlace = state.range(0) != 0;
  MemBitmap src(145, 89), dst(145, 89);
  Pattern(src);
  for (auto _ : state) {
    Blur(inPlace ? &src : &dst, &src, 145, 89);
    benchmark::DoNotOptimize(src.GetBits());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 145 * 89);
}
BENCHMARK(BM_Blur)->ArgName("in_place")->Arg(0)->Arg(1);

// A 200-point curve across a plot, drawn as 199 thick segments.
void BM_ThickLineAACurve(benchmark::State& state) {
  MemBitmap bm(kEditorWidth, kEditorHeight);
  Clear(&bm, 0);
  float xs[200], ys[200];
  for (int i = 0; i < 200; ++i) {
    xs[i] = 20.0f + float(i) * 3.2f;
    ys[i] = 180.0f + 120.0f * std::sin(float(i) * 0.07f);
  }
  const float thickness = float(state.range(0));
  for (auto _ : state) {
    for (int i = 0; i + 1 < 200; ++i)
      ThickLineAA(&bm, xs[i], ys[i], xs[i + 1], ys[i + 1], thickness, 0xFF20C0FF, 1.0f, BlitCopy);
    benchmark::DoNotOptimize(bm.GetBits());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ThickLineAACurve)->ArgName("thickness")->Arg(1)->Arg(3);

}  // namespace
