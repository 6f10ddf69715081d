#include "quillwave/Quillwave.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "editor/IGraphics.h"
#include "editor/plot/IPlotControlEx.h"

namespace {
// Storage reserved up front so blocks up to this size, or up to the host's
// announced block size (itself bounded), never allocate on the audio thread.
constexpr int32_t kReservedFrames = 4096;
}  // namespace

double Quillwave::ExpRange::ToHz(double value) const {
  return low * std::pow(high / low, (value - minimum) / (maximum - minimum));
}

Quillwave::Quillwave(vst::audioMasterCallback host) : IVstAdapter(host, kParamCount) {
  // Sweep limits until the cutoff parameters are applied.
  modulator_.low = 400.0;
  modulator_.high = 3000.0;
  modulator_.SetSampleRate(SampleRate());

  lfo_ = std::make_unique<LfoGenerator>();  // 8 Hz, symmetry 0.5, cosine, phase 0
  note_ = std::make_unique<TempoNote>();    // quarter note, 120 BPM
  for (int32_t i = 0; i < InputCount(); ++i) {
    filters_.push_back(std::make_unique<MultiBandFilterBT>());
    filters_.back()->SetType(MultiBandFilterBT::kWahBP2);
  }
  for (auto& f : filters_) {
    if (f->Type() != MultiBandFilterBT::kWahBP2) continue;
    f->WahOverBP2().SetOrientation(-1.0);
    f->WahOverBP2().Recompute();
  }

  DefineParameters();
  BuildEditor(*this, editorLinks_);

  curve_.assign(kPlotPoints, 0.0);
  profile1_.assign(kPlotPoints, 0.0f);
  profile2_.assign(kPlotPoints, 0.0f);
  frequencies_.SetRange(100.0f, 4000.0f, kPlotPoints);
  slewBase_ = 0.04 * SampleRate();

  block_.reserve(kReservedFrames);
  modulator_.output.reserve(kReservedFrames);
}

Quillwave::~Quillwave() = default;

void Quillwave::Reset() {
  Hold hold(*this);
  lfo_->SetSampleRate(SampleRate());
  for (auto& f : filters_) f->SetSampleRate(SampleRate());
  modulator_.SetSampleRate(SampleRate());
  const size_t frames = static_cast<size_t>(std::clamp(BlockSize(), 0, kMaxBlockFrames));
  block_.reserve(frames);
  modulator_.output.reserve(frames);
}

void Quillwave::ApplyRate(double hz) { lfo_->SetRate(hz); }

void Quillwave::UpdateCurve() {
  lfo_->Render(curve_.data(), kPlotPoints, false);
  if (!editorLinks_.oscillatorLine) return;
  editorLinks_.oscillatorLine->SetData(curve_);
  editorLinks_.oscillatorPlot->MarkDirty(true);
}

// The rate knob and the logo for free-running rates; the note knob and the
// note-kind switches, in the same places, for tempo sync.
void Quillwave::UpdateVisibility() {
  IGraphics* g = editorLinks_.graphics;
  if (!g) return;
  for (int i = 0, n = g->ControlCount(); i < n; ++i) {
    IControl* c = g->GetControl(i);
    const int param = c->ParamIndex();
    if (param == kNote || param == kPrefix) c->SetHidden(!tempoSync_);
  }
  for (int i = 0, n = g->ControlCount(); i < n; ++i) {
    IControl* c = g->GetControl(i);
    if (c->ParamIndex() == kLfoFrequency) c->SetHidden(tempoSync_);
  }
  if (editorLinks_.logo) editorLinks_.logo->SetHidden(tempoSync_);
}

void Quillwave::RefreshOscillator() {
  UpdateCurve();
  curveChanged_ = true;
}

