#pragma once
// Copies areas of a 32-bit drawing surface (0xAARRGGBB words) to an X
// drawable: through a shared-memory image when the server offers one, else
// with a plain image request straight from the surface's memory.

#include "editor/IGraphicsTypes.h"
#include "raster/Pixel.h"
#include "editor/x11/XlibHeaders.h"

class X11Connection;

class X11Presenter {
 public:
  // For surfaces of width x height on target, whose visual is a 24- or
  // 32-bit true-colour one with 8-bit red, green and blue in that order.
  X11Presenter(X11Connection& connection, Drawable target, Visual* visual, int depth, int width,
               int height);
  ~X11Presenter();
  X11Presenter(const X11Presenter&) = delete;
  X11Presenter& operator=(const X11Presenter&) = delete;

  bool Ok() const { return image_ != nullptr; }
  bool UsesShm() const { return shm_; }
  // Copies area (clipped to the surface) from bits, whose rows are rowSpan
  // pixels apart, to the same place on the target. Returns false when
  // nothing could be sent.
  bool Present(const Pixel* bits, int rowSpan, const IRect& area);

 private:
  bool CreateShmImage(Visual* visual, int depth);
  void CreatePlainImage(Visual* visual, int depth);
  void ReleaseShmImage();

  X11Connection& connection_;
  Drawable target_;
  GC gc_ = nullptr;
  int width_, height_;
  XImage* image_ = nullptr;
  bool shm_ = false;
  XShmSegmentInfo segment_{};
};
