#include "editor/IKnobControl.h"

#include "editor/IGraphics.h"

IKnobControl::IKnobControl(IEffectCore* plugin, const IRect& rect, int paramIndex, int direction,
                           double gearing)
    : IControl(plugin, rect, paramIndex, IBlendSpec{}), direction_(direction), gearing_(gearing) {}

void IKnobControl::MouseDrag(int, int, int dX, int dY, const IMouseMods& mods) {
  double g = gearing_;
  if (mods.control || mods.shift) g *= 10.0;
  // Vertical: top - bottom is minus the height, so moving up raises the value.
  const double step = direction_ == kVertical ? dY / double(rect_.top - rect_.bottom) / g
                                              : dX / double(rect_.right - rect_.left) / g;
  SetValue(Value() + step);
  MarkDirty(true);
}

void IKnobControl::MouseWheel(int, int, const IMouseMods& mods, int notches) {
  SetValue(Value() + notches * (mods.control || mods.shift ? 0.001 : 0.01));
  MarkDirty(true);
}

IKnobMultiControl::IKnobMultiControl(IEffectCore* plugin, int x, int y, int paramIndex,
                                     const IBitmapStrip& strip, int direction, double gearing)
    : IKnobControl(plugin, {x, y, x + strip.FrameWidth(), y + strip.FrameHeight()}, paramIndex,
                   direction, gearing),
      strip_(strip) {}

int IKnobMultiControl::CurrentFrame() const { return FrameFor(Value(), strip_.frames, false); }

bool IKnobMultiControl::DrawKnob(IGraphics& graphics) {
  const int offset = FrameOffset(strip_, CurrentFrame());
  const IBlendSpec blend = Blend();
  return graphics.DrawBitmap(strip_, rect_, strip_.sideBySide ? offset : 0,
                             strip_.sideBySide ? 0 : offset, &blend);
}

bool IKnobMultiControl::Draw(IGraphics& graphics) { return DrawKnob(graphics); }

IKnobMultiControlCap::IKnobMultiControlCap(IEffectCore* plugin, int centreX, int centreY,
                                           int paramIndex, const IBitmapStrip& knob,
                                           const IBitmapStrip* caption, double gearing)
    : IKnobMultiControl(plugin, centreX, centreY, paramIndex, knob, kVertical, gearing) {
  const int w = knob.width, h = knob.height, n = knob.frames < 1 ? 1 : knob.frames;
  if (knob.sideBySide) {
    rect_.left = centreX - w / (2 * n);
    rect_.top = centreY - h / 2;
    rect_.right = rect_.left + w / n;
    rect_.bottom = rect_.top + h;
  } else {
    rect_.left = centreX - w / 2;
    rect_.top = centreY - h / (2 * n);
    rect_.right = rect_.left + w;
    rect_.bottom = rect_.top + h / n;
  }
  // The hit area keeps its size and moves so the centre point is its middle.
  const int halfW = targetRect_.W() / 2, halfH = targetRect_.H() / 2;
  targetRect_ = {targetRect_.left - halfW, targetRect_.top - halfH, targetRect_.right - halfW,
                 targetRect_.bottom - halfH};
  if (caption) {
    caption_ = *caption;
    const int cn = caption->frames < 1 ? 1 : caption->frames;
    captionRect_.left = centreX - caption->width / 2;
    captionRect_.top = centreY - caption->height / 2;
    captionRect_.right = captionRect_.left + caption->width;
    captionRect_.bottom = captionRect_.top + caption->height / cn;
  }
  drawArea_ = caption ? rect_.Union(captionRect_) : rect_;
}

bool IKnobMultiControlCap::Draw(IGraphics& graphics) {
  if (caption_) graphics.DrawBitmap(*caption_, captionRect_, 0, 0, nullptr);
  return DrawKnob(graphics);
}
