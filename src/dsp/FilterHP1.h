#pragma once

#include "dsp/FilterMath.h"
#include "dsp/IFilter.h"

// First-order high-pass: y = (x + y1 - x1) * k.
class FilterHP1 final : public IFilter {
 public:
  FilterHP1() { Update(); }

  void Process(const double* input, double* output, int count) override;
  void GetFRProfile(std::vector<float>& profile,
                    const std::vector<float>& frequencies) const override;

  double ProcessSample(double x) {
    const double y = (x + y1_ - x1_) * k_;
    x1_ = x;
    y1_ = y;
    return y;
  }
  void SetCutoff(double fc) { fc_ = fc; Update(); }
  // No Q: only recomputes k.
  void SetResonance(double) { Update(); }
  void SetSampleRate(double fs) { fs_ = fs; Update(); }
  void ResetState() { x1_ = y1_ = 0.0; }

  double Response(double f) const;
  double Cutoff() const { return fc_; }
  double SampleRate() const { return fs_; }
  double Feedback() const { return k_; }

 private:
  void Update();

  double fs_ = 44100.0;
  double fc_ = 3000.0;
  double k_ = 0.0;
  double x1_ = 0.0;
  double y1_ = 0.0;
};

// Every coefficient derives from fs, fc and Q here, and only here.
inline void FilterHP1::Update() { k_ = 1.0 / (dsp::k2Pi * fc_ / fs_ + 1.0); }
