#pragma once

#include <memory>
#include <vector>

#include "editor/IControl.h"
#include "editor/plot/IBasePlotLine.h"

namespace plot {

// A plot on the editor: owns its lines and, when drawn, renders each one
// from its current samples and lays its bitmap over the editor surface, in
// the order the lines were added. It has no parameter, so clicks change
// nothing; the effect marks it dirty after handing its lines new samples.
class IPlotControlEx : public IControl {
 public:
  IPlotControlEx(IEffectCore* plugin, IGraphics* graphics, const IRect& rect);
  ~IPlotControlEx() override;

  // Appends line and takes ownership; null is ignored. Lines are built with
  // Area() and InnerMargin().
  void AddLine(IBasePlotLine* line);
  bool Draw(IGraphics& graphics) override;

  // (0, 0, width, height): the frame the lines draw in.
  const IRect& Area() const { return area_; }
  int InnerMargin() const { return innerMargin_; }
  int LineCount() const { return int(lines_.size()); }
  // Null outside 0 .. LineCount() - 1.
  IBasePlotLine* Line(int i) const;

 private:
  IRect area_;
  std::vector<std::unique_ptr<IBasePlotLine>> lines_;
  int innerMargin_ = 3;
};

}  // namespace plot
