#pragma once

#include "editor/IControl.h"
#include "editor/ITicking.h"
#include "editor/IValueTexts.h"

// A small label that shows a knob's value while the pointer is over the
// knob, while the knob is dragged and after a wheel step, and hides a
// moment after. It never takes the mouse and redraws only its own area.
class IValueReadout : public IControl, public ITicking {
 public:
  // rect: where the label sits; knob: the control it describes; lingerTicks:
  // redraw ticks it stays after the knob was last touched.
  IValueReadout(IEffectCore* plugin, const IRect& rect, IControl* knob, const IValueTexts* texts,
                int lingerTicks);

  bool Draw(IGraphics& graphics) override;
  bool HitTest(int, int) const override { return false; }
  void Tick() override;
  void WindowGone() override;

  const IControl* Knob() const { return knob_; }
  // The text the label shows for the knob's current value.
  void Text(char* text, size_t capacity) const;

  // The label's look.
  static constexpr IColorARGB kFill{255, 24, 24, 26};
  static constexpr IColorARGB kEdge{255, 246, 146, 30};
  static constexpr IColorARGB kInk{255, 236, 236, 232};

 private:
  bool Touched() const;

  IControl* knob_;
  const IValueTexts* texts_;
  int lingerTicks_;
  int left_ = 0;            // ticks until the label hides; 0: hidden
  double shownValue_ = -1.0;  // the knob value the label last drew
};
