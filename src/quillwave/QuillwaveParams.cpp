// The parameter table: names, ranges, defaults and where each parameter's
// control sits on the editor panel.
#include "quillwave/Quillwave.h"

namespace {
// Labels are empty and every shape is linear.
constexpr Quillwave::ParamRow kParamRows[Quillwave::kParamCount] = {
    {"Mix", false, 0.5, 0.0, 1.0, 0.01, 593, 292},
    {"LfoFrequency", false, 6.0, 0.1, 32.0, 0.1, 124, 192},
    {"Note", false, 3.0, 0.0, 6.0, 1.0, 124, 192},
    {"Phase", false, 1.5, 0.5, 2.5, 0.01, 297, 183},
    {"Symmetry", false, 0.0, 0.0, 1.0, 0.01, 297, 295},
    {"Shape", false, 1.0, 0.0, 2.0, 0.01, 297, 71},
    {"Prefix", false, 0.0, 0.0, 2.0, 1.0, 148, 320},
    {"TempoSync", false, 0.0, 0.0, 1.0, 1.0, 26, 38},
    {"OnOff", true, 0.0, 0.0, 1.0, 1.0, 26, 298},
    {"Mode", true, 0.0, 0.0, 1.0, 1.0, 196, 38},
    {"Cutoff1", false, 0.2, 0.0, 1.0, 0.001, 433, 71},
    {"Cutoff2", false, 0.4, 0.0, 1.0, 0.001, 433, 183},
    {"Resonance", false, 4.0, 0.1, 4.0, 0.001, 433, 295},
    {"FilterMode", true, 0.0, 0.0, 2.0, 1.0, 520, 133},
};
}  // namespace

const Quillwave::ParamRow& Quillwave::ParamTable(int32_t index) { return kParamRows[index]; }

void Quillwave::DefineParameters() {
  for (int32_t i = 0; i < kParamCount; ++i) {
    const ParamRow& r = kParamRows[i];
    if (r.integer)
      GetParameter(i)->DefineInteger(r.name, static_cast<int32_t>(r.defaultValue),
                                     static_cast<int32_t>(r.minimum),
                                     static_cast<int32_t>(r.maximum));
    else
      GetParameter(i)->DefineContinuous(r.name, r.defaultValue, r.minimum, r.maximum, r.step, "",
                                        1.0);
  }
}
