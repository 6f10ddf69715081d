#pragma once
// What the LV2 bundle's tests share: stereo audio and the largest
// difference of two renders.

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace qwlv2 {

using Stereo = std::array<std::vector<float>, 2>;

// Largest absolute difference from frame from on; infinite when the
// lengths differ.
inline double MaxDiff(const Stereo& a, const Stereo& b, size_t from = 0) {
  double d = 0.0;
  for (size_t c = 0; c < 2; ++c) {
    if (a[c].size() != b[c].size()) return std::numeric_limits<double>::infinity();
    for (size_t i = from; i < a[c].size(); ++i)
      d = std::max(d, std::fabs(double(a[c][i]) - b[c][i]));
  }
  return d;
}

}  // namespace qwlv2
