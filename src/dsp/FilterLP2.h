#pragma once

#include "dsp/FilterMath.h"
#include "dsp/IFilter.h"

// Second-order resonant low-pass from a finite-difference design; unity
// gain at 0 Hz.
class FilterLP2 final : public IFilter {
 public:
  FilterLP2() { Update(); }

  void Process(const double* input, double* output, int count) override;
  void GetFRProfile(std::vector<float>& profile,
                    const std::vector<float>& frequencies) const override;

  double ProcessSample(double x) {
    const double y = g_ * (cx_ * x + cy1_ * y1_ + cy2_ * y2_);
    y2_ = y1_;
    y1_ = y;
    last_ = y;
    return y;
  }
  void SetCutoff(double fc) { fc_ = fc; Update(); }
  void SetResonance(double q) { q_ = q; Update(); }
  void SetSampleRate(double fs) { fs_ = fs; Update(); }
  void SetCutoffAndResonance(double fc, double q) { fc_ = fc; q_ = q; Update(); }
  void ResetState() { last_ = y1_ = y2_ = 0.0; }

  double Response(double f) const;
  double Cutoff() const { return fc_; }
  double Resonance() const { return q_; }
  double SampleRate() const { return fs_; }

  struct Coefficients { double b, g, cx, cy1, cy2; };
  Coefficients GetCoefficients() const { return {b_, g_, cx_, cy1_, cy2_}; }

 private:
  void Update();

  double fs_ = 44100.0;
  double q_ = 0.7;
  double b_ = 0.0;
  double fc_ = 3000.0;
  double g_ = 0.0;    // output scale
  double cx_ = 0.0;   // input coefficient
  double cy1_ = 0.0;  // feedback coefficients
  double cy2_ = 0.0;
  double last_ = 0.0;
  double y1_ = 0.0;
  double y2_ = 0.0;
};

// Every coefficient derives from fs, fc and Q here, and only here.
inline void FilterLP2::Update() {
  b_ = dsp::kPi * fc_ / q_;
  const double c = dsp::k2Pi * fc_ / fs_;
  g_ = 1.0 / (b_ / fs_ + 1.0);
  cx_ = c * c;
  cy1_ = 2.0 - c * c;
  cy2_ = b_ / fs_ - 1.0;
}
