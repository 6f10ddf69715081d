#pragma once

#include "dsp/FilterMath.h"
#include "dsp/IFilter.h"

// Second-order band-pass from a finite-difference design. The gain scales
// only the output, never the stored history.
class FilterBP2 final : public IFilter {
 public:
  struct Coefficients {
    double b0, b2, a1, a2;

    // The only place the coefficient formulas live.
    static Coefficients For(double fs, double fc, double q) {
      const double b = dsp::kPi * fc / q;
      const double c = dsp::k2Pi * fc / fs;
      const double b0 = b / (fs + b);
      return {b0, -b0, fs / (fs + b) * (2.0 - c * c), fs / (fs + b) * (b / fs - 1.0)};
    }
  };
  struct History {
    double last = 0.0;  // last value, before the gain
    double y1 = 0.0;
    double y2 = 0.0;
    double x1 = 0.0;
    double x2 = 0.0;
  };

  FilterBP2() = default;

  void Process(const double* input, double* output, int count) override;
  void GetFRProfile(std::vector<float>& profile,
                    const std::vector<float>& frequencies) const override;

  // One sample with the given coefficients; the history moves on.
  double Step(const Coefficients& c, History& h, double x) const {
    const double v = c.b0 * x + c.b2 * h.x2 + c.a1 * h.y1 + c.a2 * h.y2;
    h.x2 = h.x1;
    h.x1 = x;
    h.y2 = h.y1;
    h.y1 = v;
    h.last = v;
    return gain_ * v;
  }
  double ProcessSample(double x) { return Step(c_, h_, x); }
  // What SetCutoff(fc) would compute, leaving the filter unchanged.
  Coefficients CoefficientsAt(double fc) const { return Coefficients::For(fs_, fc, q_); }
  // True when other computes the same coefficients at every cutoff (the
  // output gain is part of the step, so it must match too).
  bool SharesCoefficients(const FilterBP2& other) const {
    return dsp::SameBits(fs_, other.fs_) && dsp::SameBits(q_, other.q_) &&
           dsp::SameBits(gain_, other.gain_);
  }

  void SetCutoff(double fc) {
    fc_ = fc;
    Update();
  }
  void SetResonance(double q) {
    q_ = q;
    Update();
  }
  void SetSampleRate(double fs) {
    fs_ = fs;
    Update();
  }
  void SetCutoffAndResonance(double fc, double q) {
    fc_ = fc;
    q_ = q;
    Update();
  }
  void ResetState() { h_ = History{}; }

  const History& GetState() const { return h_; }
  void SetState(const History& h) { h_ = h; }
  double Response(double f) const;
  double Cutoff() const { return fc_; }
  double Resonance() const { return q_; }
  double SampleRate() const { return fs_; }
  double Gain() const { return gain_; }

 private:
  void Update() { c_ = Coefficients::For(fs_, fc_, q_); }

  double fs_ = 44100.0;
  double q_ = 0.7;
  double gain_ = 2.5;
  double fc_ = 0.0;  // set by the first SetCutoff
  Coefficients c_{0.0, 0.0, 0.0, 0.0};
  History h_;
};
