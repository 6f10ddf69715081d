#include "editor/IValueReadout.h"

#include "editor/IGraphics.h"
#include "raster/Fill.h"

IValueReadout::IValueReadout(IEffectCore* plugin, const IRect& rect, IControl* knob,
                             const IValueTexts* texts, int lingerTicks)
    : IControl(plugin, rect), knob_(knob), texts_(texts), lingerTicks_(lingerTicks) {
  hidden_.store(true, std::memory_order_relaxed);
  textStyle_.size = 11;
  textStyle_.style = ITextStyle::kBold;
  textStyle_.color = kInk;
  textStyle_.align = ITextStyle::kCenter;
}

bool IValueReadout::Touched() const {
  const IGraphics* g = Graphics();
  if (!g || knob_->IsHidden()) return false;
  for (int i : {g->MouseOverIndex(), g->CaptureIndex(), g->WheelIndex()})
    if (i >= 0 && g->GetControl(i) == knob_) return true;
  return false;
}

void IValueReadout::Tick() {
  if (Touched()) {
    left_ = lingerTicks_;
  } else if (left_ > 0) {
    --left_;
  }
  const bool show = left_ > 0;
  if (show != !IsHidden()) {
    SetHidden(!show);
    shownValue_ = -1.0;
  }
  // A drag, a wheel step or the host's automation while it shows.
  if (show && knob_->Value() != shownValue_) MarkDirty(false);
}

void IValueReadout::WindowGone() {
  left_ = 0;
  if (!IsHidden()) SetHidden(true);
}

void IValueReadout::Text(char* text, size_t capacity) const {
  texts_->Format(knob_->ParamIndex(), knob_->Value(), text, capacity);
}

bool IValueReadout::Draw(IGraphics& g) {
  const IRect box = rect_.Intersect(g.DrawingClip());
  if (box.W() <= 0 || box.H() <= 0) return true;
  raster::IBitmap* surface = g.Surface();
  raster::FillRect(surface, box.left, box.top, box.W(), box.H(), kEdge.Packed(), 1.0f,
                   BlitCopy);
  const IRect inner{rect_.left + 1, rect_.top + 1, rect_.right - 1, rect_.bottom - 1};
  const IRect fill = inner.Intersect(box);
  if (fill.W() > 0 && fill.H() > 0)
    raster::FillRect(surface, fill.left, fill.top, fill.W(), fill.H(), kFill.Packed(), 1.0f,
                     BlitCopy);
  shownValue_ = knob_->Value();
  char text[32];
  texts_->Format(knob_->ParamIndex(), shownValue_, text, sizeof text);
  IRect line = rect_;
  line.top += (rect_.H() - textStyle_.size) / 2 - 1;
  return g.DrawText(textStyle_, text, line);
}
