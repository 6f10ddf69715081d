#pragma once

#include <memory>

#include "editor/plot/IPlotLineGen.h"

namespace plot {

// A soft, glowing plot line: the samples are joined by thick anti-aliased
// segments in a transparent work bitmap, optionally over a faint fill down
// to a baseline, and the result is blurred into the main bitmap with a glow
// laid back over it. Both bitmaps are made once at the plot's size, so
// rendering allocates nothing.
template <typename T>
class IThickLineGen : public IPlotLineGen<T> {
 public:
  // Clears both bitmaps to the colour with alpha 0 and puts the baseline
  // at the bottom of the inner rectangle.
  IThickLineGen(IGraphics* graphics, const IRect& area, IColorARGB colour, IBlendSpec blend,
                int margin);
  ~IThickLineGen() override;

  // Draws the current samples; false (leaving the main bitmap transparent)
  // when the line is disabled or has fewer than two samples.
  bool RenderLine() override;

  // level 0..1 (clamped) of the fill's lower edge: 0 the inner bottom, 1
  // the inner top.
  void SetBaselineLevel(T level);
  T BaselineLevel() const { return baselineLevel_; }
  T BaselineY() const { return baselineY_; }

  void SetThickness(T thickness) { thickness_ = thickness, this->MarkChanged(); }
  void SetGlowPasses(int passes) { glowPasses_ = passes, this->MarkChanged(); }
  void SetGlowBlend(IBlendSpec blend) { glowBlend_ = blend, this->MarkChanged(); }
  void SetDrawCurve(bool on) { drawCurve_ = on, this->MarkChanged(); }
  // Fill from the curve down to the baseline, at 60 % of the line weight.
  void SetFillUnderCurve(bool on) { fillUnderCurve_ = on, this->MarkChanged(); }
  // Close the filled shape with a right edge, the baseline and a left edge
  // (only while the curve is drawn).
  void SetDrawOutline(bool on) { drawOutline_ = on, this->MarkChanged(); }
  // The part of the inner width that is drawn, 0..1 each.
  void SetFractions(T start, T end) {
    startFraction_ = start, endFraction_ = end;
    this->MarkChanged();
  }

  T Thickness() const { return thickness_; }
  int GlowPasses() const { return glowPasses_; }
  bool DrawsCurve() const { return drawCurve_; }
  bool FillsUnderCurve() const { return fillUnderCurve_; }
  bool DrawsOutline() const { return drawOutline_; }
  // The curve as drawn, before blurring (with no glow passes it is left
  // as it was drawn).
  const raster::MemBitmap* WorkBitmap() const { return work_.get(); }

 private:
  using Samples = typename IPlotLineGen<T>::Samples;

  void DrawCurve(const Samples& d);
  void Segment(T x1, T y1, T x2, T y2);

  std::unique_ptr<raster::MemBitmap> work_;
  IBlendSpec glowBlend_{IBlendSpec::kNormal, 1.0f};
  T thickness_ = T(2);
  int glowPasses_ = 1;
  bool drawOutline_ = false;
  bool fillUnderCurve_ = false;
  bool drawCurve_ = true;
  bool drawn_ = false;  // what the last render answered
  T startFraction_ = T(0), endFraction_ = T(1);
  T baselineLevel_ = T(0);
  T baselineY_ = T(0);
};

extern template class IThickLineGen<float>;
extern template class IThickLineGen<double>;

}  // namespace plot
