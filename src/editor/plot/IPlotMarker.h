#pragma once

#include "base/PublishedPoint.h"
#include "editor/IControl.h"
#include "editor/ITicking.h"

namespace plot {

// A marker on a plot at a point another thread publishes: x 0..1 across the
// plot's inner width, y 0..1 from its inner bottom to its top, as the plot's
// lines place their samples. It follows the point at the redraw tick,
// redrawing only where the marker was and where it goes, stays where it is
// while nothing new is published and shows nothing before the first point.
// It never takes the mouse.
class IPlotMarker : public IControl, public ITicking {
 public:
  // A dot at the point, or a line across the plot's height at its x.
  enum Style : int { kDot = 0, kVerticalLine = 1 };

  // plotRect: the plot's rectangle on the panel; innerMargin: its lines'
  // margin.
  IPlotMarker(IEffectCore* plugin, const IRect& plotRect, int innerMargin,
              const PublishedPoint* source, Style style = kDot);

  bool Draw(IGraphics& graphics) override;
  bool HitTest(int, int) const override { return false; }
  void Tick() override;

  // What the marker covers now, in panel pixels; empty before the first
  // point.
  const IRect& Dot() const { return dot_; }

  static constexpr int kRadius = 3;
  static constexpr IColorARGB kCore{255, 246, 146, 30};
  static constexpr IColorARGB kRim{255, 58, 44, 20};
  static constexpr float kLineWeight = 0.7f;  // the line lets the curves show through

 private:
  IRect inner_;
  const PublishedPoint* source_;
  Style style_;
  float x_ = -1.0f, y_ = -1.0f;  // the point the dot stands for
  IRect dot_;
};

}  // namespace plot
