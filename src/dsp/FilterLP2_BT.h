#pragma once

#include "dsp/FilterMath.h"
#include "dsp/IFilter.h"

// Second-order resonant low-pass, bilinear transform of the analogue
// prototype without pre-warping.
class FilterLP2_BT final : public IFilter {
 public:
  FilterLP2_BT() { Update(); }

  void Process(const double* input, double* output, int count) override;
  void GetFRProfile(std::vector<float>& profile,
                    const std::vector<float>& frequencies) const override;

  double ProcessSample(double x) {
    const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ + a1_ * y1_ + a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    last_ = y;
    return y;
  }
  void SetCutoff(double fc) { fc_ = fc; Update(); }
  void SetResonance(double q) { q_ = q; Update(); }
  void SetSampleRate(double fs) { fs_ = fs; Update(); }
  void ResetState() { last_ = y1_ = y2_ = x1_ = x2_ = 0.0; }

  double Response(double f) const;
  double Cutoff() const { return fc_; }
  double Resonance() const { return q_; }
  double SampleRate() const { return fs_; }

 private:
  void Update();

  double fs_ = 44100.0;
  double q_ = 0.7;
  double fc_ = 3000.0;
  double b0_ = 0.0;
  double b1_ = 0.0;
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
inline void FilterLP2_BT::Update() {
  const dsp::BilinearTerms t = dsp::MakeBilinearTerms(fs_, fc_, q_);
  b0_ = t.w02 / t.d;
  b1_ = 2.0 * t.w02 / t.d;
  b2_ = b0_;
  a1_ = t.a1;
  a2_ = t.a2;
}
