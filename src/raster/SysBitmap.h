#pragma once
// A bitmap the window system can also draw into and copy to the screen.
// On Windows the pixels are a top-down 32-bit DIB section selected into a
// memory device context; elsewhere they are plain memory that the window
// layer presents itself (GetDC then answers null). Storage never shrinks.

#include "raster/IBitmap.h"

namespace raster {

class SysBitmap final : public IBitmap {
 public:
  SysBitmap(int width, int height);
  ~SysBitmap() override;

  SysBitmap(const SysBitmap&) = delete;
  SysBitmap& operator=(const SysBitmap&) = delete;

  Pixel* GetBits() const override { return bits_; }
  int GetWidth() const override { return width_; }
  int GetHeight() const override { return height_; }
  int GetRowSpan() const override { return allocWidth_; }
  bool Resize(int width, int height) override;
  void* GetDC() const override;

 private:
  void ReleaseSection();

  int width_ = 0;
  int height_ = 0;
  void* context_ = nullptr;  // device context, owned
  Pixel* bits_ = nullptr;
  int allocWidth_ = 0;
  int allocHeight_ = 0;
  void* section_ = nullptr;   // pixel storage handle, owned
  void* previous_ = nullptr;  // object selected before the section
};

}  // namespace raster
