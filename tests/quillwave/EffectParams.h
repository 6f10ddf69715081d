#pragma once
// Quillwave's parameters as a host test sets them: by index, in their own
// units, through the instance's setParameter.

#include "TestHost.h"

namespace qwtest::params {

enum P {
  kMix,
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
  kFilterMode
};

// Every row is linear over its range.
inline float Normalized(int index, double value) {
  static const double kMin[] = {0, 0.1, 0, 0.5, 0, 0, 0, 0, 0, 0, 0, 0, 0.1, 0};
  static const double kMax[] = {1, 32, 6, 2.5, 1, 2, 2, 1, 1, 1, 1, 1, 4, 2};
  return float((value - kMin[index]) / (kMax[index] - kMin[index]));
}

inline void Set(Instance& inst, int index, double value) {
  inst.SetParameter(index, Normalized(index, value));
}

}  // namespace qwtest::params
