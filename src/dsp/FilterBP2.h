#pragma once

#include "dsp/FilterMath.h"
#include "dsp/IFilter.h"

// Second-order band-pass from a finite-difference design. The gain scales
// only the output, never the stored history.
class FilterBP2 final : public IFilter {
 public:
  FilterBP2() = default;

  void Process(const double* input, double* output, int count) override;
  void GetFRProfile(std::vector<float>& profile,
                    const std::vector<float>& frequencies) const override;

  double ProcessSample(double x) {
    const double v = b0_ * x + b2_ * x2_ + a1_ * y1_ + a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = v;
    last_ = v;
    return gain_ * v;
  }
  void SetCutoff(double fc) { fc_ = fc; Update(); }
  void SetResonance(double q) { q_ = q; Update(); }
  void SetSampleRate(double fs) { fs_ = fs; Update(); }
  void SetCutoffAndResonance(double fc, double q) { fc_ = fc; q_ = q; Update(); }
  void ResetState() { last_ = y1_ = y2_ = x1_ = x2_ = 0.0; }

  double Response(double f) const;
  double Cutoff() const { return fc_; }
  double Resonance() const { return q_; }
  double SampleRate() const { return fs_; }
  double Gain() const { return gain_; }

 private:
  void Update();

  double fs_ = 44100.0;
  double q_ = 0.7;
  double gain_ = 2.5;
  double fc_ = 0.0;  // set by the first SetCutoff
  double b0_ = 0.0;
  double b2_ = 0.0;
  double a1_ = 0.0;
  double a2_ = 0.0;
  double last_ = 0.0;
  double y1_ = 0.0;
  double y2_ = 0.0;
  double x1_ = 0.0;
  double x2_ = 0.0;
};

// Every coefficient derives from fs, fc and Q here, and only here.
inline void FilterBP2::Update() {
  const double b = dsp::kPi * fc_ / q_;
  const double c = dsp::k2Pi * fc_ / fs_;
  b0_ = b / (fs_ + b);
  b2_ = -b0_;
  a1_ = fs_ / (fs_ + b) * (2.0 - c * c);
  a2_ = fs_ / (fs_ + b) * (b / fs_ - 1.0);
}
