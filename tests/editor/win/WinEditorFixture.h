#pragma once
// A plug-in core that records what its editor tells the host, and a panel
// of the library's images on a Windows editor window or, for reference, on
// the headless editor: the background, a knob and a row of three radio
// buttons that overlap.

#include <algorithm>
#include <vector>

#include "core/IEffectCore.h"
#include "editor/IBitmapControl.h"
#include "editor/IGraphics.h"
#include "editor/IKnobControl.h"
#include "editor/IRadioButtonsControl.h"

class WinTestEffect : public IEffectCore {
 public:
  enum Param { kMix, kMode, kRate, kParamCount };

  WinTestEffect() : IEffectCore(kParamCount, 1) { DefineParameters(*this); }

  // Also used by the test plug-in library that carries the same panel.
  static void DefineParameters(IEffectCore& fx) {
    fx.GetParameter(kMix)->DefineContinuous("Mix", 0.5, 0.0, 1.0, 0.01);
    fx.GetParameter(kMode)->DefineInteger("Mode", 0, 0, 2);
    fx.GetParameter(kRate)->DefineContinuous("Rate", 6.0, 0.1, 32.0, 0.1, "Hz");
  }

  // What the host was told: only what was delivered, which the editor
  // window does after each input or timer message and a test does by
  // calling DeliverHostEdits.
  struct Event {
    char kind;  // 'B'egin, 'I'nform, 'E'nd
    int index;
    double value;
  };
  int Count(char kind, int index) const {
    return int(std::count_if(events.begin(), events.end(), [&](const Event& e) {
      return e.kind == kind && e.index == index;
    }));
  }
  const Event* Last(char kind) const {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if (it->kind == kind) return &*it;
    return nullptr;
  }

  void BeginParameterGesture(int32_t i) override { events.push_back({'B', i, 0.0}); }
  void InformHostOfParameter(int32_t i, double n) override { events.push_back({'I', i, n}); }
  void EndParameterGesture(int32_t i) override { events.push_back({'E', i, 0.0}); }
  void NotifyEditorResized(int32_t, int32_t) override {}
  void InformHostOfPresetChange() override {}
  int64_t HostSamplePosition() override { return 0; }
  double HostTempo() override { return 120.0; }
  void HostTimeSignature(int32_t& num, int32_t& den) override { num = den = 4; }
  void ReadHostTime(HostTimeInfo&) override {}
  bool SendMidiMessage(const MidiMessage&) override { return false; }

  std::vector<Event> events;
};

// Places on the panel.
struct WinTestPanel {
  static constexpr int kWidth = 689, kHeight = 369;
  static constexpr int kKnobX = 100, kKnobY = 100;  // top-left of the 110 x 110 knob
  static constexpr int kKnobSize = 110;
  // Three 32 x 32 buttons spread over 80 pixels: at 0, 24 and 48, so the
  // first two and the last two overlap by 8 pixels.
  static constexpr IRect kRadio{300, 200, 380, 232};

  // Adds the panel to graphics and attaches it to fx (which owns it).
  static void Build(IEffectCore& fx, IGraphics* graphics) {
    graphics->SetBackground(
        new IBitmapControl(&fx, 0, 0, -1, graphics->LoadBitmapStrip(120, "back.png")));
    graphics->AddControl(new IKnobMultiControl(&fx, kKnobX, kKnobY, WinTestEffect::kMix,
                                               graphics->LoadBitmapStrip(110, "knob1_anim.png", 120)));
    graphics->AddControl(new IRadioButtonsControl(&fx, kRadio, WinTestEffect::kMode, 3,
                                                  graphics->LoadBitmapStrip(118, "switch.png", 2),
                                                  IRadioButtonsControl::kRow));
    fx.AttachEditor(graphics);
  }
};
