#pragma once

// The oscillator's waveform, written once over a value type T: a vector of
// doubles for the bulk, a double for the last few phases. Included only by
// the one source per instruction set; everything here has internal linkage.
#include <cstring>

#include "dsp/LfoWave.h"

namespace {

using dsp::LfoWave;
using dsp::LfoWaveTerms;

constexpr double kPiHigh = 3.141592653589793;      // pi rounded to a double
constexpr double kPiLow = 1.2246467991473532e-16;  // pi - kPiHigh
constexpr double kHalfPi = 1.5707963267948966;

// (-1)^n / (2n)!: the cosine's series, which on [0, pi/2] is exact to well
// below a unit in the last place after these eleven terms.
constexpr double kCosSeries[] = {
    1.0,
    -1.0 / 2.0,
    1.0 / 24.0,
    -1.0 / 720.0,
    1.0 / 40320.0,
    -1.0 / 3628800.0,
    1.0 / 479001600.0,
    -1.0 / 87178291200.0,
    1.0 / 20922789888000.0,
    -1.0 / 6402373705728000.0,
    1.0 / 2432902008176640000.0,
};

// cos(x) for x in [0, 2 pi]: cos(x) = -cos(x - pi), and |x - pi| above
// pi/2 folds to pi - |x - pi|, where the sign turns again.
template <class T>
T CosOfTurn(T x) {
  const T zero{};
  const T t = (x - kPiHigh) - kPiLow;
  const T at = t < zero ? -t : t;
  const auto fold = at > kHalfPi;
  const T r = fold ? (kPiHigh - at) + kPiLow : at;
  const T z = r * r;
  T c = zero + kCosSeries[10];
  for (int n = 9; n >= 0; --n) c = c * z + kCosSeries[n];
  return fold ? c : -c;
}

// Each waveform on its falling (kFall) or rising segment.
template <bool kFall, class T>
T Triangle(const LfoWaveTerms& w, T e) {
  return kFall ? e * w.fallSlope + w.fallOffset : e * w.riseSlope + w.riseOffset;
}

template <bool kFall, class T>
T Cosine(const LfoWaveTerms& w, T e) {
  return CosOfTurn<T>(kFall ? e * w.fallScale : (e + w.riseShift) * w.riseScale);
}

template <bool kFall, class T>
T Square(const LfoWaveTerms& w, T e) {
  const T zero{};
  const T one = zero + 1.0;
  T q;
  if constexpr (kFall)
    q = e < w.sqRiseEndBefore ? (e + w.period) * w.sqRiseSlope + w.sqRiseOffset
                              : e * w.sqFallSlope + w.sqFallOffset;
  else
    q = e < w.sqFallStartAfter ? e * w.sqRiseSlope + w.sqRiseOffset
                               : (e - w.period) * w.sqFallSlope + w.sqFallOffset;
  const T magnitude = q < zero ? -q : q;
  return magnitude <= one ? q : (q > zero ? one : -one);
}

// One value in 0..1 at phase e.
template <LfoWave W, bool kFall, class T>
T Value(const LfoWaveTerms& w, T e) {
  T h;
  if constexpr (W == LfoWave::kCosine)
    h = Cosine<kFall>(w, e);
  else if constexpr (W == LfoWave::kBlend)
    h = (1.0 - w.shape) * Cosine<kFall>(w, e) + w.shape * Triangle<kFall>(w, e);
  else if constexpr (W == LfoWave::kTriangle)
    h = Triangle<kFall>(w, e);
  else
    h = Square<kFall>(w, e);
  return (h + 1.0) * 0.5;
}

// The phases advance by whole vectors: start + j*step is exact for every
// phase of the run, so adding lanes*step to a vector of them is too.
template <class V, LfoWave W, bool kFall>
void FillSegment(const LfoWaveTerms& terms, double start, double step, double* v, int count) {
  const LfoWaveTerms w = terms;  // a local copy: no store to v can change it
  constexpr int kLanes = int(sizeof(V) / sizeof(double));
  V e;
  for (int l = 0; l < kLanes; ++l) e[l] = start + double(l) * step;
  const double stride = double(kLanes) * step;
  int i = 0;
  for (; i + kLanes <= count; i += kLanes, e += stride) {
    const V out = Value<W, kFall>(w, e);
    std::memcpy(v + i, &out, sizeof out);
  }
  for (; i < count; ++i) v[i] = Value<W, kFall>(w, start + double(i) * step);
}

template <class V, LfoWave W>
void FillWave(const LfoWaveTerms& w, double start, double step, double* v, int count) {
  if (start < w.fallEnd)
    FillSegment<V, W, true>(w, start, step, v, count);
  else
    FillSegment<V, W, false>(w, start, step, v, count);
}

template <class V>
void FillAny(const LfoWaveTerms& w, double start, double step, double* v, int count) {
  switch (w.wave) {
    case LfoWave::kCosine:
      FillWave<V, LfoWave::kCosine>(w, start, step, v, count);
      break;
    case LfoWave::kBlend:
      FillWave<V, LfoWave::kBlend>(w, start, step, v, count);
      break;
    case LfoWave::kTriangle:
      FillWave<V, LfoWave::kTriangle>(w, start, step, v, count);
      break;
    case LfoWave::kSquare:
      FillWave<V, LfoWave::kSquare>(w, start, step, v, count);
      break;
  }
}

}  // namespace
