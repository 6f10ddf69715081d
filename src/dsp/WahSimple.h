#pragma once

#include <algorithm>
#include <cmath>

#include "dsp/IFilter.h"

// Wah voice: a narrow band-pass (Q and weight follow the centre's position
// inside 380..1850 Hz) and a very wide one at the same centre are summed;
// the output is the sum plus a high-passed copy of it.
template <class HighPass, class BandPass>
class WahSimple final : public IFilter {
 public:
  WahSimple() {
    bp2_.SetResonance(q2_);
    Recompute();
  }

  void Process(const double* input, double* output, int count) override {
    for (int i = 0; i < count; ++i) output[i] = ProcessSample(input[i]);
  }

  void GetFRProfile(std::vector<float>& profile,
                    const std::vector<float>& frequencies) const override {
    FillProfile(profile, frequencies, "FilterBP2::GetFRProfile incompatible sizes",
                [this](double f) { return Response(f); });
  }

  double ProcessSample(double x) {
    const double o1 = bp1_.ProcessSample(x);
    const double o2 = bp2_.ProcessSample(x);
    const double s = (position_ + 1.0) * weight1_ * o1 + weight2_ * o2;
    const double h = hp_.ProcessSample(s);
    return (h + s) * outputGain_;
  }

  // Derives position, Q1 and the high-pass cutoff from fc and the
  // orientation, and pushes them into the member filters.
  void Recompute() {
    const double half = (orientation_ + 1.0) / 2.0;
    position_ = std::clamp(
        half - (fc_ - rangeLow_) * orientation_ / (rangeHigh_ - rangeLow_), 0.0, 1.0);
    q1_ = (position_ * qSpan_ + 1.0) * qBase_;
    hpCutoff_ = (position_ * position_ * position_ * hpSpan_ + hpBase_) * half;
    hp_.SetCutoff(hpCutoff_);
    bp1_.SetCutoffAndResonance(fc_, q1_);
    bp2_.SetCutoff(fc_);
  }

  void SetCutoff(double fc) { fc_ = fc; Recompute(); }
  void SetResonance(double q) { qBase_ = q; Recompute(); }
  void SetSampleRate(double fs) {
    fs_ = fs;
    hp_.SetSampleRate(fs);
    bp1_.SetSampleRate(fs);
    bp2_.SetSampleRate(fs);
  }
  void ResetState() {
    hp_.ResetState();
    bp1_.ResetState();
    bp2_.ResetState();
  }

  // +1: position falls as fc rises; -1: position rises with fc. Takes
  // effect at the next Recompute.
  void SetOrientation(double orientation) { orientation_ = orientation; }

  // Magnitude of the voice without the band-pass gains and the output gain.
  double Response(double f) const {
    const double hp = f / std::hypot(f, hpCutoff_);
    const double m = ((position_ + 1.0) * weight1_ * bp1_.Response(f) +
                      weight2_ * bp2_.Response(f)) * 0.5;
    return ((orientation_ + 1.0) / 2.0 * hp + (1.0 - orientation_) / 2.0) * m + m;
  }

  double Cutoff() const { return fc_; }
  double Position() const { return position_; }
  double Q1() const { return q1_; }
  double HighPassCutoff() const { return hpCutoff_; }
  double Orientation() const { return orientation_; }
  double SampleRate() const { return fs_; }
  const HighPass& HighPassFilter() const { return hp_; }
  const BandPass& NarrowBand() const { return bp1_; }
  const BandPass& WideBand() const { return bp2_; }

 private:
  HighPass hp_;
  BandPass bp1_;  // narrow, Q = q1_
  BandPass bp2_;  // wide, Q = q2_
  double fs_ = 44100.0;
  double fc_ = 450.0;
  double position_ = 0.0;
  double qBase_ = 4.0;
  double qSpan_ = 2.5;
  double q1_ = 4.0;
  double q2_ = 0.15;
  double weight2_ = 0.5;
  double weight1_ = 2.0;
  double hpBase_ = 100.0;
  double hpSpan_ = 100.0;
  double hpCutoff_ = 100.0;
  double orientation_ = 1.0;
  double rangeLow_ = 380.0;
  double rangeHigh_ = 1850.0;
  double outputGain_ = 0.2;
};
