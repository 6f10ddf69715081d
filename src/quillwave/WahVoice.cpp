#include "quillwave/WahVoice.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "dsp/StereoSweep.h"

WahVoice::WahVoice() {
  dsp::StereoSweeps();  // decided here, never on the audio thread
  for (auto& f : filters) {
    f.SetType(MultiBandFilterBT::kWahBP2);
    f.WahOverBP2().SetOrientation(-1.0);
    f.WahOverBP2().Recompute();
  }
}

void WahVoice::SetSampleRate(double fs) {
  lfo.SetSampleRate(fs);
  for (auto& f : filters) f.SetSampleRate(fs);
  const int length = ParamRamp::LengthFor(kRampSeconds, fs);
  for (ParamRamp* r : {&mix, &low, &high, &resonance}) r->SetLength(length);
}

void WahVoice::Settle() {
  for (ParamRamp* r : {&mix, &low, &high, &resonance}) r->Settle();
  for (auto& f : filters) f.SetResonance(resonance.Value());
}

// After a curve change the modulation leaves the last value on a straight
// ramp of at most one step per sample and joins the new curve where it
// first comes within a step of it. The ramp carries on into the next slice
// when it has not arrived, so where the host cuts its blocks changes
// nothing.
void WahVoice::Slew(double* v, int frames, double step) {
  for (int j = 0; j < frames; ++j) {
    const double d = v[j] - lastValue;
    if (std::fabs(d) <= step) {
      slewing = false;
      return;
    }
    lastValue = d >= 0.0 ? lastValue + step : lastValue - step;
    v[j] = lastValue;
  }
}

void WahVoice::Process(const double* const* in, double* const* out, int channels, int frames,
                       double slewStep, const CutoffModulator& sweep, const VoiceBuffers& b) {
  if (frames <= 0) return;
  if (bypass) {
    for (int c = 0; c < channels; ++c)
      if (in[c] && out[c] && in[c] != out[c])
        std::memmove(out[c], in[c], sizeof(double) * static_cast<size_t>(frames));
    return;
  }

  lfo.Render(b.modulation, frames, true);
  if (curveChanged) {
    slewing = true;
    curveChanged = false;
  }
  if (slewing) Slew(b.modulation, frames, slewStep);
  lastValue = b.modulation[frames - 1];

  if (!Ramping()) {
    sweep.MapSteady(b.modulation, low.Value(), high.Value(), b.cutoffs, frames);
    if (channels == 2 && RunPair(in, out, frames, b, false, false)) return;
    for (int c = 0; c < channels; ++c)
      if (in[c] && out[c]) RunChannel(c, channels, in[c], out[c], frames, b);
    return;
  }

  // On the way to new values every sample has its own limits, mix and
  // resonance; once the ramps end these equal the constant path's.
  const bool resonanceMoves = resonance.Active();
  low.Fill(b.low, frames);
  high.Fill(b.high, frames);
  mix.Fill(b.mix, frames);
  if (resonanceMoves) resonance.Fill(b.resonance, frames);
  sweep.MapSwept(b.modulation, b.low, b.high, b.cutoffs, frames);
  // Both channels' coefficients still follow the same cutoff and resonance,
  // so they can share them.
  if (channels == 2 && RunPair(in, out, frames, b, true, resonanceMoves)) return;
  for (int c = 0; c < channels; ++c)
    if (in[c] && out[c]) RunChannelRamped(c, channels, in[c], out[c], frames, resonanceMoves, b);
}

