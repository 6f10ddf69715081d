#include "dsp/MultiBandFilterBT.h"

MultiBandFilterBT::MultiBandFilterBT()
    : filters_{&lp2bt_, &bpbt_, &lp2_, &bp2_, &hp1_, &wahBP2_, &wahBPBT_} {
  SetType(kLP2_BT);
}

MultiBandFilterBT::MultiBandFilterBT(const MultiBandFilterBT& other) : MultiBandFilterBT() {
  *this = other;
}

MultiBandFilterBT& MultiBandFilterBT::operator=(const MultiBandFilterBT& other) {
  if (this == &other) return *this;
  lp2bt_ = other.lp2bt_;
  bpbt_ = other.bpbt_;
  lp2_ = other.lp2_;
  bp2_ = other.bp2_;
  hp1_ = other.hp1_;
  wahBP2_ = other.wahBP2_;
  wahBPBT_ = other.wahBPBT_;
  type_ = other.type_;
  active_ = other.active_ ? filters_[static_cast<size_t>(type_)] : nullptr;
  return *this;
}

void MultiBandFilterBT::SetType(int code) {
  if (code < 0 || code >= kFilterCount) return;
  type_ = code;
  active_ = filters_[static_cast<size_t>(code)];
}

IFilter* MultiBandFilterBT::Filter(int code) const {
  if (code < 0 || code >= kFilterCount) return nullptr;
  return filters_[static_cast<size_t>(code)];
}

void MultiBandFilterBT::SetCutoff(double fc) {
  switch (type_) {
    case kLP2_BT:
      lp2bt_.SetCutoff(fc);
      break;
    case kBP_BT:
      bpbt_.SetCutoff(fc);
      break;
    case kLP2:
      lp2_.SetCutoff(fc);
      break;
    case kBP2:
      bp2_.SetCutoff(fc);
      break;
    case kHP1:
      hp1_.SetCutoff(fc);
      break;
    case kWahBP2:
      wahBP2_.SetCutoff(fc);
      break;
    case kWahBPBT:
      wahBPBT_.SetCutoff(fc);
      break;
    default:
      break;
  }
}

void MultiBandFilterBT::SetResonance(double q) {
  switch (type_) {
    case kLP2_BT:
      lp2bt_.SetResonance(q);
      break;
    case kBP_BT:
      bpbt_.SetResonance(q);
      break;
    case kLP2:
      lp2_.SetResonance(q);
      break;
    case kBP2:
      bp2_.SetResonance(q);
      break;
    case kHP1:
      hp1_.SetResonance(q);
      break;
    case kWahBP2:
      wahBP2_.SetResonance(q);
      break;
    case kWahBPBT:
      wahBPBT_.SetResonance(q);
      break;
    default:
      break;
  }
}

void MultiBandFilterBT::ResetState() {
  switch (type_) {
    case kLP2_BT:
      lp2bt_.ResetState();
      break;
    case kBP_BT:
      bpbt_.ResetState();
      break;
    case kLP2:
      lp2_.ResetState();
      break;
    case kBP2:
      bp2_.ResetState();
      break;
    case kHP1:
      hp1_.ResetState();
      break;
    case kWahBP2:
      wahBP2_.ResetState();
      break;
    case kWahBPBT:
      wahBPBT_.ResetState();
      break;
    default:
      break;
  }
}

double MultiBandFilterBT::Cutoff() const {
  switch (type_) {
    case kLP2_BT:
      return lp2bt_.Cutoff();
    case kBP_BT:
      return bpbt_.Cutoff();
    case kLP2:
      return lp2_.Cutoff();
    case kBP2:
      return bp2_.Cutoff();
    case kHP1:
      return hp1_.Cutoff();
    case kWahBP2:
      return wahBP2_.Cutoff();
    case kWahBPBT:
      return wahBPBT_.Cutoff();
    default:
      return 0.0;
  }
}

void MultiBandFilterBT::SetSampleRate(double fs) {
  lp2bt_.SetSampleRate(fs);
  bpbt_.SetSampleRate(fs);
  lp2_.SetSampleRate(fs);
  bp2_.SetSampleRate(fs);
  hp1_.SetSampleRate(fs);
  wahBP2_.SetSampleRate(fs);
  wahBPBT_.SetSampleRate(fs);
}

void MultiBandFilterBT::Process(const double* input, double* output, int count) {
  for (int i = 0; i < count; ++i) output[i] = ProcessSample(input[i]);
}

void MultiBandFilterBT::GetFRProfile(std::vector<float>& profile,
                                     const std::vector<float>& frequencies) const {
  if (active_) active_->GetFRProfile(profile, frequencies);
}

void MultiBandFilterBT::ProcessSwept(const double* cutoffs, const double* in, double* wet,
                                     int count) {
  const bool ran = VisitActive([&](auto& filter) {
    for (int i = 0; i < count; ++i) {
      filter.SetCutoff(cutoffs[i]);
      wet[i] = filter.ProcessSample(in[i]);
    }
  });
  if (!ran)
    for (int i = 0; i < count; ++i) wet[i] = 0.0;
}
