#include "editor/plot/IPlotMarker.h"

#include <algorithm>
#include <cmath>

#include "editor/IGraphics.h"
#include "raster/Fill.h"

namespace plot {

namespace {

void FillClipped(raster::IBitmap* surface, const IRect& r, const IRect& clip, IColorARGB colour) {
  const IRect c = r.Intersect(clip);
  if (c.W() > 0 && c.H() > 0)
    raster::FillRect(surface, c.left, c.top, c.W(), c.H(), colour.Packed(), 1.0f, BlitCopy);
}

}  // namespace

IPlotMarker::IPlotMarker(IEffectCore* plugin, const IRect& plotRect, int innerMargin,
                         const PublishedPoint* source, Style style)
    : IControl(plugin, plotRect),
      inner_{plotRect.left + innerMargin, plotRect.top + innerMargin,
             plotRect.right - innerMargin, plotRect.bottom - innerMargin},
      source_(source),
      style_(style) {
  hidden_.store(true, std::memory_order_relaxed);
  drawArea_ = {};
}

void IPlotMarker::Tick() {
  float x = 0.0f, y = 0.0f;
  if (!source_->Read(x, y) || (x == x_ && y == y_)) return;
  x_ = x, y_ = y;
  x = std::clamp(std::isfinite(x) ? x : 0.0f, 0.0f, 1.0f);
  y = std::clamp(std::isfinite(y) ? y : 0.0f, 0.0f, 1.0f);
  // Rounded as the lines place their samples.
  const int cx = int(std::lround(inner_.left + double(x) * inner_.W()));
  const int cy = int(std::lround(inner_.bottom - double(y) * inner_.H()));
  const IRect dot = style_ == kDot
                       ? IRect{cx - kRadius, cy - kRadius, cx + kRadius + 1, cy + kRadius + 1}
                       : IRect{cx, inner_.top, cx + 1, inner_.bottom};
  if (dot == dot_ && !IsHidden()) return;
  // One redraw covers the old place and the new.
  drawArea_ = dot_.Empty() ? dot : dot_.Union(dot);
  dot_ = dot;
  if (IsHidden())
    SetHidden(false);
  else
    MarkDirty(false);
}

bool IPlotMarker::Draw(IGraphics& g) {
  if (dot_.Empty() || !g.Surface()) return true;
  const IRect& clip = g.DrawingClip();
  raster::IBitmap* surface = g.Surface();
  const IRect& d = dot_;
  if (style_ == kVerticalLine) {
    const IRect c = d.Intersect(clip);
    if (c.W() > 0 && c.H() > 0)
      raster::FillRect(surface, c.left, c.top, c.W(), c.H(), kCore.Packed(), kLineWeight,
                       BlitCopy);
    return true;
  }
  // A rounded dot: a rim of two crossed bars, the core likewise inside.
  FillClipped(surface, {d.left + 1, d.top, d.right - 1, d.bottom}, clip, kRim);
  FillClipped(surface, {d.left, d.top + 1, d.right, d.bottom - 1}, clip, kRim);
  FillClipped(surface, {d.left + 2, d.top + 1, d.right - 2, d.bottom - 1}, clip, kCore);
  FillClipped(surface, {d.left + 1, d.top + 2, d.right - 1, d.bottom - 2}, clip, kCore);
  return true;
}

}  // namespace plot
