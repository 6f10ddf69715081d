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

Quillwave::Quillwave() : IEffectCore(kParamCount) {
  // Sweep limits until the cutoff parameters are applied.
  modulator_.low = 400.0;
  modulator_.high = 3000.0;
  modulator_.SetSampleRate(SampleRate());

  // The oscillator starts at 8 Hz, symmetry 0.5, cosine, phase 0; the
  // filters as wah voices rising with the cutoff.
  note_ = std::make_unique<TempoNote>();  // quarter note, 120 BPM
  channelCount_ = std::clamp(InputCount(), 0, WahVoice::kChannels);
  const ParamRow& q = ParamTable(kResonance);
  voice_.resonance = ParamRamp(resonance_, q.minimum, q.maximum);
  voice_.low = ParamRamp(modulator_.low, cutoffRange_.low, cutoffRange_.high);
  voice_.high = ParamRamp(modulator_.high, cutoffRange_.low, cutoffRange_.high);
  voice_.SetSampleRate(SampleRate());
  fading_ = voice_;

  DefineParameters();
  BuildEditor(*this, editorLinks_);

  curve_.assign(kPlotPoints, 0.0);
  profile1_.assign(kPlotPoints, 0.0f);
  profile2_.assign(kPlotPoints, 0.0f);
  frequencies_.SetRange(100.0f, 4000.0f, kPlotPoints);
  slewBase_ = 0.04 * SampleRate();
  fadeLength_ = ParamRamp::LengthFor(kFadeSeconds, SampleRate());

  ReserveFrames(kReservedFrames);
}

Quillwave::~Quillwave() = default;

// Every per-slice buffer holds frames samples, so slices of up to that
// length never allocate on the audio thread.
void Quillwave::ReserveFrames(int32_t frames) {
  frames = std::max(frames, 1);
  if (frames == capacity_) return;
  capacity_ = frames;
  const size_t n = static_cast<size_t>(capacity_);
  block_.reserve(n);
  modulator_.output.reserve(n);
  // Four ramps for each path, then the faded path's modulation, cutoffs
  // and two channels; every slice writes what it reads, so the memory is
  // left as it comes (an instance that never plays never touches it).
  scratch_ = std::make_unique_for_overwrite<double[]>(n * 12);
}

VoiceBuffers Quillwave::Buffers(int which, double* modulation, double* cutoffs) {
  double* base = scratch_.get() + size_t(which) * 4 * size_t(capacity_);
  const size_t n = size_t(capacity_);
  return {modulation, cutoffs, base, base + n, base + 2 * n, base + 3 * n};
}

void Quillwave::Reset() {
  Hold hold(*this);
  voice_.SetSampleRate(SampleRate());
  fading_.SetSampleRate(SampleRate());
  modulator_.SetSampleRate(SampleRate());
  // A fade running across a change of rate goes on from as far as it had
  // come along the new length.
  const int32_t length = ParamRamp::LengthFor(kFadeSeconds, SampleRate());
  if (fadeLeft_ > 0) {
    const double done = double(fadeLength_ - fadeLeft_) / fadeLength_;
    fadeLeft_ = std::max<int32_t>(1, length - static_cast<int32_t>(done * length));
  }
  fadeLength_ = length;
  ReserveFrames(std::max(kReservedFrames, std::clamp(BlockSize(), 0, kMaxBlockFrames)));
}

void Quillwave::ActivationChanged(bool active) {
  Hold hold(*this);
  if (!active) return;
  // A session that loads and switches on starts on its settings, not on a
  // sweep from wherever the instance was.
  applyAtOnce_ = true;
  voice_.Settle();
  fadeLeft_ = 0;
}

void Quillwave::BeginParameterBatch() {
  Hold hold(*this);
  if (batchDepth_++ == 0) BeginFade();
}

// The plots are drawn once for the whole batch: a bank applies every one of
// its programs in turn, and each parameter would draw them again.
void Quillwave::EndParameterBatch() {
  Hold hold(*this);
  if (batchDepth_ == 0 || --batchDepth_ > 0) return;
  if (editorOpen_) UpdatePlots();
}

// Host automation with the editor closed must not pay for plots nobody
// sees: a response plot costs more than a block of audio.
void Quillwave::RefreshPlots(int plots) {
  if (batchDepth_ > 0 || !editorOpen_) {
    stalePlots_ |= plots;
    return;
  }
  if (plots & kCurvePlot) UpdateCurve();
  if (plots & kResponsePlot) RefreshResponse();
}

void Quillwave::UpdatePlots() {
  Hold hold(*this);
  if (batchDepth_ > 0) return;
  const int stale = stalePlots_;
  stalePlots_ = 0;
  if (stale & kCurvePlot) UpdateCurve();
  if (stale & kResponsePlot) RefreshResponse();
}

