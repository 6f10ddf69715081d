#pragma once

#include "dsp/FilterMath.h"
#include "dsp/IFilter.h"

// First-order high-pass: y = (x + y1 - x1) * k.
class FilterHP1 final : public IFilter {
 public:
  struct Coefficients {
    double k;  // feedback gain

    // The only place the coefficient formula lives.
    static Coefficients For(double fs, double fc) { return {1.0 / (dsp::k2Pi * fc / fs + 1.0)}; }
  };
  struct History {
    double x1 = 0.0;  // previous input
    double y1 = 0.0;  // previous output
  };

  FilterHP1() { Update(); }

  void Process(const double* input, double* output, int count) override;
  void GetFRProfile(std::vector<float>& profile,
                    const std::vector<float>& frequencies) const override;

  // One sample with the given coefficients; the history moves on.
  static double Step(const Coefficients& c, History& h, double x) {
    const double y = (x + h.y1 - h.x1) * c.k;
    h.x1 = x;
    h.y1 = y;
    return y;
  }
  double ProcessSample(double x) { return Step(c_, h_, x); }
  // What SetCutoff(fc) would compute, leaving the filter unchanged.
  Coefficients CoefficientsAt(double fc) const { return Coefficients::For(fs_, fc); }
  // True when other computes the same coefficients at every cutoff.
  bool SharesCoefficients(const FilterHP1& other) const { return dsp::SameBits(fs_, other.fs_); }

  void SetCutoff(double fc) {
    fc_ = fc;
    Update();
  }
  // No Q: only recomputes k.
  void SetResonance(double) { Update(); }
  void SetSampleRate(double fs) {
    fs_ = fs;
    Update();
  }
  void ResetState() { h_ = History{}; }

  const History& GetState() const { return h_; }
  void SetState(const History& h) { h_ = h; }
  double Response(double f) const;
  double Cutoff() const { return fc_; }
  double SampleRate() const { return fs_; }
  double Feedback() const { return c_.k; }

 private:
  void Update() { c_ = Coefficients::For(fs_, fc_); }

  double fs_ = 44100.0;
  double fc_ = 3000.0;
  Coefficients c_{};
  History h_;
};
