#include "editor/plot/IPlotControlEx.h"

#include "editor/IGraphics.h"

namespace plot {

IPlotControlEx::IPlotControlEx(IEffectCore* plugin, IGraphics* graphics, const IRect& rect)
    : IControl(plugin, rect, -1, IBlendSpec{IBlendSpec::kNormal, 1.0f}),
      area_{0, 0, rect.W(), rect.H()} {
  SetGraphics(graphics);
}

IPlotControlEx::~IPlotControlEx() = default;

void IPlotControlEx::AddLine(IBasePlotLine* line) {
  if (line) lines_.emplace_back(line);
}

IBasePlotLine* IPlotControlEx::Line(int i) const {
  return i >= 0 && i < LineCount() ? lines_[size_t(i)].get() : nullptr;
}

// Every draw re-renders the lines whose samples changed since their last
// render, so the plot always shows the latest samples, and a redraw caused
// by something lying over the plot costs only the composing. The lines are laid on clipped to the area being redrawn: outside
// it the surface still holds the plot as last drawn, and blending the
// semi-transparent glow over that again would brighten it with every
// partial redraw.
bool IPlotControlEx::Draw(IGraphics& graphics) {
  for (const auto& line : lines_) {
    line->RenderLine();
    raster::IBitmap* bitmap = line->CurrentBitmap();
    const IBitmapStrip strip{bitmap, bitmap->GetWidth(), bitmap->GetHeight(), 1, false};
    const IRect& at = line->Placement();
    const int left = rect_.left + at.left, top = rect_.top + at.top;
    const IRect dest{left, top, left + strip.width, top + strip.height};
    const IBlendSpec blend = line->Blend();
    graphics.DrawBitmap(strip, dest, 0, 0, &blend);
  }
  return true;
}

}  // namespace plot
