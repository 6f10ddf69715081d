#pragma once

#include <optional>
#include <vector>

#include "editor/IControl.h"

// A group of n buttons spread evenly over the control's rectangle in a row
// or a column; button i stands for the value i / (n - 1). When the buttons
// are wider (or taller) than their share they overlap, and the first one in
// order takes a click on the overlap. A double click is a second press.
class IRadioButtonsControl : public IControl {
 public:
  enum Direction : int { kColumn = 0, kRow = 1 };

  // strip: frame 1 unselected, frame 2 selected. n needs to be at least 2.
  IRadioButtonsControl(IEffectCore* plugin, const IRect& rect, int paramIndex, int count,
                       const IBitmapStrip& strip, int direction = kColumn);

  // Selects the first button under the pointer; sends the value to the
  // plug-in even when no button was hit. The right button opens value entry
  // instead.
  void MouseDown(int x, int y, const IMouseMods& mods) override;
  bool Draw(IGraphics& graphics) override;

  int ButtonCount() const { return int(buttons_.size()); }
  const IRect& Button(int i) const { return buttons_[size_t(i)]; }
  // Index of the button the current value selects (the nearest one).
  int Selected() const;

 protected:
  bool DrawButtons(IGraphics& graphics);

  std::vector<IRect> buttons_;
  IBitmapStrip strip_;
};

// Radio buttons with a caption image placed at an offset from the control
// rectangle's top-left.
class IRadioButtonCap : public IRadioButtonsControl {
 public:
  IRadioButtonCap(IEffectCore* plugin, const IRect& rect, int paramIndex, int count,
                  const IBitmapStrip& strip, int direction, const IBitmapStrip* caption,
                  int captionDX, int captionDY);

  // The caption (normal blend, full weight), then the buttons.
  bool Draw(IGraphics& graphics) override;

  const IRect& CaptionRect() const { return captionRect_; }

 private:
  std::optional<IBitmapStrip> caption_;
  IRect captionRect_;
};
