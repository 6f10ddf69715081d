#pragma once

#include <atomic>
#include <memory>

#include "editor/IGraphicsTypes.h"
#include "raster/MemBitmap.h"

class IGraphics;

namespace plot {

// One line of a plot. It renders itself into a private bitmap the size of
// the plot, which the plot then lays over the editor surface with the
// line's blend. Coordinates are local to the plot: the area's top-left is
// the plot's top-left.
class IBasePlotLine {
 public:
  // area is the plot's area (0, 0, width, height); the line draws inside it
  // shrunk by margin on every side.
  IBasePlotLine(IGraphics* graphics, const IRect& area, IColorARGB colour, IBlendSpec blend,
                int margin);
  IBasePlotLine(const IBasePlotLine&) = delete;
  IBasePlotLine& operator=(const IBasePlotLine&) = delete;

  // ---- virtual operations, in slot order ----
  virtual ~IBasePlotLine();  // 0
  // Renders the line into CurrentBitmap(); false when there was nothing to
  // draw (the bitmap is then left transparent).
  virtual bool RenderLine() = 0;  // 1
  // Called at the start of every render that draws.
  virtual void BeforeRender() {}  // 2

  // The finished line, composed onto the editor by the plot.
  const raster::IBitmap* CurrentBitmap() const { return current_; }
  raster::IBitmap* CurrentBitmap() { return current_; }
  IColorARGB Colour() const { return colour_; }
  IBlendSpec Blend() const { return blend_; }
  const IRect& Area() const { return area_; }
  // Where the bitmap lies inside the plot; its top-left is the offset used
  // when composing.
  const IRect& Placement() const { return placement_; }
  const IRect& InnerRect() const { return inner_; }
  int Margin() const { return margin_; }
  IGraphics* Graphics() const { return graphics_; }

  bool IsEnabled() const { return enabled_.load(std::memory_order_relaxed); }
  void SetEnabled(bool enabled) {
    enabled_.store(enabled, std::memory_order_relaxed);
    MarkChanged();
  }
  // The line needs rendering again: its samples or its look changed. A
  // plot redrawn only because something over it moved reuses the bitmap.
  void MarkChanged() { changed_.store(true, std::memory_order_release); }

 protected:
  // The line colour with alpha 0: what the bitmaps are cleared to, so the
  // blur spreads coverage without darkening the colour towards black.
  Pixel ClearColour() const;

  IColorARGB colour_;
  IBlendSpec blend_;
  IRect area_;
  IRect placement_;
  IRect inner_;
  raster::IBitmap* current_;
  std::unique_ptr<raster::MemBitmap> main_;
  int margin_;
  // Clears the changed mark; true when it was set.
  bool TakeChanged() { return changed_.exchange(false, std::memory_order_acq_rel); }

  std::atomic<bool> enabled_{true};
  std::atomic<bool> changed_{true};
  IGraphics* graphics_;
};

}  // namespace plot
