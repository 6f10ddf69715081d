#pragma once

#include <optional>

#include "editor/IControl.h"

// A knob: dragging and the wheel change its value. Drawn by the classes
// below from a filmstrip, one frame per position.
class IKnobControl : public IControl {
 public:
  enum Direction : int { kVertical = 0, kHorizontal = 1 };

  IKnobControl(IEffectCore* plugin, const IRect& rect, int paramIndex, int direction = kVertical,
               double gearing = 4.0);

  // A drag of gearing times the knob's height (or width) sweeps the whole
  // range; control or shift makes it ten times finer.
  void MouseDrag(int x, int y, int dX, int dY, const IMouseMods& mods) override;
  // 0.01 per notch, 0.001 with control or shift.
  void MouseWheel(int x, int y, const IMouseMods& mods, int notches) override;

  int KnobDirection() const { return direction_; }
  double Gearing() const { return gearing_; }

 protected:
  int direction_;
  double gearing_;
};

// A knob drawn from a filmstrip with its top-left at (x, y).
class IKnobMultiControl : public IKnobControl {
 public:
  IKnobMultiControl(IEffectCore* plugin, int x, int y, int paramIndex, const IBitmapStrip& strip,
                    int direction = kVertical, double gearing = 4.0);

  // Frame trunc((frames - 1) * value) + 1: the last frame only at 1.0.
  bool Draw(IGraphics& graphics) override;

  const IBitmapStrip& Strip() const { return strip_; }
  // The frame (1-based) the current value shows.
  int CurrentFrame() const;

 protected:
  bool DrawKnob(IGraphics& graphics);

  IBitmapStrip strip_;
};

// A filmstrip knob and an optional caption image, both centred on one
// point; the caption, usually larger, frames the knob.
class IKnobMultiControlCap : public IKnobMultiControl {
 public:
  IKnobMultiControlCap(IEffectCore* plugin, int centreX, int centreY, int paramIndex,
                       const IBitmapStrip& knob, const IBitmapStrip* caption, double gearing);

  // The caption (normal blend, full weight), then the knob.
  bool Draw(IGraphics& graphics) override;

  const IRect& CaptionRect() const { return captionRect_; }
  bool HasCaption() const { return caption_.has_value(); }

 private:
  std::optional<IBitmapStrip> caption_;
  IRect captionRect_;
};
