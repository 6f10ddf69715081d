#pragma once

#include <algorithm>
#include <cmath>

#include "dsp/FilterMath.h"
#include "dsp/IFilter.h"

namespace dsp {
// The wah voice's fixed numbers and its placement rule: where the cutoff
// lies in the sweep range gives the narrow band's Q and weight and the
// high-pass cutoff.
struct WahShape {
  double half;       // (orientation + 1) / 2
  double rangeLow;   // Hz
  double slope;      // orientation / (range high - range low)
  double qBase, qSpan;
  double hpBase, hpSpan;
  double weight1, weight2;  // narrow band (at position 0), wide band
  double outputGain;
};
template <class T>
struct WahPlacement {
  T position, q1, hpCutoff;
};
// T is a number or a vector of them; qBase, one or as many, stands for
// the shape's own while the resonance glides.
template <class T, class Q>
WahPlacement<T> PlaceWah(const WahShape& s, T fc, Q qBase) {
  const T position = Clamp01(s.half - (fc - s.rangeLow) * s.slope);
  return {position, (position * s.qSpan + 1.0) * qBase,
          (position * position * position * s.hpSpan + s.hpBase) * s.half};
}
// The narrow band's weight at a position.
template <class T>
T NarrowWeight(double weight1, T position) {
  return (position + 1.0) * weight1;
}
}  // namespace dsp

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

  // Everything one sample's step needs from the cutoff: the position (it
  // weights the narrow band) and the member filters' coefficients.
  struct Coefficients {
    double position;
    typename HighPass::Coefficients hp;
    typename BandPass::Coefficients bp1;
    typename BandPass::Coefficients bp2;
  };
  struct History {
    typename HighPass::History hp;
    typename BandPass::History bp1;
    typename BandPass::History bp2;
  };

  double ProcessSample(double x) {
    const double o1 = bp1_.ProcessSample(x);
    const double o2 = bp2_.ProcessSample(x);
    const double s = BandSum(position_, o1, o2);
    return Output(hp_.ProcessSample(s), s);
  }
  // One sample with the given coefficients; the history moves on.
  double Step(const Coefficients& c, History& h, double x) const {
    const double o1 = bp1_.Step(c.bp1, h.bp1, x);
    const double o2 = bp2_.Step(c.bp2, h.bp2, x);
    const double s = BandSum(c.position, o1, o2);
    return Output(hp_.Step(c.hp, h.hp, s), s);
  }

  // What SetCutoff(fc) would compute, leaving the voice unchanged: the same
  // arithmetic as Recompute, each member at its own rate and Q.
  Coefficients CoefficientsAt(double fc) const {
    const dsp::WahPlacement<double> p = Place(fc);
    return {p.position, HighPass::Coefficients::For(hp_.SampleRate(), p.hpCutoff),
            BandPass::Coefficients::For(bp1_.SampleRate(), fc, p.q1),
            BandPass::Coefficients::For(bp2_.SampleRate(), fc, bp2_.Resonance())};
  }
  // True when other computes the same coefficients at every cutoff and
  // combines its bands the same way.
  bool SharesCoefficients(const WahSimple& other) const {
    using dsp::SameBits;
    return hp_.SharesCoefficients(other.hp_) && bp1_.SharesCoefficients(other.bp1_) &&
           bp2_.SharesCoefficients(other.bp2_) && SameBits(qBase_, other.qBase_) &&
           SameBits(qSpan_, other.qSpan_) && SameBits(weight1_, other.weight1_) &&
           SameBits(weight2_, other.weight2_) && SameBits(hpBase_, other.hpBase_) &&
           SameBits(hpSpan_, other.hpSpan_) && SameBits(orientation_, other.orientation_) &&
           SameBits(rangeLow_, other.rangeLow_) && SameBits(rangeHigh_, other.rangeHigh_) &&
           SameBits(outputGain_, other.outputGain_);
  }
  History GetState() const { return {hp_.GetState(), bp1_.GetState(), bp2_.GetState()}; }
  void SetState(const History& h) {
    hp_.SetState(h.hp);
    bp1_.SetState(h.bp1);
    bp2_.SetState(h.bp2);
  }

  // Derives position, Q1 and the high-pass cutoff from fc and the
  // orientation, and pushes them into the member filters.
  void Recompute() {
    const dsp::WahPlacement<double> p = Place(fc_);
    position_ = p.position;
    q1_ = p.q1;
    hpCutoff_ = p.hpCutoff;
    hp_.SetCutoff(hpCutoff_);
    bp1_.SetCutoffAndResonance(fc_, q1_);
    bp2_.SetCutoff(fc_);
  }

  void SetCutoff(double fc) {
    fc_ = fc;
    Recompute();
  }
  void SetResonance(double q) {
    qBase_ = q;
    Recompute();
  }
  void SetCutoffAndResonance(double fc, double q) {
    fc_ = fc;
    qBase_ = q;
    Recompute();
  }
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

  dsp::WahShape Shape() const {
    return {(orientation_ + 1.0) / 2.0, rangeLow_, orientation_ / (rangeHigh_ - rangeLow_),
            qBase_, qSpan_, hpBase_, hpSpan_, weight1_, weight2_, outputGain_};
  }

  // Magnitude of the voice without the band-pass gains and the output gain.
  double Response(double f) const {
    const double hp = f / std::hypot(f, hpCutoff_);
    const double m =
        ((position_ + 1.0) * weight1_ * bp1_.Response(f) + weight2_ * bp2_.Response(f)) * 0.5;
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
  dsp::WahPlacement<double> Place(double fc) const {
    const dsp::WahShape shape = Shape();
    return dsp::PlaceWah(shape, fc, shape.qBase);
  }
  double BandSum(double position, double o1, double o2) const {
    return dsp::NarrowWeight(weight1_, position) * o1 + weight2_ * o2;
  }
  double Output(double highPassed, double s) const { return (highPassed + s) * outputGain_; }

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
