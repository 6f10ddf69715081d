#pragma once

#include <vector>

#include "core/IEditorLink.h"
#include "core/IEffectCore.h"

// A core with the effect's fourteen parameters; the host-facing operations
// record what reached them.
class TestEffect : public IEffectCore {
 public:
  TestEffect() {
    struct Row {
      const char* name;
      double def, min, max, step;
    };
    static const Row rows[] = {
        {"Mix", 0.5, 0, 1, 0.01},
        {"LfoFrequency", 6, 0.1, 32, 0.1},
        {"Note", 3, 0, 6, 1},
        {"Phase", 1.5, 0.5, 2.5, 0.01},
        {"Symmetry", 0, 0, 1, 0.01},
        {"Shape", 1, 0, 2, 0.01},
        {"Prefix", 0, 0, 2, 1},
        {"TempoSync", 0, 0, 1, 1},
        {"OnOff", 0, 0, 1, 1},
        {"Mode", 0, 0, 1, 1},
        {"Cutoff1", 0.2, 0, 1, 0.001},
        {"Cutoff2", 0.4, 0, 1, 0.001},
        {"Resonance", 4, 0.1, 4, 0.001},
        {"FilterMode", 0, 0, 2, 1},
    };
    for (int i = 0; i < 14; ++i) {
      const Row& r = rows[i];
      if (i == 8 || i == 9 || i == 13)
        GetParameter(i)->DefineInteger(r.name, int(r.def), int(r.min), int(r.max));
      else
        GetParameter(i)->DefineContinuous(r.name, r.def, r.min, r.max, r.step, "", 1.0);
    }
    SetBlockFrames(1024);
    InitializeUndefinedPresets();
  }

  void ParamChanged(int32_t index) override {
    IEffectCore::ParamChanged(index);
    changed.push_back(index);
  }
  void OnPresetChanged() override { ++presetChanges; }

  void BeginParameterGesture(int32_t) override {}
  void InformHostOfParameter(int32_t index, double n) override { informed.push_back({index, n}); }
  void EndParameterGesture(int32_t) override {}
  void InformHostOfPresetChange() override {}
  int64_t HostSamplePosition() override { return 0; }
  double HostTempo() override { return 120.0; }
  void HostTimeSignature(int32_t& num, int32_t& den) override { num = den = 4; }
  void ReadHostTime(HostTimeInfo&) override {}
  void NotifyEditorResized(int32_t, int32_t) override {}
  bool SendMidiMessage(const MidiMessage& m) override {
    sentMidi.push_back(m);
    return true;
  }

  double Value(int i) const { return GetParameter(i)->Value(); }

  struct Informed {
    int32_t index;
    double n;
  };
  std::vector<int32_t> changed;
  std::vector<Informed> informed;
  std::vector<MidiMessage> sentMidi;
  int presetChanges = 0;
};

// Editor stand-ins that record what the core pushed into them.
class FakeControl : public IEditorControlLink {
 public:
  explicit FakeControl(int param, std::vector<int> linked = {})
      : linkedValues(linked.size(), -1.0), param_(param), linked_(std::move(linked)) {}
  int ParamIndex() const override { return param_; }
  int LinkedParamCount() const override { return int(linked_.size()); }
  int LinkedParamIndex(int k) const override { return linked_[size_t(k)]; }
  void ApplyValueFromPlugin(double v) override { values.push_back(v); }
  void ApplyLinkedValueFromPlugin(int k, double v) override {
    linkedValues[size_t(k)] = v;
    ++linkedCalls;
  }

  std::vector<double> values;
  std::vector<double> linkedValues;
  int linkedCalls = 0;

 private:
  int param_;
  std::vector<int> linked_;
};

class FakeGraphics : public IEditorLink {
 public:
  explicit FakeGraphics(int* deleted = nullptr) : deleted_(deleted) {}
  ~FakeGraphics() override {
    for (FakeControl* c : controls) delete c;
    if (deleted_) ++*deleted_;
  }
  int ControlCount() const override { return int(controls.size()); }
  IEditorControlLink* GetControlLink(int i) const override { return controls[size_t(i)]; }
  int Width() const override { return 0; }
  int Height() const override { return 0; }
  void* OpenWindow(void*) override { return nullptr; }
  void CloseWindow() override {}
  void PushParameterToControls(int index, double value, bool isNormalized) override {
    pushed.push_back({index, value, isNormalized});
  }

  struct Push {
    int index;
    double value;
    bool normalized;
  };
  std::vector<FakeControl*> controls;
  std::vector<Push> pushed;

 private:
  int* deleted_;
};
