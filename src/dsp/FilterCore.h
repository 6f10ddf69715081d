#pragma once

#include <vector>

#include "dsp/FilterMath.h"
#include "dsp/IFilter.h"

namespace dsp {
// What the single filters have in common: rate, Q and cutoff, the
// coefficients they give and the history the step runs on, side by side.
// Derived supplies Step(c, h, x), Response(f) and kSizeError; C::For is the
// one place its coefficients are computed. A C::For(fs, fc) without Q makes
// a filter that ignores the resonance. Step is reached through Derived, so
// the per-sample path has no virtual call.
template <class Derived, class C, class H>
class FilterCore : public IFilter {
 public:
  using Coefficients = C;
  using History = H;
  static constexpr bool kHasQ = requires(double v) { C::For(v, v, v); };

  void Process(const double* input, double* output, int count) override {
    for (int i = 0; i < count; ++i) output[i] = ProcessSample(input[i]);
  }
  void GetFRProfile(std::vector<float>& profile,
                    const std::vector<float>& frequencies) const override {
    FillProfile(profile, frequencies, Derived::kSizeError,
                [this](double f) { return static_cast<const Derived*>(this)->Response(f); });
  }

  double ProcessSample(double x) { return static_cast<Derived*>(this)->Step(c_, h_, x); }
  // What SetCutoff(fc) would compute, leaving the filter unchanged.
  Coefficients CoefficientsAt(double fc) const {
    if constexpr (kHasQ)
      return C::For(fs_, fc, q_);
    else
      return C::For(fs_, fc);
  }
  // True when other computes the same coefficients at every cutoff.
  bool SharesCoefficients(const FilterCore& other) const {
    return SameBits(fs_, other.fs_) && (!kHasQ || SameBits(q_, other.q_));
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
  void SetCutoffAndResonance(double fc, double q) requires kHasQ {
    fc_ = fc;
    q_ = q;
    Update();
  }
  void ResetState() { h_ = History{}; }

  const History& GetState() const { return h_; }
  void SetState(const History& h) { h_ = h; }
  double Cutoff() const { return fc_; }
  double Resonance() const requires kHasQ { return q_; }
  double SampleRate() const { return fs_; }

 protected:
  // Cutoff 0 and zero coefficients until the first SetCutoff.
  FilterCore() = default;
  explicit FilterCore(double fc) : fc_(fc) { Update(); }

  double fs_ = 44100.0;
  double q_ = 0.7;
  double fc_ = 0.0;
  Coefficients c_{};
  History h_;

 private:
  void Update() { c_ = CoefficientsAt(fc_); }
};
}  // namespace dsp