void Quillwave::ParamChanged(int32_t index) {
  Hold hold(*this);
  if (index < 0 || index >= kParamCount) return;
  const double value = ParamValue(index);
  switch (index) {
    case kMix:
      mix_ = value;
      break;
    case kLfoFrequency:
      if (tempoSync_) break;
      ApplyRate(value);
      RefreshOscillator();
      break;
    case kNote:
      note_->SetNote(value);
      ApplyRate(note_->Rate());
      RefreshOscillator();
      break;
    case kPhase:
      lfo_->phase = value;
      RefreshOscillator();
      break;
    case kSymmetry:
      lfo_->SetSymmetry(value);
      RefreshOscillator();
      break;
    case kShape:
      lfo_->SetShape(value);
      RefreshOscillator();
      break;
    case kPrefix:
      note_->SetPrefix(value);
      ApplyRate(note_->Rate());
      RefreshOscillator();
      break;
    case kTempoSync:
      tempoSync_ = value != 0.0;
      if (tempoSync_) {
        ApplyRate(note_->Rate());
      } else {
        ApplyRate(ParamValue(kLfoFrequency));
        lfo_->syncPhase = 0.0;
      }
      RefreshOscillator();
      UpdateVisibility();
      break;
    case kOnOff:
      bypass_ = value != 0.0;
      break;
    case kMode:
      tremolo_ = value != 0.0;
      UpdateVisibility();
      break;
    case kCutoff1:
      cutoff1_ = value;
      cutoff1Hz_ = cutoffRange_.ToHz(value);
      modulator_.low = cutoff1Hz_;
      UpdateCurve();
      RefreshResponse();
      break;
    case kCutoff2:
      cutoff2_ = value;
      cutoff2Hz_ = cutoffRange_.ToHz(value);
      modulator_.high = cutoff2Hz_;
      UpdateCurve();
      RefreshResponse();
      break;
    case kResonance:
      resonance_ = value;
      for (auto& f : filters_) f->SetResonance(value);
      UpdateCurve();
      RefreshResponse();
      break;
    case kFilterMode: {
      static constexpr int kTypes[] = {MultiBandFilterBT::kLP2, MultiBandFilterBT::kBP2,
                                       MultiBandFilterBT::kWahBP2};
      const bool known = value > -1.0 && value < 3.0;
      for (auto& f : filters_) {
        if (known) f->SetType(kTypes[static_cast<int>(value)]);
        f->ResetState();
      }
      for (auto& f : filters_) f->SetResonance(resonance_);
      RefreshResponse();
      break;
    }
    default:
      break;
  }
}

// Evaluates the first channel's filter at both sweep limits and rescales
// both profiles onto one decibel scale in 0..1.
void Quillwave::RefreshResponse() {
  if (filters_.empty()) return;
  MultiBandFilterBT& f = *filters_.front();
  const double remembered = f.Cutoff();
  f.SetCutoff(cutoff1Hz_);
  f.GetFRProfile(profile1_, frequencies_.Points());
  f.SetCutoff(cutoff2Hz_);
  f.GetFRProfile(profile2_, frequencies_.Points());
  f.SetCutoff(remembered);

  float mx = profile1_.empty() ? 0.0f : profile1_[0];
  float mn = mx;
  for (const auto* p : {&profile1_, &profile2_}) {
    for (float x : *p) {
      mx = std::max(mx, x);
      mn = std::min(mn, x);
    }
  }
  const double lo = 20.0 * std::log10(static_cast<double>(mn));
  const double hi = 20.0 * std::log10(static_cast<double>(mx));
  // A flat or zero-touching response has no decibel span to spread over.
  if (mx != 0.0f && hi > lo && std::isfinite(lo)) {
    const size_t n = std::min(profile1_.size(), profile2_.size());
    for (size_t i = 0; i < n; ++i) {
      profile1_[i] =
          static_cast<float>((20.0 * std::log10(double(profile1_[i])) - lo) / (hi - lo));
      profile2_[i] =
          static_cast<float>((20.0 * std::log10(double(profile2_[i])) - lo) / (hi - lo));
    }
  }
  if (!editorLinks_.responsePlot) return;
  editorLinks_.responseLines[0]->SetData(profile1_);
  editorLinks_.responseLines[1]->SetData(profile2_);
  editorLinks_.responsePlot->MarkDirty(true);
}

