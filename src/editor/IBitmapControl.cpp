#include "editor/IBitmapControl.h"

#include "editor/IGraphics.h"

IBitmapControl::IBitmapControl(IEffectCore* plugin, int x, int y, int paramIndex,
                               const IBitmapStrip& strip, IBlendSpec blend)
    : IControl(plugin, {x, y, x + strip.FrameWidth(), y + strip.FrameHeight()}, paramIndex, blend),
      strip_(strip) {}

bool IBitmapControl::Draw(IGraphics& graphics) {
  const int offset = FrameOffset(strip_, CurrentFrame());
  const IBlendSpec blend = Blend();
  return graphics.DrawBitmap(strip_, rect_, strip_.sideBySide ? offset : 0,
                             strip_.sideBySide ? 0 : offset, &blend);
}