void Quillwave::OnEditorOpen() {
  Hold hold(*this);
  editorOpen_ = true;
  UpdatePlots();
}

void Quillwave::OnEditorClose() {
  Hold hold(*this);
  editorOpen_ = false;
}

void Quillwave::MoveTo(ParamRamp& r, double v) {
  if (AtOnce())
    r.Jump(v);
  else
    r.SetTarget(v);
}

void Quillwave::BeginFade() {
  if (applyAtOnce_ || fadeLeft_ > 0) return;
  fading_ = voice_;
  fadeLeft_ = fadeLength_;
}

void Quillwave::RequestResync() {
  if (tempoSync_ && follow_.previousPlaying) follow_.resyncNeeded = true;
}

void Quillwave::ApplyRate(double hz) { voice_.lfo.SetRate(hz); }

void Quillwave::UpdateCurve() {
  voice_.lfo.Render(curve_.data(), kPlotPoints, false);
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
  RefreshPlots(kCurvePlot);
  voice_.curveChanged = true;
}

void Quillwave::ParamChanged(int32_t index) {
  Hold hold(*this);
  if (index < 0 || index >= kParamCount) return;
  const double value = ParamValue(index);
  switch (index) {
    case kMix:
      MoveTo(voice_.mix, value);
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
      RequestResync();
      break;
    case kPhase:
      voice_.lfo.phase = value;
      RefreshOscillator();
      break;
    case kSymmetry:
      voice_.lfo.SetSymmetry(value);
      RefreshOscillator();
      break;
    case kShape:
      voice_.lfo.SetShape(value);
      RefreshOscillator();
      break;
    case kPrefix:
      note_->SetPrefix(value);
      ApplyRate(note_->Rate());
      RefreshOscillator();
      RequestResync();
      break;
    case kTempoSync:
      tempoSync_ = value != 0.0;
      if (tempoSync_) {
        ApplyRate(note_->Rate());
        RequestResync();
      } else {
        ApplyRate(ParamValue(kLfoFrequency));
        voice_.lfo.syncPhase = 0.0;
      }
      RefreshOscillator();
      UpdateVisibility();
      break;
    case kOnOff:
      if (voice_.bypass != (value != 0.0)) BeginFade();
      voice_.bypass = value != 0.0;
      break;
    case kMode:
      if (voice_.tremolo != (value != 0.0)) BeginFade();
      voice_.tremolo = value != 0.0;
      UpdateVisibility();
      break;
    case kCutoff1:
      cutoff1_ = value;
      cutoff1Hz_ = cutoffRange_.ToHz(value);
      modulator_.low = cutoff1Hz_;
      MoveTo(voice_.low, cutoff1Hz_);
      RefreshPlots(kCurvePlot | kResponsePlot);
      break;
    case kCutoff2:
      cutoff2_ = value;
      cutoff2Hz_ = cutoffRange_.ToHz(value);
      modulator_.high = cutoff2Hz_;
      MoveTo(voice_.high, cutoff2Hz_);
      RefreshPlots(kCurvePlot | kResponsePlot);
      break;
    case kResonance:
      resonance_ = value;
      MoveTo(voice_.resonance, value);
      for (auto& f : voice_.filters) f.SetResonance(value);
      RefreshPlots(kCurvePlot | kResponsePlot);
      break;
    case kFilterMode: {
      static constexpr int kTypes[] = {MultiBandFilterBT::kLP2, MultiBandFilterBT::kBP2,
                                       MultiBandFilterBT::kWahBP2};
      const bool known = value > -1.0 && value < 3.0;
      // The newly selected filter starts from cleared history; the fade
      // hides its start.
      BeginFade();
      for (auto& f : voice_.filters) {
        if (known) f.SetType(kTypes[static_cast<int>(value)]);
        f.ResetState();
      }
      for (auto& f : voice_.filters) f.SetResonance(resonance_);
      RefreshPlots(kResponsePlot);
      break;
    }
    default:
      break;
  }
}

// Evaluates the first channel's filter at both sweep limits and rescales
// both profiles onto one decibel scale in 0..1.
void Quillwave::RefreshResponse() {
  // The plot shows the resonance set, also while a ramp moves the filter's.
  MultiBandFilterBT& f = voice_.filters.front();
  f.SetResonance(resonance_);
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
  // A re-alignment while the oscillator runs reaches the new phase through
  // the slew, not in one jump.
  if (follow_.Update(time, frames, *note_, voice_.lfo)) voice_.curveChanged = true;
}

