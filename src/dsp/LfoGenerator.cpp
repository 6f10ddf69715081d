#include "dsp/LfoGenerator.h"

#include <cmath>
#include <limits>

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

// The phase after e, as the serial step gives it.
double Advance(double e, double step, double period) {
  e += step;
  if (e >= period) {
    e -= period;
    // Only a sample rate below the oscillator rate makes a step longer
    // than a period.
    if (e >= period) e = WrapStart(e, period);
  }
  return e;
}

// The waveform's values at count phases from e, each the serial step of
// the one before; returns the phase after the last. The serial chain is
// exact arithmetic in disguise: while the phase stays inside one binade (one
// power of two) and below the period, adding step adds the same rounded
// amount s every time, unless step lies exactly halfway between two
// multiples of the binade's unit (then the rounding alternates with the
// last bit). So each run inside a binade is e + j*s, exact, without a chain
// from sample to sample, and only the steps across binades and the wrap are
// taken one at a time. A run never crosses the end of the fall.
double FillPhases(const dsp::LfoWaveTerms& w, double* out, int count, double e, double step) {
  const double period = w.period;
  const dsp::LfoWaveFill fill = dsp::LfoWaves();
  int i = 0;
  while (i < count) {
    const int left = count - i;
    int run = 1;
    double s = 0.0;
    if (e >= std::numeric_limits<double>::min() && e < period) {
      int exponent;
      std::frexp(e, &exponent);
      const double top = std::ldexp(1.0, exponent);  // e lies in [top/2, top)
      const double unit = std::ldexp(1.0, exponent - std::numeric_limits<double>::digits);
      // A run also ends where the fall ends, so the kernel takes one
      // segment of the waveform throughout.
      const double segmentEnd = e < w.fallEnd ? w.fallEnd : period;
      const double limit = top < segmentEnd ? top : segmentEnd;
      const double next = e + step;
      const double added = next - e;  // exact while next stays in the binade
      if (next < limit && added >= 0.0 && std::fabs(step - added) != 0.5 * unit) {
        s = added;
        const double room = s > 0.0 ? (limit - e) / s : double(left);
        run = room < double(left) ? int(room) + 1 : left;
        while (run > 1 && e + double(run - 1) * s >= limit) --run;
        while (run < left && e + double(run) * s < limit) ++run;
      }
    }
    fill(w, e, s, out + i, run);
    i += run;
    e = Advance(e + double(run - 1) * s, step, period);
  }
  return e;
}

}  // namespace

LfoGenerator::LfoGenerator() : pi(2.0 * std::acos(0.0)), increment(2.0 * pi * rate / sampleRate) {
  dsp::LfoWaves();  // decided here, never on the audio thread
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

dsp::LfoWaveTerms LfoGenerator::WaveTerms() const {
  const double period = 2.0 * pi;
  // The waveform is chosen once per block; the cosine is only evaluated
  // where it is used.
  dsp::LfoWaveTerms w;
  if (shape <= 0.01)
    w.wave = dsp::LfoWave::kCosine;
  else if (shape > 0.01 && shape < 0.99)
    w.wave = dsp::LfoWave::kBlend;
  else if (shape >= 0.99 && shape <= 1.01)
    w.wave = dsp::LfoWave::kTriangle;
  else
    w.wave = dsp::LfoWave::kSquare;
  const double a = turnPoint;
  w.period = period;
  w.fallEnd = a * period;
  w.fallScale = 0.5 / a;
  w.riseShift = period - 2.0 * a * period;
  w.riseScale = 1.0 / (2.0 - 2.0 * a);
  w.fallSlope = fallSlope;
  w.fallOffset = fallOffset;
  w.riseSlope = riseSlope;
  w.riseOffset = riseOffset;
  w.shape = shape;
  w.sqFallSlope = sqFallSlope;
  w.sqFallOffset = sqFallOffset;
  w.sqRiseSlope = sqRiseSlope;
  w.sqRiseOffset = sqRiseOffset;
  w.sqRiseEndBefore = sqRiseEnd - period;
  w.sqFallStartAfter = period + sqFallStart;
  return w;
}

void LfoGenerator::Render(double* buffer, int count, bool realTime) {
  const double period = 2.0 * pi;
  const double skew = std::fabs(symmetry - 0.5);
  const double offset = realTime ? (2.0 * syncPhase + phase + skew) * pi : (phase + skew) * pi;
  const bool continues = realTime && offset == endOffset && phaseCarry == endCarry;
  double e = continues ? endPhase : WrapStart(realTime ? offset + phaseCarry : offset, period);
  const double step = realTime ? increment : (count > 1 ? period / (count - 1) : 0.0);

  e = FillPhases(WaveTerms(), buffer, count, e, step);

  if (realTime) {
    phaseCarry = e - offset;
    endPhase = e;
    endOffset = offset;
    endCarry = phaseCarry;
  }
}
