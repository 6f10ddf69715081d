#include "raster/SysBitmap.h"

#include "raster/SysBitmapNative.h"

namespace raster {

SysBitmap::SysBitmap(int width, int height) {
  context_ = sysbitmap::CreateContext();
  Resize(width, height);
}

SysBitmap::~SysBitmap() {
  ReleaseSection();
  if (context_) sysbitmap::DestroyContext(context_);
}

void* SysBitmap::GetDC() const { return context_ ? sysbitmap::PublicContext(context_) : nullptr; }

void SysBitmap::ReleaseSection() {
  if (section_ || previous_) sysbitmap::DestroySection(context_, section_, previous_);
  section_ = nullptr;
  previous_ = nullptr;
  bits_ = nullptr;
}

bool SysBitmap::Resize(int width, int height) {
  if (!context_) {
    width_ = height_ = 0;
    bits_ = nullptr;
    return false;
  }
  if (width == width_ && height == height_) return false;
  // The size is what the caller asked for, even a side of 0 or below, for
  // which no drawing operation does anything.
  width_ = width;
  height_ = height;
  // Storage that holds the new size is kept (it never shrinks).
  if (width != 0 && height != 0 && allocWidth_ >= width && allocHeight_ >= height && bits_)
    return true;

  ReleaseSection();
  allocWidth_ = allocHeight_ = 0;
  if (width < 1 || height < 1) return false;
  allocHeight_ = height;
  allocWidth_ = width > 0x7FFFFFF0 ? 0x7FFFFFF0 : ((width + 3) & ~3);

  Pixel* bits = nullptr;
  void* section = nullptr;
  void* previous = nullptr;
  if (sysbitmap::CreateSection(context_, allocWidth_, allocHeight_, IsFlipped(), &bits, &section,
                               &previous)) {
    bits_ = bits;
    section_ = section;
    previous_ = previous;
  } else {
    width_ = height_ = 0;
    allocWidth_ = allocHeight_ = 0;
  }
  return true;
}

}  // namespace raster
