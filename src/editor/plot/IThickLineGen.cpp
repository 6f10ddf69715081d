#include "editor/plot/IThickLineGen.h"

#include <algorithm>

#include "editor/plot/CurveGeometry.h"
#include "raster/Blit.h"
#include "raster/Blur.h"
#include "raster/Fill.h"
#include "raster/Line.h"

namespace plot {

namespace {
// The fill is a faint tint under the brighter edge.
constexpr float kFillWeight = 0.6f;
}  // namespace

template <typename T>
IThickLineGen<T>::IThickLineGen(IGraphics* graphics, const IRect& area, IColorARGB colour,
                                IBlendSpec blend, int margin)
    : IPlotLineGen<T>(graphics, area, colour, blend, margin),
      work_(std::make_unique<raster::MemBitmap>(area.W(), area.H())) {
  raster::Clear(work_.get(), this->ClearColour());
  SetBaselineLevel(T(0));
}

template <typename T>
IThickLineGen<T>::~IThickLineGen() = default;

template <typename T>
void IThickLineGen<T>::SetBaselineLevel(T level) {
  baselineLevel_ = std::clamp(level, T(0), T(1));
  baselineY_ =
      (T(1) - baselineLevel_) * T(this->inner_.bottom) + baselineLevel_ * T(this->inner_.top);
  this->MarkChanged();
}

template <typename T>
bool IThickLineGen<T>::RenderLine() {
  // Unchanged since the last render: its bitmap still holds the line.
  if (!this->TakeChanged()) return drawn_;
  raster::MemBitmap* main = this->main_.get();
  const Samples d = this->Data();
  // Fewer than two samples have no step between them.
  drawn_ = this->IsEnabled() && d.count >= 2;
  if (!drawn_) {
    // Cleared, so a line switched off or emptied does not leave its last
    // curve on the plot.
    raster::Clear(main, this->ClearColour());
    return false;
  }
  this->BeforeRender();

  const Pixel clear = this->ClearColour();
  raster::Clear(main, clear);
  raster::Clear(work_.get(), clear);
  DrawCurve(d);

  const int w = main->GetWidth(), h = main->GetHeight();
  for (int pass = 0; pass < glowPasses_; ++pass) {
    raster::Blur(main, work_.get(), w, h);
    raster::Blit(work_.get(), main, 0, 0, nullptr, glowBlend_.weight, glowBlend_.Mode());
  }
  raster::Blur(main, work_.get(), w, h);
  return true;
}

template <typename T>
void IThickLineGen<T>::Segment(T x1, T y1, T x2, T y2) {
  raster::ThickLineAA(work_.get(), float(x1), float(y1), float(x2), float(y2), float(thickness_),
                      this->colour_.Packed(), this->blend_.weight, this->blend_.Mode());
}

template <typename T>
void IThickLineGen<T>::DrawCurve(const Samples& d) {
  const auto g = CurveGeometry<T>::Make(this->inner_, d.count, startFraction_, endFraction_);
  const Pixel colour = this->colour_.Packed();
  const float fillWeight = this->blend_.weight * kFillWeight;
  const BlitMode mode = this->blend_.Mode();

  T prevX = g.X(g.first), prevY = g.Y(d[g.first]);
  T fillEdge = prevX;  // left edge of the next fill strip
  for (int i = g.first; i <= g.last; ++i) {
    const T x = g.X(i), y = g.Y(d[i]);
    if (drawCurve_) Segment(prevX, prevY, x, y);
    // A strip is filled only once the curve has moved more than a pixel
    // past the last filled edge.
    if (fillUnderCurve_ && x - T(1) > fillEdge) {
      const int xs[4] = {int(fillEdge), int(x - T(1)), int(x - T(1)), int(fillEdge)};
      const int ys[4] = {int(prevY), int(y), int(baselineY_), int(baselineY_)};
      raster::FillConvexQuad(work_.get(), xs, ys, colour, fillWeight, mode);
      fillEdge = x;
    }
    prevX = x;
    prevY = y;
  }

  if (drawOutline_ && drawCurve_) {
    const T firstX = g.X(g.first);
    Segment(prevX, prevY, prevX, baselineY_);
    Segment(prevX, baselineY_, firstX, baselineY_);
    Segment(firstX, baselineY_, firstX, baselineY_ - g.height * d[g.first]);
  }
}

template class IThickLineGen<float>;
template class IThickLineGen<double>;

}  // namespace plot
