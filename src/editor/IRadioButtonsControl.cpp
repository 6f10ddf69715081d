#include "editor/IRadioButtonsControl.h"

#include "editor/IGraphics.h"

IRadioButtonsControl::IRadioButtonsControl(IEffectCore* plugin, const IRect& rect, int paramIndex,
                                           int count, const IBitmapStrip& strip, int direction)
    : IControl(plugin, rect, paramIndex, IBlendSpec{}), strip_(strip) {
  // A second quick click chooses again: resetting would undo the choice.
  doubleClickAsPress_ = true;
  if (count < 1) return;
  const int w = strip.FrameWidth();
  const int fh = strip.frames > 0 ? strip.height / strip.frames : strip.height;
  // Negative gaps make neighbours overlap.
  const int spaces = count > 1 ? count - 1 : 1;
  buttons_.reserve(size_t(count));
  if (direction == kRow) {
    const int gap = int(double(rect.right - count * w - rect.left) / spaces);
    for (int i = 0; i < count; ++i) {
      const int left = rect.left + i * (w + gap);
      buttons_.push_back({left, rect.top, left + w, rect.top + fh});
    }
  } else {
    const int gap = int(double(rect.bottom - count * fh - rect.top) / spaces);
    for (int i = 0; i < count; ++i) {
      const int top = rect.top + i * (fh + gap);
      buttons_.push_back({rect.left, top, rect.left + w, top + fh});
    }
  }
}

void IRadioButtonsControl::MouseDown(int x, int y, const IMouseMods& mods) {
  if (mods.right) {
    PromptForValue();
    return;
  }
  const int n = ButtonCount();
  for (int i = 0; i < n; ++i) {
    const IRect& b = buttons_[size_t(i)];
    if (!b.Empty() && b.Contains(x, y)) {
      SetValue(n > 1 ? double(i) / (n - 1) : 0.0);
      break;
    }
  }
  MarkDirty(true);
}

int IRadioButtonsControl::Selected() const { return FrameFor(Value(), ButtonCount(), true) - 1; }

bool IRadioButtonsControl::DrawButtons(IGraphics& graphics) {
  const int selected = Selected();
  const int selectedOffset = FrameOffset(strip_, 2);
  const IBlendSpec blend = Blend();
  for (int i = 0, n = ButtonCount(); i < n; ++i) {
    const int offset = i == selected ? selectedOffset : 0;
    graphics.DrawBitmap(strip_, buttons_[size_t(i)], strip_.sideBySide ? offset : 0,
                        strip_.sideBySide ? 0 : offset, &blend);
  }
  return true;
}

bool IRadioButtonsControl::Draw(IGraphics& graphics) { return DrawButtons(graphics); }

IRadioButtonCap::IRadioButtonCap(IEffectCore* plugin, const IRect& rect, int paramIndex, int count,
                                 const IBitmapStrip& strip, int direction,
                                 const IBitmapStrip* caption, int captionDX, int captionDY)
    : IRadioButtonsControl(plugin, rect, paramIndex, count, strip, direction) {
  if (!caption) return;
  caption_ = *caption;
  const int cn = caption->frames < 1 ? 1 : caption->frames;
  captionRect_.left = rect.left + captionDX;
  captionRect_.top = rect.top + captionDY;
  captionRect_.right = captionRect_.left + caption->width;
  captionRect_.bottom = captionRect_.top + caption->height / cn;
  drawArea_ = rect_.Union(captionRect_);
}

bool IRadioButtonCap::Draw(IGraphics& graphics) {
  if (caption_) graphics.DrawBitmap(*caption_, captionRect_, 0, 0, nullptr);
  return DrawButtons(graphics);
}
