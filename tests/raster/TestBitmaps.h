#pragma once
// Bitmaps for the raster tests: a view into a larger buffer whose border
// (and row padding) must stay untouched, optionally flipped.

#include <cstddef>
#include <vector>

#include "raster/IBitmap.h"

namespace rastertest {

class GuardedBitmap final : public raster::IBitmap {
 public:
  // Every bitmap's border holds a value of its own, so that words copied
  // from another bitmap's border count as damage too.
  GuardedBitmap(int width, int height, int guard = 16, int padding = 0, bool flipped = false)
      : width_(width),
        height_(height),
        guard_(guard),
        span_(width + padding + 2 * guard),
        flipped_(flipped),
        guardValue_(NextGuardValue()),
        store_(std::size_t(span_) * std::size_t(height + 2 * guard), guardValue_) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) store_[Index(x, y)] = 0;
  }

  Pixel* GetBits() const override {
    return const_cast<Pixel*>(store_.data()) + std::size_t(guard_) * std::size_t(span_) +
           std::size_t(guard_);
  }
  int GetWidth() const override { return width_; }
  int GetHeight() const override { return height_; }
  int GetRowSpan() const override { return span_; }
  bool IsFlipped() const override { return flipped_; }
  bool Resize(int, int) override { return false; }

  // Pixel (x, y) as the drawing operations see it (row 0 at the top).
  Pixel& At(int x, int y) {
    const int memRow = flipped_ ? height_ - 1 - y : y;
    return store_[Index(x, memRow)];
  }

  // Number of words outside the width x height area that changed.
  int GuardDamage() const {
    int damaged = 0;
    for (int y = -guard_; y < height_ + guard_; ++y)
      for (int x = -guard_; x < span_ - guard_; ++x) {
        const bool inside = x >= 0 && x < width_ && y >= 0 && y < height_;
        if (!inside && store_[Index(x, y)] != guardValue_) ++damaged;
      }
    return damaged;
  }

  const std::vector<Pixel>& Store() const { return store_; }

 private:
  static Pixel NextGuardValue() {
    static Pixel next = 0xA5C3E1F7u;
    next = next * 1664525u + 1013904223u;
    return next | 0x01010101u;  // never 0 in any byte, as cleared pixels are
  }

  std::size_t Index(int x, int memRow) const {
    return std::size_t(memRow + guard_) * std::size_t(span_) + std::size_t(x + guard_);
  }

  int width_, height_, guard_, span_;
  bool flipped_;
  Pixel guardValue_;
  std::vector<Pixel> store_;
};

}  // namespace rastertest
