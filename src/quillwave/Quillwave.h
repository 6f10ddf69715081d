#pragma once

#include <memory>
#include <vector>

#include "dsp/CutoffModulator.h"
#include "dsp/LfoGenerator.h"
#include "dsp/LogScale.h"
#include "dsp/MultiBandFilterBT.h"
#include "dsp/TempoNote.h"
#include "host/IVstAdapter.h"
#include "quillwave/QuillwaveEditor.h"
#include "quillwave/TempoFollow.h"

// The plug-in's own class: an auto-wah whose cutoff an oscillator sweeps
// between two limits, optionally panning the filtered signal between the
// channels, on top of the VST adapter.
class Quillwave : public IVstAdapter {
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

  explicit Quillwave(vst::audioMasterCallback host);
  ~Quillwave() override;

  void Reset() override;
  void ParamChanged(int32_t index) override;
  void ProcessDoubles(double** inputs, double** outputs, int32_t frames) override;

  // The editor the plug-in built (it owns it); null if it could not be built.
  IGraphics* Graphics() const { return editorLinks_.graphics; }

  // Plot data for the editor: one oscillator period in 0..1, and the filter
  // response at both sweep limits on one common decibel scale (0..1) over
  // ResponseFrequencies().
  const std::vector<double>& OscillatorCurve() const { return curve_; }
  const std::vector<float>& ResponseProfile(int limit) const {
    return limit == 0 ? profile1_ : profile2_;
  }
  const std::vector<float>& ResponseFrequencies() const { return frequencies_.Points(); }

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
    double minimum = 0.0, maximum = 1.0, low = 125.0, high = 4000.0;
    double ToHz(double value) const;
  };

  void DefineParameters();
  double ParamValue(int32_t index) const { return GetParameter(index)->Value(); }
  void ApplyRate(double hz);
  void UpdateCurve();
  void RefreshOscillator();
  void RefreshResponse();
  void UpdateVisibility();
  void FollowTempo(int32_t frames);
  void Slew(int32_t frames);
  void ProcessSlice(double** inputs, double** outputs, int channels, int32_t offset,
                    int32_t frames);
  bool RunPair(const double* const* in, double* const* out, int32_t frames);
  void RunChannel(int channel, int channels, const double* in, double* out, int32_t frames);

  double mix_ = 0.5;
  double cutoff1_ = 0.0, cutoff1Hz_ = 400.0;
  double cutoff2_ = 0.0, cutoff2Hz_ = 3000.0;
  double resonance_ = 4.0;
  bool tremolo_ = false;
  bool bypass_ = false;
  bool tempoSync_ = false;
  bool curveChanged_ = false;
  TempoFollow follow_;
  std::vector<double> curve_;
  std::vector<float> profile1_, profile2_;
  LogScale frequencies_;    // 100..4000 Hz
  double lastValue_ = 0.0;  // last oscillator value of the previous block
  double slewBase_ = 0.0;   // 0.04 * the sample rate at construction
  int32_t lastBlockSize_ = 0;
  std::vector<double> block_;  // oscillator values of the current block
  std::unique_ptr<LfoGenerator> lfo_;
  std::unique_ptr<TempoNote> note_;
  std::vector<std::unique_ptr<MultiBandFilterBT>> filters_;  // one per input channel
  CutoffModulator modulator_;
  ExpRange cutoffRange_;
  QuillwaveEditorLinks editorLinks_;
};
