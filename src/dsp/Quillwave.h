#pragma once

#include "host/IVstAdapter.h"

// The plug-in's own class: the fourteen automatable parameters of the wah
// and auto-pan effect on top of the VST adapter.
class Quillwave : public IVstAdapter {
public:
  enum Param : int32_t {
    kMix = 0,
    kLfoFrequency,
    kNote,
    kPhase,
    kSymmetry,
    kShape,
    kPrefix,
    kTempoSync,
    kOnOff,
    kMode,
    kCutoff1,
    kCutoff2,
    kResonance,
    kFilterMode,
    kParamCount
  };

  explicit Quillwave(vst::audioMasterCallback host);
  ~Quillwave() override;

private:
  void DefineParameters();
};
