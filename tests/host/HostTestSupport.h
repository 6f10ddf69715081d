#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "TestHost.h"

namespace qwtest {

constexpr int kParams = 14;
constexpr int kPresets = 5;
constexpr int kBypass = 8;  // "OnOff": input copied to output whatever the effect does

// Default value of each parameter, normalised (linear over the table's range).
inline const std::vector<float>& DefaultNormalized() {
  static const std::vector<float> v = {0.5f,                       // Mix
                                       float((6.0 - 0.1) / 31.9),  // LfoFrequency
                                       0.5f,                       // Note 3 of 0..6
                                       0.5f,                       // Phase 1.5 of 0.5..2.5
                                       0.0f,
                                       0.5f,
                                       0.0f,
                                       0.0f,
                                       0.0f,
                                       0.0f,
                                       0.2f,
                                       0.4f,
                                       1.0f,  // Resonance 4 of 0.1..4
                                       0.0f};
  return v;
}

// The library loaded once per test program.
inline TestHost& SharedHost() {
  static TestHost host;
  return host;
}

inline std::vector<std::vector<float>> Signal(int channels, int frames, float seed) {
  std::vector<std::vector<float>> s(channels, std::vector<float>(frames));
  for (int c = 0; c < channels; ++c)
    for (int f = 0; f < frames; ++f)
      s[c][f] = 0.5f * std::sin(seed + 0.01f * f * (c + 1)) + 1e-3f * c;
  return s;
}

}  // namespace qwtest
