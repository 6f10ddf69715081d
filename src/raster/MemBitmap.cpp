#include "raster/MemBitmap.h"

#include <climits>
#include <cstdlib>

namespace raster {

namespace {

constexpr std::int64_t kAlignSlack = 63;

// Bytes of pixel storage for a size, or 0 when the size is empty or the
// storage would not fit the 32-bit capacity field (treated as a failed
// allocation rather than letting the product overflow).
std::int64_t StorageBytes(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  const std::int64_t span = (std::int64_t(width) + 3) & ~std::int64_t(3);
  const std::int64_t pixels = span * height;  // at most 2^62, no overflow
  if (pixels > (INT32_MAX - kAlignSlack) / 4) return 0;
  return pixels * 4;
}

}  // namespace

MemBitmap::MemBitmap(int width, int height) {
  if (width <= 0 || height <= 0) return;
  const std::int64_t bytes = StorageBytes(width, height);
  if (bytes > 0) raw_ = static_cast<std::uint8_t*>(std::malloc(std::size_t(bytes + kAlignSlack)));
  if (!raw_) return;
  width_ = width;
  height_ = height;
  capacity_ = std::int32_t(bytes);
}

MemBitmap::~MemBitmap() { std::free(raw_); }

Pixel* MemBitmap::GetBits() const {
  if (!raw_) return nullptr;
  const std::uintptr_t p = reinterpret_cast<std::uintptr_t>(raw_);
  return reinterpret_cast<Pixel*>((p + 63) & ~std::uintptr_t(63));
}

bool MemBitmap::Resize(int width, int height) {
  if (width == width_ && height == height_) return false;
  width_ = width;
  height_ = height;
  const std::int64_t bytes = StorageBytes(width, height);
  if (bytes > 0) {
    if (!raw_) {
      raw_ = static_cast<std::uint8_t*>(std::malloc(std::size_t(bytes + kAlignSlack)));
      capacity_ = raw_ ? std::int32_t(bytes) : 0;
    } else if (capacity_ < bytes) {
      // Grow by a quarter more than needed so small growth steps do not
      // reallocate every time.
      std::int64_t grown = (bytes / 4) * 5;
      if (grown > INT32_MAX - kAlignSlack) grown = bytes;
      void* moved = std::realloc(raw_, std::size_t(grown + kAlignSlack));
      if (moved) {
        raw_ = static_cast<std::uint8_t*>(moved);
        capacity_ = std::int32_t(grown);
      } else {
        std::free(raw_);
        raw_ = static_cast<std::uint8_t*>(std::malloc(std::size_t(bytes + kAlignSlack)));
        capacity_ = raw_ ? std::int32_t(bytes) : 0;
      }
    }
  } else {
    std::free(raw_);
    raw_ = nullptr;
    capacity_ = 0;
  }
  if (!raw_) {
    width_ = 0;
    height_ = 0;
    capacity_ = 0;
  }
  return true;
}

}  // namespace raster
