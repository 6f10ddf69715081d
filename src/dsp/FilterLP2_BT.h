#pragma once

#include "dsp/FilterMath.h"
#include "dsp/IFilter.h"

// Second-order resonant low-pass, bilinear transform of the analogue
// prototype without pre-warping.
class FilterLP2_BT final : public IFilter {
 public:
  struct Coefficients {
    double b0, b1, b2, a1, a2;  // a1, a2 carry their sign

    // The only place the coefficient formulas live.
    static Coefficients For(double fs, double fc, double q) {
      const dsp::BilinearTerms t = dsp::MakeBilinearTerms(fs, fc, q);
      const double b0 = t.w02 / t.d;
      return {b0, 2.0 * t.w02 / t.d, b0, t.a1, t.a2};
    }
  };
  struct History {
    double last = 0.0;  // last output
    double y1 = 0.0;
    double y2 = 0.0;
    double x1 = 0.0;
    double x2 = 0.0;
  };

  FilterLP2_BT() { Update(); }

  void Process(const double* input, double* output, int count) override;
  void GetFRProfile(std::vector<float>& profile,
                    const std::vector<float>& frequencies) const override;

  // One sample with the given coefficients; the history moves on.
  static double Step(const Coefficients& c, History& h, double x) {
    const double y = c.b0 * x + c.b1 * h.x1 + c.b2 * h.x2 + c.a1 * h.y1 + c.a2 * h.y2;
    h.x2 = h.x1;
    h.x1 = x;
    h.y2 = h.y1;
    h.y1 = y;
    h.last = y;
    return y;
  }
  double ProcessSample(double x) { return Step(c_, h_, x); }
  // What SetCutoff(fc) would compute, leaving the filter unchanged.
  Coefficients CoefficientsAt(double fc) const { return Coefficients::For(fs_, fc, q_); }
  // True when other computes the same coefficients at every cutoff.
  bool SharesCoefficients(const FilterLP2_BT& other) const {
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
  void ResetState() { h_ = History{}; }

  const History& GetState() const { return h_; }
  void SetState(const History& h) { h_ = h; }
  double Response(double f) const;
  double Cutoff() const { return fc_; }
  double Resonance() const { return q_; }
  double SampleRate() const { return fs_; }

 private:
  void Update() { c_ = Coefficients::For(fs_, fc_, q_); }

  double fs_ = 44100.0;
  double q_ = 0.7;
  double fc_ = 3000.0;
  Coefficients c_{};
  History h_;
};