void Quillwave::ProcessDoubles(double** inputs, double** outputs, int32_t frames) {
  if (frames < 0) frames = 0;
  const int channels = channelCount_;
  const double* in[WahVoice::kChannels] = {nullptr, nullptr};
  double* out[WahVoice::kChannels] = {nullptr, nullptr};
  for (int c = 0; c < channels; ++c) {
    in[c] = inputs ? inputs[c] : nullptr;
    out[c] = outputs ? outputs[c] : nullptr;
  }

  // The tempo follow belongs to the host's call, however the adapter slices
  // it: once, at its start, with the call's length.
  const HostSlice slice = CurrentHostSlice();
  if (tempoSync_ && !voice_.bypass && slice.offset == 0)
    FollowTempo(slice.hostFrames < 0 ? frames : slice.hostFrames);

  // A host may exceed the block size it announced. The buffers keep the
  // storage reserved for that size, so a longer block runs in slices, each
  // as if the host had sent it on its own.
  const int32_t most = SliceFrames();
  int32_t done = 0;
  do {
    const int32_t n = std::min(most, frames - done);
    const double* sliceIn[WahVoice::kChannels] = {nullptr, nullptr};
    double* sliceOut[WahVoice::kChannels] = {nullptr, nullptr};
    for (int c = 0; c < channels; ++c) {
      sliceIn[c] = in[c] ? in[c] + done : nullptr;
      sliceOut[c] = out[c] ? out[c] + done : nullptr;
    }
    ProcessSlice(sliceIn, sliceOut, channels, n);
    done += n;
  } while (done < frames);
  applyAtOnce_ = false;
}

int32_t Quillwave::SliceFrames() const { return capacity_; }

namespace {
// Weight of the new path k samples into a fade of n: 0 to 1 with level
// ends, so neither the start nor the end of a fade makes a corner.
double FadeWeight(int32_t k, int32_t n) {
  const double t = static_cast<double>(k) / n;
  return t * t * (3.0 - 2.0 * t);
}
}  // namespace

// One slice of at most the reserved length. While a fade runs, the path
// faded from reads the input first (in and out may alias), then the
// current path writes the output and the two are blended.
void Quillwave::PublishSweepPosition() {
  const LfoGenerator& lfo = voice_.lfo;
  const double period = 2.0 * lfo.pi;
  // The plot's period starts at the offsets without the bar alignment and
  // the carry; the last frame rendered lies one step before the end phase.
  const double plotStart = (lfo.phase + std::fabs(lfo.symmetry - 0.5)) * lfo.pi;
  double x = (lfo.endPhase - lfo.increment - plotStart) / period;
  x -= std::floor(x);
  sweepPosition_.Publish(float(x), float(voice_.lastValue));
  if (modulator_.output.empty() || !(modulator_.output.back() > 0.0)) return;
  const double low = frequencies_.Low(), high = frequencies_.High();
  const double at = std::log(modulator_.output.back() / low) / std::log(high / low);
  cutoffPosition_.Publish(float(std::clamp(at, 0.0, 1.0)), 0.0f);
}

void Quillwave::ProcessSlice(const double* const* in, double* const* out, int channels,
                             int32_t frames) {
  if (frames != lastBlockSize_ || block_.size() != size_t(frames)) {
    lastBlockSize_ = frames;
    block_.resize(size_t(frames), 0.0);
  }
  if (modulator_.output.size() != size_t(frames)) modulator_.output.resize(size_t(frames));
  const double slewStep = slewBase_ / SampleRate();

  const int32_t faded = std::min(frames, fadeLeft_);
  const size_t n = size_t(capacity_);
  double* fadedAudio[WahVoice::kChannels] = {scratch_.get() + 10 * n, scratch_.get() + 11 * n};
  if (faded > 0) {
    double* oldOut[WahVoice::kChannels] = {nullptr, nullptr};
    for (int c = 0; c < channels; ++c) oldOut[c] = out[c] ? fadedAudio[c] : nullptr;
    fading_.Process(in, oldOut, channels, faded, slewStep, modulator_,
                    Buffers(1, scratch_.get() + 8 * n, scratch_.get() + 9 * n));
  }

  voice_.Process(in, out, channels, frames, slewStep, modulator_,
                 Buffers(0, block_.data(), modulator_.output.data()));
  if (!voice_.bypass) PublishSweepPosition();

  if (faded <= 0) return;
  const int32_t start = fadeLength_ - fadeLeft_;
  for (int c = 0; c < channels; ++c) {
    if (!in[c] || !out[c]) continue;  // neither path wrote this channel
    const double* old = fadedAudio[c];
    double* o = out[c];
    for (int32_t j = 0; j < faded; ++j)
      o[j] = old[j] + FadeWeight(start + j + 1, fadeLength_) * (o[j] - old[j]);
  }
  fadeLeft_ -= faded;
}
