#pragma once

#include <memory>
#include <vector>

#include "base/PublishedPoint.h"
#include "dsp/CutoffModulator.h"
#include "dsp/LogScale.h"
#include "dsp/TempoNote.h"
#include "core/IEffectCore.h"
#include "quillwave/QuillwaveEditor.h"
#include "quillwave/TempoFollow.h"
#include "quillwave/WahVoice.h"

// The plug-in's own class: an auto-wah whose cutoff an oscillator sweeps
// between two limits, optionally panning the filtered signal between the
// channels. It knows no plug-in format: each format's adapter wraps it.
class Quillwave : public IEffectCore {
 public:
  enum Param : int32_t {
    kMix = 0,
    kLfoFrequency,
    kNote,
    kPhase,
    kSymmetry,
    kShape,
    kPrefix,
    kTempoSync,
    kOnOff,
    kMode,
    kCutoff1,
    kCutoff2,
    kResonance,
    kFilterMode,
    kParamCount
  };

  static constexpr int kPlotPoints = 200;

  // One row of the parameter table, in the parameter's own units. x and y
  // are the centre of the parameter's editor control, in editor pixels;
  // the editor layout places its knobs and switches from them.
  struct ParamRow {
    const char* name;
    bool integer;  // integer kind; continuous otherwise
    double defaultValue, minimum, maximum, step;
    int x, y;
  };
  // Row of index 0..kParamCount-1.
  static const ParamRow& ParamTable(int32_t index);
  // The cutoff knobs' range: 0..1 maps exponentially onto these.
  static constexpr double kCutoffLowHz = 125.0, kCutoffHighHz = 4000.0;

  Quillwave();
  ~Quillwave() override;

  // Changes a musician makes while audio runs reach it through ramps
  // (mix, sweep limits, resonance) and crossfades (bypass, filter, mode,
  // programs and saved states) of this length; values set after the
  // plug-in is switched on and before its first block apply at once.
  static constexpr double kFadeSeconds = 0.02;

  void Reset() override;
  void ParamChanged(int32_t index) override;
  void ProcessDoubles(double** inputs, double** outputs, int32_t frames) override;
  void ActivationChanged(bool active) override;
  void BeginParameterBatch() override;
  void EndParameterBatch() override;
  void OnEditorOpen() override;
  void OnEditorClose() override;
  // "OnOff" set bypasses the effect.
  int32_t BypassParameter() const override { return kOnOff; }

  // The editor the plug-in built (it owns it); null if it could not be built.
  IGraphics* Graphics() const { return editorLinks_.graphics; }

  // Plot data for the editor: one oscillator period in 0..1, and the filter
  // response at both sweep limits on one common decibel scale (0..1) over
  // ResponseFrequencies(). While no editor window is open the plots are
  // drawn only when asked for: here, on opening, or by UpdatePlots.
  const std::vector<double>& OscillatorCurve() {
    UpdatePlots();
    return curve_;
  }
  const std::vector<float>& ResponseProfile(int limit) {
    UpdatePlots();
    return limit == 0 ? profile1_ : profile2_;
  }
  void UpdatePlots();
  const std::vector<float>& ResponseFrequencies() const { return frequencies_.Points(); }
  // Where the sweep is: after every processed slice, the oscillator's last
  // position within the period the oscillator plot shows (0..1) and its
  // value (0..1). Unchanged while no audio runs or the effect is bypassed.
  const PublishedPoint& SweepPosition() const { return sweepPosition_; }
  // The cutoff of the slice's last frame on the response plot's frequency
  // axis (x, 0..1; y unused), published alongside.
  const PublishedPoint& CutoffPosition() const { return cutoffPosition_; }

  // The modulation values (0..1) and cutoffs (Hz) of the last processed
  // slice, one per frame.
  const std::vector<double>& SliceModulation() const { return block_; }
  const std::vector<double>& SliceCutoffs() const { return modulator_.output; }
  // The longest run processed in one piece; a longer host block is
  // processed in consecutive slices of this length.
  int32_t SliceFrames() const;

 private:
  // Exponential mapping of a normalised cutoff to Hz.
  struct ExpRange {
    double minimum = 0.0, maximum = 1.0, low = kCutoffLowHz, high = kCutoffHighHz;
    double ToHz(double value) const;
  };

  void DefineParameters();
  double ParamValue(int32_t index) const { return GetParameter(index)->Value(); }
  void ApplyRate(double hz);
  enum Plot { kCurvePlot = 1, kResponsePlot = 2 };
  // Draws the plots now, or at the end of the batch being applied.
  void RefreshPlots(int plots);
  void UpdateCurve();
  void RefreshOscillator();
  void RefreshResponse();
  void UpdateVisibility();
  void FollowTempo(int32_t frames);
  // A re-alignment to the song position when tempo sync follows a
  // running transport.
  void RequestResync();
  // Changes apply at once before the first block and inside a batch (the
  // crossfade covers those), otherwise over a ramp.
  bool AtOnce() const { return applyAtOnce_ || batchDepth_ > 0; }
  void MoveTo(ParamRamp& r, double v);
  // Keeps the sound path as it is now running beside the changed one and
  // fades from it; a fade already running keeps the path it started from.
  void BeginFade();
  void ReserveFrames(int32_t frames);
  void ProcessSlice(const double* const* in, double* const* out, int channels, int32_t frames);
  void PublishSweepPosition();
  VoiceBuffers Buffers(int which, double* modulation, double* cutoffs);

  double cutoff1_ = 0.0, cutoff1Hz_ = 400.0;
  double cutoff2_ = 0.0, cutoff2Hz_ = 3000.0;
  double resonance_ = 4.0;
  bool tempoSync_ = false;
  TempoFollow follow_;
  std::vector<double> curve_;
  std::vector<float> profile1_, profile2_;
  LogScale frequencies_;   // 100..4000 Hz
  double slewBase_ = 0.0;  // 0.04 * the sample rate at construction
  int32_t lastBlockSize_ = 0;
  std::vector<double> block_;  // oscillator values of the current slice
  std::unique_ptr<TempoNote> note_;
  WahVoice voice_;    // what the musician set
  WahVoice fading_;   // what the output fades from while fadeLeft_ > 0
  int32_t fadeLength_ = 882;
  int32_t fadeLeft_ = 0;
  bool applyAtOnce_ = true;  // switched on, no block processed yet
  int batchDepth_ = 0;       // programs or states being applied, nested
  int stalePlots_ = 0;       // Plot flags to draw when the batch ends or the editor opens
  bool editorOpen_ = false;
  int channelCount_ = 0;     // channels processed: input bindings, at most 2
  CutoffModulator modulator_;  // the mapping's ceiling and the current cutoffs
  int32_t capacity_ = 0;       // frames every buffer below holds
  std::unique_ptr<double[]> scratch_;  // ramp values of both paths, the faded path's audio
  ExpRange cutoffRange_;
  QuillwaveEditorLinks editorLinks_;
  PublishedPoint sweepPosition_;
  PublishedPoint cutoffPosition_;
};