void Quillwave::FollowTempo(int32_t frames) {
  HostTimeInfo time = TempoFollow::Prefilled();
  ReadHostTime(time);
  follow_.Update(time, frames, *note_, *lfo_);
}

// After a parameter change the modulation leaves the previous block's last
// value on a straight ramp of at most one step per sample and joins the new
// curve where it first comes within a step of it. The block's last sample is
// never replaced.
void Quillwave::Slew(int32_t frames) {
  const double step = slewBase_ / SampleRate();
  double* v = block_.data();
  double d = v[0] - lastValue_;
  for (int32_t j = 0; std::fabs(d) > step && j < frames - 1; ++j) {
    lastValue_ = d >= 0.0 ? lastValue_ + step : lastValue_ - step;
    v[j] = lastValue_;
    d = v[j + 1] - lastValue_;
  }
}

void Quillwave::ProcessDoubles(double** inputs, double** outputs, int32_t frames) {
  if (frames < 0) frames = 0;
  const int channels = static_cast<int>(
      std::min<size_t>({static_cast<size_t>(std::max(InputCount(), 0)), filters_.size(), 2}));

  if (bypass_) {
    for (int c = 0; c < channels; ++c) {
      const double* in = inputs ? inputs[c] : nullptr;
      double* out = outputs ? outputs[c] : nullptr;
      if (in && out && in != out) std::memmove(out, in, sizeof(double) * size_t(frames));
    }
    return;
  }

  if (tempoSync_) FollowTempo(frames);
  // The 64-bit callback passes the host's block as it comes, and a host may
  // exceed the block size it announced. The buffers keep the storage
  // reserved for that size, so a longer block runs in slices, each as if
  // the host had sent it on its own (the tempo follow ran once above for
  // the whole block).
  const int32_t slice = SliceFrames();
  int32_t done = 0;
  do {
    const int32_t n = std::min(slice, frames - done);
    ProcessSlice(inputs, outputs, channels, done, n);
    done += n;
  } while (done < frames);
}

int32_t Quillwave::SliceFrames() const {
  const size_t reserved = std::min(block_.capacity(), modulator_.output.capacity());
  return static_cast<int32_t>(std::clamp<size_t>(reserved, 1, INT32_MAX));
}

namespace {
// True when the n-sample ranges at a and b share no sample.
bool Disjoint(const double* a, const double* b, int32_t n) {
  const auto ua = reinterpret_cast<std::uintptr_t>(a);
  const auto ub = reinterpret_cast<std::uintptr_t>(b);
  const std::uintptr_t bytes = sizeof(double) * static_cast<std::uintptr_t>(n);
  return ua + bytes <= ub || ub + bytes <= ua;
}

// Both channels' filters at the same cutoffs: the coefficients are computed
// once per sample and stepped through each channel's own history, which the
// loop keeps in locals. The arithmetic is exactly that of SetCutoff and
// ProcessSample per channel; afterwards both filters hold the cutoff and
// coefficients of the last sample, as those calls would have left them.
template <bool kTremolo, class F>
void SweepPair(F& f0, F& f1, const double* cutoff, const double* t, const double* in0,
               const double* in1, double* out0, double* out1, int32_t n, double mix) {
  if (n <= 0) return;
  const double dry = 1.0 - mix;
  auto h0 = f0.GetState();
  auto h1 = f1.GetState();
  for (int32_t j = 0; j < n; ++j) {
    const auto c = f0.CoefficientsAt(cutoff[j]);
    const double x0 = in0[j];
    const double x1 = in1[j];
    const double w0 = f0.Step(c, h0, x0);
    const double w1 = f1.Step(c, h1, x1);
    if constexpr (kTremolo) {
      out0[j] = mix * w0 * t[j] + dry * x0;
      out1[j] = mix * w1 * (1.0 - t[j]) + dry * x1;
    } else {
      out0[j] = dry * x0 + mix * w0;
      out1[j] = dry * x1 + mix * w1;
    }
  }
  f0.SetState(h0);
  f1.SetState(h1);
  f0.SetCutoff(cutoff[n - 1]);
  f1.SetCutoff(cutoff[n - 1]);
}
}  // namespace

