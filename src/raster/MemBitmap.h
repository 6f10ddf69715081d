#pragma once
// A bitmap in plain heap memory: rows padded to a multiple of 4 pixels and
// the first pixel aligned to 64 bytes.

#include <cstdint>

#include "raster/IBitmap.h"

namespace raster {

class MemBitmap final : public IBitmap {
 public:
  MemBitmap() = default;
  MemBitmap(int width, int height);
  ~MemBitmap() override;

  MemBitmap(const MemBitmap&) = delete;
  MemBitmap& operator=(const MemBitmap&) = delete;

  Pixel* GetBits() const override;
  int GetWidth() const override { return width_; }
  int GetHeight() const override { return height_; }
  int GetRowSpan() const override { return (width_ + 3) & ~3; }
  bool Resize(int width, int height) override;

  // Bytes of pixel storage the current block holds (0 when empty).
  std::int32_t GetCapacity() const { return capacity_; }

 private:
  std::uint8_t* raw_ = nullptr;  // capacity_ + 63 bytes, owned
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t capacity_ = 0;
  std::uint32_t rowAlignMask_ = 3;
};

}  // namespace raster
