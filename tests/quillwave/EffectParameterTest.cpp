// The fourteen parameters as the effect defines them, and the control
// centres the editor layout reads from the same table.
#include <gtest/gtest.h>

#include <cstring>

#include "HostedQuillwave.h"
#include "quillwave/Quillwave.h"

namespace {
vst::VstIntPtr NoHost(vst::AEffect*, vst::VstInt32, vst::VstInt32, vst::VstIntPtr, void*, float) {
  return 0;
}

struct Expected {
  const char* name;
  IParameter::Kind kind;
  double minimum, maximum, defaultValue, step;
  int decimals, x, y;
};

constexpr IParameter::Kind kC = IParameter::kContinuous;
constexpr IParameter::Kind kI = IParameter::kInteger;

const Expected kTable[] = {
    {"Mix", kC, 0, 1, 0.5, 0.01, 2, 593, 292},
    {"LfoFrequency", kC, 0.1, 32, 6, 0.1, 1, 124, 192},
    {"Note", kC, 0, 6, 3, 1, 0, 124, 192},
    {"Phase", kC, 0.5, 2.5, 1.5, 0.01, 2, 297, 183},
    {"Symmetry", kC, 0, 1, 0, 0.01, 2, 297, 295},
    {"Shape", kC, 0, 2, 1, 0.01, 2, 297, 71},
    {"Prefix", kC, 0, 2, 0, 1, 0, 148, 320},
    {"TempoSync", kC, 0, 1, 0, 1, 0, 26, 38},
    {"OnOff", kI, 0, 1, 0, 1, 0, 26, 298},
    {"Mode", kI, 0, 1, 0, 1, 0, 196, 38},
    {"Cutoff1", kC, 0, 1, 0.2, 0.001, 3, 433, 71},
    {"Cutoff2", kC, 0, 1, 0.4, 0.001, 3, 433, 183},
    {"Resonance", kC, 0.1, 4, 4, 0.001, 3, 433, 295},
    {"FilterMode", kI, 0, 2, 0, 1, 0, 520, 133},
};
}  // namespace

TEST(EffectParameters, TableAsDefined) {
  HostedQuillwave qHost(&NoHost);
  Quillwave& q = qHost.Plugin();
  for (int32_t i = 0; i < Quillwave::kParamCount; ++i) {
    const Expected& e = kTable[i];
    const IParameter* p = q.GetParameter(i);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->Name(), e.name) << i;
    EXPECT_STREQ(p->Label(), "") << i;
    EXPECT_EQ(p->GetKind(), e.kind) << i;
    EXPECT_EQ(p->Min(), e.minimum) << i;
    EXPECT_EQ(p->Max(), e.maximum) << i;
    EXPECT_EQ(p->Default(), e.defaultValue) << i;
    EXPECT_EQ(p->Value(), e.defaultValue) << i;
    EXPECT_EQ(p->Step(), e.step) << i;
    EXPECT_EQ(p->Shape(), 1.0) << i;
    EXPECT_EQ(p->DisplayPrecision(), e.decimals) << i;
    const Quillwave::ParamRow& row = Quillwave::ParamTable(i);
    EXPECT_EQ(row.x, e.x) << i;
    EXPECT_EQ(row.y, e.y) << i;
  }
}
