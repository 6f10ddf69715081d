// Plain-memory storage: there is no device context here; the window layer
// reads the pixels through GetBits and GetRowSpan.

#include "raster/SysBitmapNative.h"

#include <cstdint>
#include <cstdlib>

namespace raster::sysbitmap {

namespace {
// Stands in for a context so the shared resize logic can run unchanged.
char gContextToken;
}  // namespace

void* CreateContext() { return &gContextToken; }

void DestroyContext(void*) {}

void* PublicContext(void*) { return nullptr; }

bool CreateSection(void*, int width, int height, bool, Pixel** bits, void** section,
                   void** previous) {
  *bits = nullptr;
  *section = nullptr;
  *previous = nullptr;
  if (width < 1 || height < 1) return false;
  const std::int64_t pixels = std::int64_t(width) * height;  // at most 2^62
  if (pixels > INT32_MAX / 4) return false;
  const std::int64_t bytes = pixels * 4;
  // 64-byte aligned like the memory bitmap's rows.
  void* block = std::aligned_alloc(64, std::size_t((bytes + 63) & ~std::int64_t(63)));
  if (!block) return false;
  *bits = static_cast<Pixel*>(block);
  *section = block;
  return true;
}

void DestroySection(void*, void* section, void*) { std::free(section); }

}  // namespace raster::sysbitmap
