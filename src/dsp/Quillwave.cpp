#include "dsp/Quillwave.h"

Quillwave::Quillwave(vst::audioMasterCallback host) : IVstAdapter(host, kParamCount) {
  DefineParameters();
}

Quillwave::~Quillwave() = default;

void Quillwave::DefineParameters() {
  GetParameter(kMix)->DefineContinuous("Mix", 0.5, 0.0, 1.0, 0.01, "", 1.0);
  GetParameter(kLfoFrequency)->DefineContinuous("LfoFrequency", 6.0, 0.1, 32.0, 0.1, "", 1.0);
  GetParameter(kNote)->DefineContinuous("Note", 3.0, 0.0, 6.0, 1.0, "", 1.0);
  GetParameter(kPhase)->DefineContinuous("Phase", 1.5, 0.5, 2.5, 0.01, "", 1.0);
  GetParameter(kSymmetry)->DefineContinuous("Symmetry", 0.0, 0.0, 1.0, 0.01, "", 1.0);
  GetParameter(kShape)->DefineContinuous("Shape", 1.0, 0.0, 2.0, 0.01, "", 1.0);
  GetParameter(kPrefix)->DefineContinuous("Prefix", 0.0, 0.0, 2.0, 1.0, "", 1.0);
  GetParameter(kTempoSync)->DefineContinuous("TempoSync", 0.0, 0.0, 1.0, 1.0, "", 1.0);
  GetParameter(kOnOff)->DefineInteger("OnOff", 0, 0, 1);
  GetParameter(kMode)->DefineInteger("Mode", 0, 0, 1);
  GetParameter(kCutoff1)->DefineContinuous("Cutoff1", 0.2, 0.0, 1.0, 0.001, "", 1.0);
  GetParameter(kCutoff2)->DefineContinuous("Cutoff2", 0.4, 0.0, 1.0, 0.001, "", 1.0);
  GetParameter(kResonance)->DefineContinuous("Resonance", 4.0, 0.1, 4.0, 0.001, "", 1.0);
  GetParameter(kFilterMode)->DefineInteger("FilterMode", 0, 0, 2);
}
