#pragma once
// The bitmap interface every raster operation works through. Operations use
// only GetBits, GetWidth, GetHeight, GetRowSpan and IsFlipped; the device
// context is for the window layer and the native text path.

#include <cstdint>

#include "raster/Pixel.h"

namespace raster {

class IBitmap {
 public:
  virtual ~IBitmap() = default;

  // First pixel of memory row 0, or null when the bitmap has no storage.
  virtual Pixel* GetBits() const = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  // Pixels between the starts of two consecutive rows (>= width).
  virtual int GetRowSpan() const = 0;
  // A flipped bitmap keeps its bottom row at memory row 0.
  virtual bool IsFlipped() const { return false; }
  // True if the size was changed; contents are undefined afterwards.
  virtual bool Resize(int width, int height) = 0;
  // Window-system device context the pixels are selected into, or null.
  virtual void* GetDC() const { return nullptr; }
  // Open-ended query hook; every bitmap class here answers 0.
  virtual std::intptr_t Extension(std::uint32_t /*id*/, void* /*data*/) { return 0; }

 protected:
  IBitmap() = default;
  IBitmap(const IBitmap&) = default;
  IBitmap& operator=(const IBitmap&) = default;
};

}  // namespace raster
