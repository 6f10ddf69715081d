#pragma once

#include <array>

#include "dsp/FilterBP2.h"
#include "dsp/FilterBP_BT.h"
#include "dsp/FilterHP1.h"
#include "dsp/FilterLP2.h"
#include "dsp/FilterLP2_BT.h"
#include "dsp/IFilter.h"
#include "dsp/WahSimple.h"

using WahBP2 = WahSimple<FilterHP1, FilterBP2>;
using WahBPBT = WahSimple<FilterHP1, FilterBP_BT>;

// Holds one filter of each kind and runs the one selected by its type code.
// Dispatch is a switch on the code, so the per-sample path has no virtual
// call; the filters are members and live as long as the holder.
class MultiBandFilterBT final : public IFilter {
 public:
  enum FilterType {
    kLP2_BT = 0,
    kBP_BT = 1,
    kLP2 = 2,
    kBP2 = 3,
    kHP1 = 4,
    kWahBP2 = 5,
    kWahBPBT = 6,
  };
  static constexpr int kFilterCount = 7;

  MultiBandFilterBT();
  // Copies every filter with its settings and history; the copy selects
  // its own member of the same kind.
  MultiBandFilterBT(const MultiBandFilterBT& other);
  MultiBandFilterBT& operator=(const MultiBandFilterBT& other);

  void Process(const double* input, double* output, int count) override;
  void GetFRProfile(std::vector<float>& profile,
                    const std::vector<float>& frequencies) const override;

  // Codes outside 0..kFilterCount-1 are refused and change nothing.
  void SetType(int code);
  int Type() const { return type_; }
  int FilterCount() const { return kFilterCount; }
  IFilter* Active() const { return active_; }
  IFilter* Filter(int code) const;

  double ProcessSample(double x) {
    switch (type_) {
      case kLP2_BT:
        return lp2bt_.ProcessSample(x);
      case kBP_BT:
        return bpbt_.ProcessSample(x);
      case kLP2:
        return lp2_.ProcessSample(x);
      case kBP2:
        return bp2_.ProcessSample(x);
      case kHP1:
        return hp1_.ProcessSample(x);
      case kWahBP2:
        return wahBP2_.ProcessSample(x);
      case kWahBPBT:
        return wahBPBT_.ProcessSample(x);
      default:
        return 0.0;
    }
  }

  // Active filter only.
  void SetCutoff(double fc);
  void SetResonance(double q);
  void ResetState();
  // The active filter's cutoff, 0 when no filter is selected.
  double Cutoff() const;
  // All seven filters, in code order.
  void SetSampleRate(double fs);

  // For each sample: SetCutoff(cutoffs[i]) then wet[i] = ProcessSample(in[i]).
  // The same arithmetic as the per-sample calls, with the type switch taken
  // once per block. wet may alias in.
  void ProcessSwept(const double* cutoffs, const double* in, double* wet, int count);

  // Calls fn with the active filter as its concrete type, so a caller's
  // per-sample loop is compiled once per kind and dispatched once per block.
  // Returns false (fn not called) when no filter is selected.
  template <class Fn>
  bool VisitActive(Fn&& fn) {
    switch (type_) {
      case kLP2_BT:
        fn(lp2bt_);
        return true;
      case kBP_BT:
        fn(bpbt_);
        return true;
      case kLP2:
        fn(lp2_);
        return true;
      case kBP2:
        fn(bp2_);
        return true;
      case kHP1:
        fn(hp1_);
        return true;
      case kWahBP2:
        fn(wahBP2_);
        return true;
      case kWahBPBT:
        fn(wahBPBT_);
        return true;
      default:
        return false;
    }
  }

  // Calls fn(a's active filter, b's filter of the same kind) and returns its
  // result, so a loop over two channels is compiled once per kind; false
  // without calling fn when the two select different kinds or none.
  template <class Fn>
  static bool VisitActivePair(MultiBandFilterBT& a, MultiBandFilterBT& b, Fn&& fn) {
    if (a.type_ != b.type_) return false;
    switch (a.type_) {
      case kLP2_BT:
        return fn(a.lp2bt_, b.lp2bt_);
      case kBP_BT:
        return fn(a.bpbt_, b.bpbt_);
      case kLP2:
        return fn(a.lp2_, b.lp2_);
      case kBP2:
        return fn(a.bp2_, b.bp2_);
      case kHP1:
        return fn(a.hp1_, b.hp1_);
      case kWahBP2:
        return fn(a.wahBP2_, b.wahBP2_);
      case kWahBPBT:
        return fn(a.wahBPBT_, b.wahBPBT_);
      default:
        return false;
    }
  }

  WahBP2& WahOverBP2() { return wahBP2_; }
  WahBPBT& WahOverBPBT() { return wahBPBT_; }

 private:
  FilterLP2_BT lp2bt_;
  FilterBP_BT bpbt_;
  FilterLP2 lp2_;
  FilterBP2 bp2_;
  FilterHP1 hp1_;
  WahBP2 wahBP2_;
  WahBPBT wahBPBT_;
  std::array<IFilter*, kFilterCount> filters_;  // indexed by type code
  int type_ = 0;
  IFilter* active_ = nullptr;
};
