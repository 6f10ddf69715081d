#pragma once

#include "editor/IControl.h"

// An image, or one frame of a filmstrip chosen by the value (to the nearest
// frame). With a single frame it is a static picture.
class IBitmapControl : public IControl {
 public:
  IBitmapControl(IEffectCore* plugin, int x, int y, int paramIndex, const IBitmapStrip& strip,
                 IBlendSpec blend = {});

  bool Draw(IGraphics& graphics) override;

  const IBitmapStrip& Strip() const { return strip_; }
  // The frame (1-based) the current value shows.
  int CurrentFrame() const { return FrameFor(Value(), strip_.frames, true); }

 private:
  IBitmapStrip strip_;
};
