#pragma once

#include "dsp/FilterMath.h"
#include "dsp/IFilter.h"

// Second-order resonant low-pass from a finite-difference design; unity
// gain at 0 Hz.
class FilterLP2 final : public IFilter {
 public:
  struct Coefficients {
    double b, g, cx, cy1, cy2;  // g output scale, cx input, cy1 cy2 feedback

    // The only place the coefficient formulas live.
    static Coefficients For(double fs, double fc, double q) {
      const double b = dsp::kPi * fc / q;
      const double c = dsp::k2Pi * fc / fs;
      return {b, 1.0 / (b / fs + 1.0), c * c, 2.0 - c * c, b / fs - 1.0};
    }
  };
  struct History {
    double last = 0.0;  // last output
    double y1 = 0.0;
    double y2 = 0.0;
  };

  FilterLP2() { Update(); }

  void Process(const double* input, double* output, int count) override;
  void GetFRProfile(std::vector<float>& profile,
                    const std::vector<float>& frequencies) const override;

  // One sample with the given coefficients; the history moves on.
  static double Step(const Coefficients& c, History& h, double x) {
    const double y = c.g * (c.cx * x + c.cy1 * h.y1 + c.cy2 * h.y2);
    h.y2 = h.y1;
    h.y1 = y;
    h.last = y;
    return y;
  }
  double ProcessSample(double x) { return Step(c_, h_, x); }
  // What SetCutoff(fc) would compute, leaving the filter unchanged.
  Coefficients CoefficientsAt(double fc) const { return Coefficients::For(fs_, fc, q_); }
  // True when other computes the same coefficients at every cutoff.
  bool SharesCoefficients(const FilterLP2& other) const {
    return dsp::SameBits(fs_, other.fs_) && dsp::SameBits(q_, other.q_);
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
  Coefficients GetCoefficients() const { return c_; }

 private:
  void Update() { c_ = Coefficients::For(fs_, fc_, q_); }

  double fs_ = 44100.0;
  double q_ = 0.7;
  double fc_ = 3000.0;
  Coefficients c_{};
  History h_;
};
