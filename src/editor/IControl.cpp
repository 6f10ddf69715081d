#include "editor/IControl.h"

#include <cmath>

#include "core/IEffectCore.h"
#include "core/IParameter.h"
#include "editor/IGraphics.h"

IControl::IControl(IEffectCore* plugin, const IRect& rect, int paramIndex, IBlendSpec blend)
    : plugin_(plugin),
      rect_(rect),
      drawArea_(rect),
      targetRect_(rect),
      paramIndex_(paramIndex),
      blendKind_(blend.kind),
      blendWeight_(blend.weight) {}

IControl::~IControl() = default;

void IControl::MouseDown(int, int, const IMouseMods& mods) {
  if (mods.right) PromptForValue();
}

void IControl::MouseDoubleClick(int, int, const IMouseMods&) {
  const double reset = ResetValue();
  if (reset >= 0.0) {
    SetValue(reset);
    MarkDirty(true);
  }
}

void IControl::ApplyValueFromPlugin(double v) {
  if (!(ResetValue() >= 0.0)) {
    resetValue_.store(v, std::memory_order_relaxed);
    SetValue(v);
    return;
  }
  const double current = Value();
  if (v != current || std::isnan(v) || std::isnan(current)) {
    SetValue(v);
    // Pending first: a clean that runs between the two marks then still
    // leaves the control dirty.
    Mark(kRedrawPending);
    MarkDirty(false);
  }
}

void IControl::ApplyUserValue(double v) {
  if (v != Value()) {
    SetValue(v);
    Mark(kRedrawPending);
    MarkDirty(true);
  }
}

void IControl::SetHidden(bool hidden) {
  hidden_.store(hidden, std::memory_order_relaxed);
  Mark(kRedrawPending);
  MarkDirty(false);
}

void IControl::SetGrayed(bool greyed) {
  greyed_.store(greyed, std::memory_order_relaxed);
  blendWeight_.store(greyed ? 0.25f : 1.0f, std::memory_order_relaxed);
  MarkDirty(false);
}

bool IControl::HitTest(int x, int y) const {
  return !targetRect_.Empty() && targetRect_.Contains(x, y);
}

void IControl::MarkDirty(bool pushToPlugin) {
  const double v = Value();
  const double clamped = v < clampLow_ ? clampLow_ : (clampHigh_ < v ? clampHigh_ : v);
  if (clamped != v) SetValue(clamped);
  Mark(kDirty);
  if (pushToPlugin && plugin_ && paramIndex_ >= 0)
    plugin_->SetParameterFromEditor(paramIndex_, clamped);
}

void IControl::MarkClean() {
  std::uint8_t state = state_.load(std::memory_order_relaxed);
  while (!state_.compare_exchange_weak(state, (state & kRedrawPending) ? kDirty : 0,
                                       std::memory_order_relaxed)) {
  }
}

bool IControl::NeedsRedraw() const {
  return (state_.load(std::memory_order_relaxed) & kDirty) != 0;
}

bool IControl::RedrawPending() const {
  return (state_.load(std::memory_order_relaxed) & kRedrawPending) != 0;
}

void IControl::ApplyLinkedValueFromPlugin(int k, double v) {
  if (k < 0 || k >= LinkedParamCount()) return;
  std::atomic<double>& stored = linked_[size_t(k)]->value;
  if (v != stored.load(std::memory_order_relaxed)) {
    stored.store(v, std::memory_order_relaxed);
    Mark(kRedrawPending);
    MarkDirty(false);
  }
}

int IControl::LinkedParamIndex(int k) const {
  return k >= 0 && k < LinkedParamCount() ? linked_[size_t(k)]->paramIndex : -1;
}

void IControl::AddLinkedParam(int paramIndex) {
  auto entry = std::make_unique<LinkedParam>();
  entry->paramIndex = paramIndex;
  linked_.push_back(std::move(entry));
}

double IControl::LinkedValue(int k) const {
  return k >= 0 && k < LinkedParamCount()
             ? linked_[size_t(k)]->value.load(std::memory_order_relaxed)
             : 0.0;
}

void IControl::PromptForValue() {
  if (paramIndex_ < 0 || valueEntryDisabled_ || !plugin_ || !graphics_) return;
  IParameter* parameter = plugin_->GetParameter(paramIndex_);
  if (!parameter) return;
  IRect rect = rect_;
  if (parameter->DisplayTextCount() == 0) {
    const int cx = int((rect_.left + rect_.right) * 0.5);
    const int cy = int((rect_.top + rect_.bottom) * 0.5);
    rect = {cx - 20, cy - 8, cx + 20, cy + 8};
  }
  graphics_->PromptValue(this, parameter, rect);
  Mark(kRedrawPending);
}

int IControl::FrameFor(double value, int frames, bool nearest) {
  if (frames <= 1) return 1;
  double f = (frames - 1) * value + (nearest ? 0.5 : 0.0);
  if (!(f >= 0.0)) f = 0.0;  // also a value that is not a number
  if (f > frames - 1) f = frames - 1;
  return int(f) + 1;
}

int IControl::FrameOffset(const IBitmapStrip& strip, int frame) {
  if (frame <= 1 || strip.frames < 2) return 0;
  const int dimension = strip.sideBySide ? strip.width : strip.height;
  return int(double(dimension) * (frame - 1) / strip.frames + 0.5);
}
