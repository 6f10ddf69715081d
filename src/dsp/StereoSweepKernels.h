#pragma once

// The stereo sweep kernels, written once over the coefficient pass's vector
// type V. Included only by the one source per instruction set; everything
// here has internal linkage, and the shared formulas are instantiated with
// V alone, so the two builds never share a compiled function. No standard
// library templates here for the same reason.
#include <cstring>

#include "dsp/StereoSweep.h"

namespace {

using Pair = double __attribute__((vector_size(16)));  // left, right
constexpr int kChunk = 64;                              // frames per coefficient pass

template <class V>
V Load(const double* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class V>
void Store(double* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

// Vector j..j+lanes-1 of n values; a last partial vector is padded with
// the last value (so the padding's coefficients are finite).
template <class V>
V LoadPadded(const double* values, int j, int n) {
  constexpr int kLanes = int(sizeof(V) / sizeof(double));
  if (j + kLanes <= n) return Load<V>(values + j);
  double tail[kLanes];
  for (int i = 0; i < kLanes; ++i) tail[i] = values[j + i < n ? j + i : n - 1];
  return Load<V>(tail);
}

// Calls fn(j, cutoffs, resonances) for frames j..j+lanes-1 of the n in the
// chunk at start, a vector at a time (the resonance all q while steady);
// fn may store a whole vector at j.
template <class V, class Fn>
void ForEachVector(const dsp::StereoFrames& f, int start, int n, double q, Fn&& fn) {
  constexpr int kLanes = int(sizeof(V) / sizeof(double));
  const V steady = V{} + q;
  for (int j = 0; j < n; j += kLanes)
    fn(j, LoadPadded<V>(f.cutoff + start, j, n),
       f.resonance ? LoadPadded<V>(f.resonance + start, j, n) : steady);
}

// The output frame from the dry frame x and the filtered one.
template <bool kPan, bool kMixMoves>
Pair MixFrame(const dsp::StereoFrames& f, int k, Pair x, Pair wet) {
  const double mix = kMixMoves ? f.mixes[k] : f.mix;
  const double dry = 1.0 - mix;
  if constexpr (kPan) {
    const double t = f.pan[k];
    const Pair gain = {t, 1.0 - t};
    return mix * wet * gain + dry * x;
  } else {
    return dry * x + mix * wet;
  }
}

template <bool kPan, bool kMixMoves>
void Put(const dsp::StereoFrames& f, int k, Pair x, Pair wet) {
  const Pair o = MixFrame<kPan, kMixMoves>(f, k, x, wet);
  f.out[0][k] = o[0];
  f.out[1][k] = o[1];
}

template <class V, bool kPan, bool kMixMoves>
void LowPass(double piOverFs, double q, dsp::LP2History* h, const dsp::StereoFrames& frames) {
  const dsp::StereoFrames f = frames;  // a local copy: no output store can change it
  using C = dsp::LP2Coefficients;
  alignas(32) double cx[kChunk], cy1[kChunk], cy2[kChunk];
  Pair y1 = {h[0].y1, h[1].y1}, y2 = {h[0].y2, h[1].y2};
  for (int start = 0; start < f.frames; start += kChunk) {
    const int left = f.frames - start;
    const int n = left < kChunk ? left : kChunk;
    ForEachVector<V>(f, start, n, q, [&](int j, V cut, V res) {
      const V a = cut * piOverFs;
      V x, b1, b2;
      C::Terms(a, res, 1.0 / C::Denominator(a, res), x, b1, b2);
      Store(cx + j, x);
      Store(cy1 + j, b1);
      Store(cy2 + j, b2);
    });
    for (int j = 0; j < n; ++j) {
      const int k = start + j;
      const Pair x = {f.in[0][k], f.in[1][k]};
      const Pair y = cy1[j] * y1 + (cy2[j] * y2 + cx[j] * x);
      y2 = y1;
      y1 = y;
      Put<kPan, kMixMoves>(f, k, x, y);
    }
  }
  for (int c = 0; c < 2; ++c) h[c] = {y1[c], y1[c], y2[c]};
}

template <class V, bool kPan, bool kMixMoves>
void BandPass(double piOverFs, double q, double gain, dsp::BP2History* h,
              const dsp::StereoFrames& frames) {
  const dsp::StereoFrames f = frames;  // a local copy: no output store can change it
  using C = dsp::BP2Coefficients;
  alignas(32) double b0[kChunk], a1[kChunk], a2[kChunk];
  Pair y1 = {h[0].y1, h[1].y1}, y2 = {h[0].y2, h[1].y2};
  Pair x1 = {h[0].x1, h[1].x1}, x2 = {h[0].x2, h[1].x2};
  for (int start = 0; start < f.frames; start += kChunk) {
    const int left = f.frames - start;
    const int n = left < kChunk ? left : kChunk;
    ForEachVector<V>(f, start, n, q, [&](int j, V cut, V res) {
      const V a = cut * piOverFs;
      V b, f1, f2;
      C::Terms(a, res, 1.0 / C::Denominator(a, res), b, f1, f2);
      Store(b0 + j, b);
      Store(a1 + j, f1);
      Store(a2 + j, f2);
    });
    for (int j = 0; j < n; ++j) {
      const int k = start + j;
      const Pair x = {f.in[0][k], f.in[1][k]};
      const Pair v = a1[j] * y1 + (a2[j] * y2 + b0[j] * (x - x2));
      x2 = x1;
      x1 = x;
      y2 = y1;
      y1 = v;
      Put<kPan, kMixMoves>(f, k, x, gain * v);
    }
  }
  for (int c = 0; c < 2; ++c) h[c] = {y1[c], y1[c], y2[c], x1[c], x2[c]};
}

template <class V, bool kPan, bool kMixMoves>
void Wah(const dsp::WahTerms& terms, dsp::HP1History* hp, dsp::BP2History* narrow,
         dsp::BP2History* wide, const dsp::StereoFrames& frames) {
  // Local copies: no output store can change them.
  const dsp::WahTerms t = terms;
  const dsp::StereoFrames f = frames;
  using B = dsp::BP2Coefficients;
  using H = dsp::HP1Coefficients;
  alignas(32) double k1[kChunk], w1[kChunk];
  alignas(32) double nb0[kChunk], na1[kChunk], na2[kChunk];
  alignas(32) double wb0[kChunk], wa1[kChunk], wa2[kChunk];
  const double w2 = t.shape.weight2 * t.gain2;
  Pair hx1 = {hp[0].x1, hp[1].x1}, hy1 = {hp[0].y1, hp[1].y1};
  Pair ny1 = {narrow[0].y1, narrow[1].y1}, ny2 = {narrow[0].y2, narrow[1].y2};
  Pair nx1 = {narrow[0].x1, narrow[1].x1}, nx2 = {narrow[0].x2, narrow[1].x2};
  Pair wy1 = {wide[0].y1, wide[1].y1}, wy2 = {wide[0].y2, wide[1].y2};
  Pair wx1 = {wide[0].x1, wide[1].x1}, wx2 = {wide[0].x2, wide[1].x2};
  for (int start = 0; start < f.frames; start += kChunk) {
    const int left = f.frames - start;
    const int n = left < kChunk ? left : kChunk;
    ForEachVector<V>(f, start, n, t.shape.qBase, [&](int j, V cut, V qBase) {
      const V a = cut * t.piOverFs;
      const dsp::WahPlacement<V> p = dsp::PlaceWah(t.shape, cut, qBase);
      // Three reciprocals from one division.
      const V d1 = B::Denominator(a, p.q1);
      const V d2 = B::Denominator(a, t.q2);
      const V d3 = H::Denominator(p.hpCutoff, t.twoPiOverFs);
      const V d12 = d1 * d2;
      const V inverse = 1.0 / (d12 * d3);
      const V r12 = inverse * d3;
      V b, f1, f2;
      B::Terms(a, p.q1, r12 * d2, b, f1, f2);
      Store(nb0 + j, b);
      Store(na1 + j, f1);
      Store(na2 + j, f2);
      B::Terms(a, t.q2, r12 * d1, b, f1, f2);
      Store(wb0 + j, b);
      Store(wa1 + j, f1);
      Store(wa2 + j, f2);
      Store(k1 + j, inverse * d12);
      Store(w1 + j, dsp::NarrowWeight(t.shape.weight1, p.position) * t.gain1);
    });
    // The bands first, then the high-pass and the mix: each loop keeps its
    // history in registers.
    alignas(16) Pair sum[kChunk];
    for (int j = 0; j < n; ++j) {
      const int k = start + j;
      const Pair x = {f.in[0][k], f.in[1][k]};
      const Pair v1 = na1[j] * ny1 + (na2[j] * ny2 + nb0[j] * (x - nx2));
      const Pair v2 = wa1[j] * wy1 + (wa2[j] * wy2 + wb0[j] * (x - wx2));
      nx2 = nx1;
      nx1 = x;
      ny2 = ny1;
      ny1 = v1;
      wx2 = wx1;
      wx1 = x;
      wy2 = wy1;
      wy1 = v2;
      sum[j] = w1[j] * v1 + w2 * v2;
    }
    for (int j = 0; j < n; ++j) {
      const int k = start + j;
      const Pair x = {f.in[0][k], f.in[1][k]};
      const Pair s = sum[j];
      // The newest output only passes one multiply-add on to the next.
      const Pair high = k1[j] * hy1 + k1[j] * (s - hx1);
      hx1 = s;
      hy1 = high;
      Put<kPan, kMixMoves>(f, k, x, (high + s) * t.shape.outputGain);
    }
  }
  for (int c = 0; c < 2; ++c) {
    hp[c] = {hx1[c], hy1[c]};
    narrow[c] = {ny1[c], ny1[c], ny2[c], nx1[c], nx2[c]};
    wide[c] = {wy1[c], wy1[c], wy2[c], wx1[c], wx2[c]};
  }
}

// One entry per filter kind, choosing the mixing variant once per call.
template <class V>
struct Kernels {
  static void LowPassAny(double piOverFs, double q, dsp::LP2History* h,
                         const dsp::StereoFrames& f) {
    if (f.frames <= 0) return;
    if (f.pan && f.mixes)
      LowPass<V, true, true>(piOverFs, q, h, f);
    else if (f.pan)
      LowPass<V, true, false>(piOverFs, q, h, f);
    else if (f.mixes)
      LowPass<V, false, true>(piOverFs, q, h, f);
    else
      LowPass<V, false, false>(piOverFs, q, h, f);
  }
  static void BandPassAny(double piOverFs, double q, double gain, dsp::BP2History* h,
                          const dsp::StereoFrames& f) {
    if (f.frames <= 0) return;
    if (f.pan && f.mixes)
      BandPass<V, true, true>(piOverFs, q, gain, h, f);
    else if (f.pan)
      BandPass<V, true, false>(piOverFs, q, gain, h, f);
    else if (f.mixes)
      BandPass<V, false, true>(piOverFs, q, gain, h, f);
    else
      BandPass<V, false, false>(piOverFs, q, gain, h, f);
  }
  static void WahAny(const dsp::WahTerms& t, dsp::HP1History* hp, dsp::BP2History* narrow,
                     dsp::BP2History* wide, const dsp::StereoFrames& f) {
    if (f.frames <= 0) return;
    if (f.pan && f.mixes)
      Wah<V, true, true>(t, hp, narrow, wide, f);
    else if (f.pan)
      Wah<V, true, false>(t, hp, narrow, wide, f);
    else if (f.mixes)
      Wah<V, false, true>(t, hp, narrow, wide, f);
    else
      Wah<V, false, false>(t, hp, narrow, wide, f);
  }
  static constexpr dsp::StereoSweepKernels kTable = {&LowPassAny, &BandPassAny, &WahAny};
};

}  // namespace