namespace {
// True when the n-sample ranges at a and b share no sample.
bool Disjoint(const double* a, const double* b, int n) {
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
// With kMixMoves the mix is taken per sample from mixes (on its ramp).
template <bool kTremolo, bool kMixMoves, class F>
void SweepPair(F& f0, F& f1, const double* cutoff, const double* t, const double* in0,
               const double* in1, double* out0, double* out1, int n, double steadyMix,
               const double* mixes) {
  if (n <= 0) return;
  const double steadyDry = 1.0 - steadyMix;
  auto h0 = f0.GetState();
  auto h1 = f1.GetState();
  for (int j = 0; j < n; ++j) {
    const auto c = f0.CoefficientsAt(cutoff[j]);
    const double x0 = in0[j];
    const double x1 = in1[j];
    const double w0 = f0.Step(c, h0, x0);
    const double w1 = f1.Step(c, h1, x1);
    const double mix = kMixMoves ? mixes[j] : steadyMix;
    const double dry = kMixMoves ? 1.0 - mix : steadyDry;
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

// The vectorised stereo kernels for the kinds the effect offers; false for
// the others, which take SweepPair.
template <class F>
bool SweepStereo(F&, F&, const dsp::StereoFrames&) {
  return false;
}

bool SweepStereo(FilterLP2& f0, FilterLP2& f1, const dsp::StereoFrames& io) {
  dsp::LP2History h[2] = {f0.GetState(), f1.GetState()};
  dsp::StereoSweeps().lowPass(dsp::kPi / f0.SampleRate(), f0.Resonance(), h, io);
  f0.SetState(h[0]);
  f1.SetState(h[1]);
  return true;
}

bool SweepStereo(FilterBP2& f0, FilterBP2& f1, const dsp::StereoFrames& io) {
  dsp::BP2History h[2] = {f0.GetState(), f1.GetState()};
  dsp::StereoSweeps().bandPass(dsp::kPi / f0.SampleRate(), f0.Resonance(), f0.Gain(), h, io);
  f0.SetState(h[0]);
  f1.SetState(h[1]);
  return true;
}

bool SweepStereo(WahBP2& f0, WahBP2& f1, const dsp::StereoFrames& io) {
  const double fs = f0.SampleRate();
  const dsp::WahTerms terms{f0.Shape(),
                            dsp::kPi / fs,
                            dsp::k2Pi / fs,
                            f0.WideBand().Resonance(),
                            f0.NarrowBand().Gain(),
                            f0.WideBand().Gain()};
  WahBP2::History h0 = f0.GetState(), h1 = f1.GetState();
  dsp::HP1History hp[2] = {h0.hp, h1.hp};
  dsp::BP2History narrow[2] = {h0.bp1, h1.bp1};
  dsp::BP2History wide[2] = {h0.bp2, h1.bp2};
  dsp::StereoSweeps().wah(terms, hp, narrow, wide, io);
  f0.SetState({hp[0], narrow[0], wide[0]});
  f1.SetState({hp[1], narrow[1], wide[1]});
  return true;
}

// Sets cutoff and resonance with one coefficient computation where the
// filter offers it; the coefficients are the same either way.
template <class F>
void Retune(F& f, double fc, double q) {
  if constexpr (requires { f.SetCutoffAndResonance(fc, q); }) {
    f.SetCutoffAndResonance(fc, q);
  } else {
    f.SetResonance(q);
    f.SetCutoff(fc);
  }
}

// Which gain the filtered signal of a channel gets in tremolo mode: the
// first channel follows the modulation, the second moves against it, a
// lone channel gets the first's.
enum class Gain { kNone, kFollow, kOppose };
Gain GainOf(bool tremolo, int channel, int channels) {
  if (!tremolo) return Gain::kNone;
  return channel == 0 || channels < 2 ? Gain::kFollow : Gain::kOppose;
}
}  // namespace

// Runs both channels in one loop when that is the same as running them one
// after the other: same filter kind with the same rate and Q (so the same
// coefficients), and no channel writes where the other reads or writes.
// While the resonance glides only the vector kernels take its values per
// frame. Returns false, having done nothing, otherwise.
bool WahVoice::RunPair(const double* const* in, double* const* out, int frames,
                       const VoiceBuffers& b, bool mixMoves, bool resonanceMoves) {
  if (!in[0] || !in[1] || !out[0] || !out[1]) return false;
  if (!Disjoint(out[0], in[1], frames) || !Disjoint(out[1], in[0], frames) ||
      !Disjoint(out[0], out[1], frames))
    return false;
  const double* cutoff = b.cutoffs;
  const double* t = b.modulation;
  const double m = mix.Value();
  const bool trem = tremolo;
  return MultiBandFilterBT::VisitActivePair(filters[0], filters[1], [&](auto& f0, auto& f1) {
    if (!f0.SharesCoefficients(f1)) return false;
    const double* mixes = b.mix;
    const dsp::StereoFrames io{cutoff,
                               {in[0], in[1]},
                               {out[0], out[1]},
                               mixMoves ? mixes : nullptr,
                               m,
                               trem ? t : nullptr,
                               frames,
                               resonanceMoves ? b.resonance : nullptr};
    if (SweepStereo(f0, f1, io)) {
      for (auto* f : {&f0, &f1}) {
        if (resonanceMoves)
          Retune(*f, cutoff[frames - 1], b.resonance[frames - 1]);
        else
          f->SetCutoff(cutoff[frames - 1]);
      }
      return true;
    }
    if (resonanceMoves) return false;
    if (trem && mixMoves)
      SweepPair<true, true>(f0, f1, cutoff, t, in[0], in[1], out[0], out[1], frames, m, mixes);
    else if (trem)
      SweepPair<true, false>(f0, f1, cutoff, t, in[0], in[1], out[0], out[1], frames, m, mixes);
    else if (mixMoves)
      SweepPair<false, true>(f0, f1, cutoff, t, in[0], in[1], out[0], out[1], frames, m, mixes);
    else
      SweepPair<false, false>(f0, f1, cutoff, t, in[0], in[1], out[0], out[1], frames, m, mixes);
    return true;
  });
}

// Filters one channel at the slice's cutoffs and mixes it with the dry
// signal. Each output sample is written after its input sample was read,
// so in and out may be the same buffer.
void WahVoice::RunChannel(int channel, int channels, const double* in, double* out, int frames,
                          const VoiceBuffers& b) {
  MultiBandFilterBT& holder = filters[static_cast<size_t>(channel)];
  const double* cutoff = b.cutoffs;
  const double* t = b.modulation;
  const double m = mix.Value();
  const double dry = 1.0 - m;
  const Gain gain = GainOf(tremolo, channel, channels);
  const bool ran = holder.VisitActive([&](auto& filter) {
    switch (gain) {
      case Gain::kNone:
        for (int j = 0; j < frames; ++j) {
          filter.SetCutoff(cutoff[j]);
          const double wet = filter.ProcessSample(in[j]);
          out[j] = dry * in[j] + m * wet;
        }
        break;
      case Gain::kFollow:
        for (int j = 0; j < frames; ++j) {
          filter.SetCutoff(cutoff[j]);
          const double wet = filter.ProcessSample(in[j]);
          out[j] = m * wet * t[j] + dry * in[j];
        }
        break;
      case Gain::kOppose:
        for (int j = 0; j < frames; ++j) {
          filter.SetCutoff(cutoff[j]);
          const double wet = filter.ProcessSample(in[j]);
          out[j] = m * wet * (1.0 - t[j]) + dry * in[j];
        }
        break;
    }
  });
  if (!ran)
    for (int j = 0; j < frames; ++j) out[j] = dry * in[j];
}

// The same arithmetic as RunChannel, with mix, and where it moves the
// resonance, taken per sample.
void WahVoice::RunChannelRamped(int channel, int channels, const double* in, double* out,
                                int frames, bool resonanceMoves, const VoiceBuffers& b) {
  MultiBandFilterBT& holder = filters[static_cast<size_t>(channel)];
  const double* cutoff = b.cutoffs;
  const double* t = b.modulation;
  const double* m = b.mix;
  const double* q = b.resonance;
  const Gain gain = GainOf(tremolo, channel, channels);
  const bool ran = holder.VisitActive([&](auto& filter) {
    for (int j = 0; j < frames; ++j) {
      if (resonanceMoves)
        Retune(filter, cutoff[j], q[j]);
      else
        filter.SetCutoff(cutoff[j]);
      const double x = in[j];
      const double wet = filter.ProcessSample(x);
      const double dry = 1.0 - m[j];
      switch (gain) {
        case Gain::kNone:
          out[j] = dry * x + m[j] * wet;
          break;
        case Gain::kFollow:
          out[j] = m[j] * wet * t[j] + dry * x;
          break;
        case Gain::kOppose:
          out[j] = m[j] * wet * (1.0 - t[j]) + dry * x;
          break;
      }
    }
  });
  if (!ran)
    for (int j = 0; j < frames; ++j) out[j] = (1.0 - m[j]) * in[j];
}
