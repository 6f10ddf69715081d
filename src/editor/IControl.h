#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/IEditorLink.h"
#include "editor/IGraphicsTypes.h"

class IEffectCore;
class IGraphics;

// One element of the editor: a rectangle on the surface, optionally bound to
// one parameter, that draws itself and reacts to the mouse. Values are
// normalised to 0..1.
//
// The host's parameter thread writes the value and the flags (under the
// plug-in's lock) while the user-interface thread draws without it, so they
// are atomics with relaxed ordering: a redraw may see a value one frame
// late, never a torn one.
class IControl : public IEditorControlLink {
 public:
  IControl(IEffectCore* plugin, const IRect& rect, int paramIndex = -1, IBlendSpec blend = {});
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // ---- virtual operations, in slot order ----
  ~IControl() override;                                                      // 0
  // The right button opens value entry (when the control allows it).
  virtual void MouseDown(int x, int y, const IMouseMods& mods);              // 1
  virtual void MouseUp(int /*x*/, int /*y*/, const IMouseMods& /*mods*/) {}  // 2
  virtual void MouseDrag(int /*x*/, int /*y*/, int /*dX*/, int /*dY*/,
                         const IMouseMods& /*mods*/) {}                      // 3
  // Restores the reset value and sends it to the plug-in.
  virtual void MouseDoubleClick(int x, int y, const IMouseMods& mods);       // 4
  virtual void MouseWheel(int /*x*/, int /*y*/, const IMouseMods& /*mods*/,
                          int /*notches*/) {}                                // 5
  // False: the key was not used.
  virtual bool KeyDown(int /*x*/, int /*y*/, int /*code*/) { return false; }  // 6
  virtual void MouseOver(int /*x*/, int /*y*/, const IMouseMods& /*mods*/) {}  // 7
  virtual void MouseOut() {}                                                 // 8
  virtual bool Draw(IGraphics& graphics) = 0;                                // 9
  // The first value ever received becomes the reset value.
  void ApplyValueFromPlugin(double value) override;                          // 10
  virtual void ApplyUserValue(double value);                                 // 11
  // Committed free text, for a control without a parameter.
  virtual void ApplyEnteredText(const char* /*text*/) {}                     // 12
  virtual void SetHidden(bool hidden);                                       // 13
  virtual void SetGrayed(bool greyed);                                       // 14
  virtual bool HitTest(int x, int y) const;                                  // 15
  // Clamps the value, marks the control dirty and, with pushToPlugin, sends
  // the value to the bound parameter.
  virtual void MarkDirty(bool pushToPlugin);                                 // 16
  // After drawing: clean, unless a redraw was pending (then dirty once more).
  virtual void MarkClean();                                                  // 17
  virtual bool NeedsRedraw() const;                                          // 18
  virtual void UnusedHook() {}                                               // 19
  void ApplyLinkedValueFromPlugin(int k, double value) override;             // 20

  // ---- parameter links ----
  int ParamIndex() const override { return paramIndex_; }
  int LinkedParamCount() const override { return int(linked_.size()); }
  int LinkedParamIndex(int k) const override;
  // Adds a secondary parameter this control also shows (none in this editor).
  void AddLinkedParam(int paramIndex);
  double LinkedValue(int k) const;

  // ---- state ----
  double Value() const { return value_.load(std::memory_order_relaxed); }
  void SetValue(double v) { value_.store(v, std::memory_order_relaxed); }
  double ResetValue() const { return resetValue_.load(std::memory_order_relaxed); }
  bool IsHidden() const { return hidden_.load(std::memory_order_relaxed); }
  bool IsGrayed() const { return greyed_.load(std::memory_order_relaxed); }
  bool RedrawPending() const;
  const IRect& Rect() const { return rect_; }
  // What the control paints: its rectangle, and a caption beyond it when it
  // has one. Redrawing it repaints all of this area.
  const IRect& DrawArea() const { return drawArea_; }
  const IRect& TargetRect() const { return targetRect_; }
  void SetTargetRect(const IRect& r) { targetRect_ = r; }
  IBlendSpec Blend() const { return {blendKind_, blendWeight_.load(std::memory_order_relaxed)}; }
  ITextStyle& TextStyle() { return textStyle_; }
  int TextEntryLength() const { return textEntryLength_; }
  bool DoubleClickAsPress() const { return doubleClickAsPress_; }
  bool HoverWhileGrayed() const { return hoverWhileGrayed_; }
  bool ValueEntryDisabled() const { return valueEntryDisabled_; }
  void SetValueEntryDisabled(bool disabled) { valueEntryDisabled_ = disabled; }
  const std::string& Tooltip() const { return tooltip_; }
  IEffectCore* Plugin() const { return plugin_; }
  // The editor that owns the control; set when it is added.
  IGraphics* Graphics() const { return graphics_; }
  void SetGraphics(IGraphics* graphics) { graphics_ = graphics; }

 protected:
  // Opens value entry for the bound parameter when the control allows it.
  void PromptForValue();
  // The frame a stored value shows: trunc((frames - 1) * value) + 1, or to
  // the nearest frame with nearest set; always within 1..frames, whatever
  // the value (a value from the plug-in is stored unchecked).
  static int FrameFor(double value, int frames, bool nearest);
  // Offset of frame (1-based) within strip along its frame axis.
  static int FrameOffset(const IBitmapStrip& strip, int frame);

  // Dirty and redraw-pending live in one word, so that cleaning after a
  // redraw and a mark from another thread never lose each other.
  static constexpr std::uint8_t kDirty = 1, kRedrawPending = 2;
  void Mark(std::uint8_t bits) { state_.fetch_or(bits, std::memory_order_relaxed); }

  int textEntryLength_ = 7;
  ITextStyle textStyle_;
  IEffectCore* plugin_;
  IGraphics* graphics_ = nullptr;
  IRect rect_;
  IRect drawArea_;
  IRect targetRect_;
  int paramIndex_;
  struct LinkedParam {
    std::atomic<double> value{0.0};
    int paramIndex = -1;
  };
  std::vector<std::unique_ptr<LinkedParam>> linked_;
  std::atomic<double> value_{0.0};
  std::atomic<double> resetValue_{-1.0};  // below 0: not yet known
  double clampLow_ = 0.0, clampHigh_ = 1.0;
  std::atomic<std::uint8_t> state_{kDirty};
  std::atomic<bool> hidden_{false};
  std::atomic<bool> greyed_{false};
  bool valueEntryDisabled_ = true;
  bool doubleClickAsPress_ = false;
  bool hoverWhileGrayed_ = false;
  int blendKind_;
  std::atomic<float> blendWeight_;
  std::string tooltip_;
};
