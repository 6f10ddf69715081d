#pragma once

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <chrono>
#include <cstdint>
#include <memory>

#include "core/IEditorLoop.h"
#include "core/IEffectCore.h"


// The LV2 X11 user interface of a plug-in: the effect's own panel, embedded
// in the host's window. The UI may live in another process than the audio,
// so it keeps an effect of its own as the model of the parameter values:
// the host's port events set it, and the panel's gestures write the ports
// (values in the parameter's own units) and tell the host where a gesture
// begins and ends. Where the host calls idle, the window's events and ticks
// run in those calls, so everything happens on the host's UI thread, host
// calls included; otherwise the window keeps a thread of its own.
class Lv2Ui final : public IHostLink, private IEditorLoop {
 public:
  // Null when the host gives no parent window, the effect has no editor, or
  // the window could not be opened. Never throws.
  static Lv2Ui* Create(LV2UI_Write_Function write, void* controller, void** widget,
                       const LV2_Feature* const* features, IEffectCore* (*make)());
  ~Lv2Ui();
  Lv2Ui(const Lv2Ui&) = delete;
  Lv2Ui& operator=(const Lv2Ui&) = delete;

  IEffectCore& Model() const { return *model_; }

  // A control port's value (format 0: one float); other ports and formats
  // are ignored.
  void PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
  // The host's idle call: the panel's gestures reach the host here.
  int Idle();

  // ---- IHostLink ----
  void BeginParameterGesture(int32_t index) override;
  void InformHostOfParameter(int32_t index, double normalized) override;
  void EndParameterGesture(int32_t index) override;
  void InformHostOfPresetChange() override {}
  bool HostRendersOffline() override { return false; }
  int64_t HostSamplePosition() override { return 0; }
  double HostTempo() override { return 0.0; }
  void HostTimeSignature(int32_t& numerator, int32_t& denominator) override {
    numerator = denominator = 0;
  }
  void ReadHostTime(HostTimeInfo&) override {}
  int32_t HostIdentifier() override { return 0; }
  void EditorResized() override;
  void LatencyChanged(int32_t) override {}
  bool SendMidiMessage(const MidiMessage&) override { return false; }
  bool SendSystemExclusive(const SysExMessage&) override { return false; }
  bool CloseAfterDelivery() override { return false; }

 private:
  Lv2Ui(std::unique_ptr<IEffectCore> model, LV2UI_Write_Function write, void* controller,
        const LV2UI_Resize* resize, const LV2UI_Touch* touch);
  void Touch(int32_t index, bool grabbed);
  // IEditorLoop: the host's idle calls drain the window's events and tick
  // it at its own pace; nothing to register.
  bool Watch(int, int periodMs) override;
  void Unwatch() override { onLoop_ = false; }

  std::unique_ptr<IEffectCore> model_;
  LV2UI_Write_Function write_;
  void* controller_;
  const LV2UI_Resize* resize_;
  const LV2UI_Touch* touch_;
  bool onLoop_ = false;
  std::chrono::milliseconds period_{40};
  std::chrono::steady_clock::time_point lastTick_{};
};
