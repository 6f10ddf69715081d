#pragma once

#include "editor/IGraphicsTypes.h"

namespace plot {

// Where the samples of a plot line land, in the line's precision T: n
// samples spread evenly over the inner rectangle's width, sample value 0 on
// its bottom edge and 1 on its top edge.
template <typename T>
struct CurveGeometry {
  T left = 0, bottom = 0, height = 0;
  T step = 0;     // horizontal distance between neighbouring samples
  int first = 0;  // samples first..last are drawn
  int last = -1;

  // count >= 2. The fractions select the part of the inner width that is
  // drawn (0 and 1 for all of it).
  static CurveGeometry Make(const IRect& inner, int count, T startFraction, T endFraction) {
    CurveGeometry g;
    const T width = T(inner.right - inner.left);
    g.left = T(inner.left);
    g.bottom = T(inner.bottom);
    g.height = T(inner.bottom - inner.top);
    g.step = width / T(count - 1);
    // fraction * (count - 1) is width * fraction / step without the
    // rounding of the division, which would drop the last sample of a
    // float line 140 pixels wide.
    g.first = Index(startFraction, count);
    g.last = Index(endFraction, count);
    return g;
  }

  T X(int i) const { return T(i) * step + left; }
  T Y(T sample) const { return bottom - height * sample; }

 private:
  static int Index(T fraction, int count) {
    const T position = fraction * T(count - 1);
    if (!(position > T(0))) return 0;  // also for a fraction that is not a number
    return position >= T(count - 1) ? count - 1 : int(position);
  }
};

}  // namespace plot