// One slice of at most the reserved length: oscillator, slew, cutoffs, then
// the channels, both at once where that gives the same samples.
void Quillwave::ProcessSlice(double** inputs, double** outputs, int channels, int32_t offset,
                             int32_t frames) {
  if (frames != lastBlockSize_ || block_.size() != size_t(frames)) {
    lastBlockSize_ = frames;
    block_.resize(size_t(frames), 0.0);
  }
  lfo_->Render(block_.data(), frames, true);
  if (curveChanged_ && frames > 0) {
    Slew(frames);
    curveChanged_ = false;
  }
  if (frames > 0) lastValue_ = block_[size_t(frames) - 1];

  modulator_.Map(block_.data(), frames);
  const double* in[2] = {nullptr, nullptr};
  double* out[2] = {nullptr, nullptr};
  for (int c = 0; c < channels; ++c) {
    if (inputs && inputs[c]) in[c] = inputs[c] + offset;
    if (outputs && outputs[c]) out[c] = outputs[c] + offset;
  }
  if (channels == 2 && RunPair(in, out, frames)) return;
  for (int c = 0; c < channels; ++c)
    if (in[c] && out[c]) RunChannel(c, channels, in[c], out[c], frames);
}

// Runs both channels in one loop when that is the same as running them one
// after the other: same filter kind with the same rate and Q (so the same
// coefficients), and no channel writes where the other reads or writes.
// Returns false, having done nothing, otherwise.
bool Quillwave::RunPair(const double* const* in, double* const* out, int32_t frames) {
  if (filters_.size() < 2 || !in[0] || !in[1] || !out[0] || !out[1]) return false;
  if (!Disjoint(out[0], in[1], frames) || !Disjoint(out[1], in[0], frames) ||
      !Disjoint(out[0], out[1], frames))
    return false;
  const double* cutoff = modulator_.output.data();
  const double* t = block_.data();
  const double mix = mix_;
  const bool tremolo = tremolo_;
  return MultiBandFilterBT::VisitActivePair(*filters_[0], *filters_[1], [&](auto& f0, auto& f1) {
    if (!f0.SharesCoefficients(f1)) return false;
    if (tremolo)
      SweepPair<true>(f0, f1, cutoff, t, in[0], in[1], out[0], out[1], frames, mix);
    else
      SweepPair<false>(f0, f1, cutoff, t, in[0], in[1], out[0], out[1], frames, mix);
    return true;
  });
}

// Filters one channel at the block's cutoffs and mixes it with the dry
// signal. Each output sample is written after its input sample was read,
// so in and out may be the same buffer.
void Quillwave::RunChannel(int channel, int channels, const double* in, double* out,
                           int32_t frames) {
  MultiBandFilterBT& holder = *filters_[size_t(channel)];
  const double* cutoff = modulator_.output.data();
  const double* t = block_.data();
  const double mix = mix_;
  const double dry = 1.0 - mix;
  const bool ran = holder.VisitActive([&](auto& filter) {
    if (!tremolo_) {
      for (int32_t j = 0; j < frames; ++j) {
        filter.SetCutoff(cutoff[j]);
        const double wet = filter.ProcessSample(in[j]);
        out[j] = dry * in[j] + mix * wet;
      }
    } else if (channel == 0 || channels < 2) {
      // The first channel's filtered signal follows the modulation; a lone
      // channel gets that same tremolo.
      for (int32_t j = 0; j < frames; ++j) {
        filter.SetCutoff(cutoff[j]);
        const double wet = filter.ProcessSample(in[j]);
        out[j] = mix * wet * t[j] + dry * in[j];
      }
    } else {
      for (int32_t j = 0; j < frames; ++j) {
        filter.SetCutoff(cutoff[j]);
        const double wet = filter.ProcessSample(in[j]);
        out[j] = mix * wet * (1.0 - t[j]) + dry * in[j];
      }
    }
  });
  if (!ran)
    for (int32_t j = 0; j < frames; ++j) out[j] = dry * in[j];
}
