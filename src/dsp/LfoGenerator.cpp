#include "dsp/LfoGenerator.h"

#include <cmath>

namespace {

// Start phase into [0, period). Phase, symmetry and the bar-aligned sync
// phase are offsets, and turning one of them down between blocks leaves the
// carried phase negative; left there, the triangle and square would leave
// +-1. A non-finite phase (a broken host position) restarts at 0.
double WrapStart(double e, double period) {
  if (!std::isfinite(e)) return 0.0;
  if (std::fabs(e) > 1e6 * period) e = std::fmod(e, period);
  while (e >= period) e -= period;
  while (e < 0.0) e += period;
  return e < period ? e : 0.0;  // a tiny negative plus the period rounds up to it
}

enum class Wave { kCosine, kBlend, kTriangle, kSquare };

// One waveform value in -1..1 at phase e (0 <= e < P for in-range phases).
template <Wave W>
inline double WaveValue(const LfoGenerator& o, double e, double period, double fallEnd) {
  const double a = o.turnPoint;
  if constexpr (W == Wave::kCosine) {
    return e < fallEnd ? std::cos(0.5 * e / a)
                       : std::cos((period - 2.0 * a * period + e) / (2.0 - 2.0 * a));
  } else if constexpr (W == Wave::kBlend) {
    double g, h;
    if (e < fallEnd) {
      g = std::cos(0.5 * e / a);
      h = e * o.fallSlope + o.fallOffset;
    } else {
      g = std::cos((period - 2.0 * a * period + e) / (2.0 - 2.0 * a));
      h = e * o.riseSlope + o.riseOffset;
    }
    return (1.0 - o.shape) * g + o.shape * h;
  } else if constexpr (W == Wave::kTriangle) {
    return e < fallEnd ? e * o.fallSlope + o.fallOffset : e * o.riseSlope + o.riseOffset;
  } else {
    double q;
    if (e < fallEnd) {
      q = e < o.sqRiseEnd - period ? (e + period) * o.sqRiseSlope + o.sqRiseOffset
                                   : e * o.sqFallSlope + o.sqFallOffset;
    } else {
      q = e < period + o.sqFallStart ? e * o.sqRiseSlope + o.sqRiseOffset
                                     : (e - period) * o.sqFallSlope + o.sqFallOffset;
    }
    if (std::fabs(q) <= 1.0) return q;
    return q > 0.0 ? 1.0 : -1.0;
  }
}

// Fills count values from start phase e advancing by step; returns the
// phase after the last sample.
template <Wave W>
double RenderWave(const LfoGenerator& o, double* out, int count, double e, double step) {
  const double period = 2.0 * o.pi;
  const double fallEnd = o.turnPoint * period;
  for (int i = 0; i < count; ++i) {
    out[i] = (WaveValue<W>(o, e, period, fallEnd) + 1.0) * 0.5;
    e += step;
    if (e >= period) {
      e -= period;
      // Only a sample rate below the oscillator rate makes a step longer
      // than a period.
      if (e >= period) e = WrapStart(e, period);
    }
  }
  return e;
}

}  // namespace

LfoGenerator::LfoGenerator() : pi(2.0 * std::acos(0.0)), increment(2.0 * pi * rate / sampleRate) {
  SymmetryStep();
  ShapeStep();
}

void LfoGenerator::SetRate(double hz) {
  rate = hz < kMaxRate ? hz : kMaxRate;
  increment = 2.0 * pi * rate / sampleRate;
  SymmetryStep();
  if (!(shape > 1.0)) ShapeStep();  // SymmetryStep ran it otherwise
}

void LfoGenerator::SetSampleRate(double fs) {
  sampleRate = fs;
  increment = 2.0 * pi * rate / sampleRate;
}

void LfoGenerator::SymmetryStep() {
  const double m = minRampTime * rate;  // share of a period that 8 ms takes
  const double a = (1.0 - 2.0 * m) * symmetry + m;
  turnPoint = a;
  fallSlope = -1.0 / (pi * a);
  fallOffset = 1.0;
  riseSlope = 1.0 / (pi * (1.0 - a));
  riseOffset = (-1.0 - a) / (1.0 - a);
  if (shape > 1.0) ShapeStep();
}

void LfoGenerator::ShapeStep() {
  const double P = 2.0 * pi;
  const double a = turnPoint;
  const double A = P * a;
  const double w = P * minRampTime * rate;  // 8 ms in radians
  const double D = (P - 2.0 * w) * (1.0 - a);
  const double s = shape - 1.0;
  const double B3 = A - D * a;
  const double B4 = D * (1.0 - a) + A;
  const double E7 = (B4 - A) * s + A;
  const double E2 = P - (P - (B4 + w)) * s;
  const double E4 = (B3 - w) * s;
  const double E1 = A - (A - B3) * s;
  sqFallStart = E4;
  sqRiseEnd = E2;
  sqRiseSlope = -2.0 / (E7 - E2);
  sqRiseOffset = (E2 + E7) / (E7 - E2);
  sqFallSlope = -2.0 / (E1 - E4);
  sqFallOffset = (E4 + E1) / (E1 - E4);
}

void LfoGenerator::Render(double* buffer, int count, bool realTime) {
  const double period = 2.0 * pi;
  const double skew = std::fabs(symmetry - 0.5);
  const double offset = realTime ? (2.0 * syncPhase + phase + skew) * pi : (phase + skew) * pi;
  const bool continues = realTime && offset == endOffset && phaseCarry == endCarry;
  double e = continues ? endPhase : WrapStart(realTime ? offset + phaseCarry : offset, period);
  const double step = realTime ? increment : (count > 1 ? period / (count - 1) : 0.0);

  // The shape is fixed for the block, so the waveform is chosen once; the
  // cosine is only evaluated where it is used.
  if (shape <= 0.01)
    e = RenderWave<Wave::kCosine>(*this, buffer, count, e, step);
  else if (shape > 0.01 && shape < 0.99)
    e = RenderWave<Wave::kBlend>(*this, buffer, count, e, step);
  else if (shape >= 0.99 && shape <= 1.01)
    e = RenderWave<Wave::kTriangle>(*this, buffer, count, e, step);
  else
    e = RenderWave<Wave::kSquare>(*this, buffer, count, e, step);

  if (realTime) {
    phaseCarry = e - offset;
    endPhase = e;
    endOffset = offset;
    endCarry = phaseCarry;
  }
}
