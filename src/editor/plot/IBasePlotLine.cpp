#include "editor/plot/IBasePlotLine.h"

#include "raster/Fill.h"

namespace plot {

IBasePlotLine::IBasePlotLine(IGraphics* graphics, const IRect& area, IColorARGB colour,
                             IBlendSpec blend, int margin)
    : colour_(colour),
      blend_(blend),
      area_(area),
      placement_(area),
      inner_{area.left + margin, area.top + margin, area.right - margin, area.bottom - margin},
      main_(std::make_unique<raster::MemBitmap>(area.W(), area.H())),
      margin_(margin),
      graphics_(graphics) {
  current_ = main_.get();
  raster::Clear(main_.get(), ClearColour());
}

IBasePlotLine::~IBasePlotLine() = default;

Pixel IBasePlotLine::ClearColour() const {
  return raster::MakePixel(0, colour_.r, colour_.g, colour_.b);
}

}  // namespace plot
