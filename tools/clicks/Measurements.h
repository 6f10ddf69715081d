#pragma once

#include "PluginLibrary.h"
#include "PluginRig.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The measurements quillwave-clicks reports, each on fresh instances of the
// plug-in library driven through its entry point.
namespace clicks {

// Parameter indices and ranges of the plug-in under test.
enum Param : int {
  kMix = 0,
  kLfoFrequency = 1,
  kNote = 2,
  kPrefix = 6,
  kTempoSync = 7,
  kOnOff = 8,
  kMode = 9,
  kCutoff1 = 10,
  kCutoff2 = 11,
  kFilterMode = 13,
};
constexpr double kLp = 0.0, kBp = 0.5, kWah = 1.0;  // FilterMode, normalised

// Throws RenderError unless the library's parameters carry the names the
// measurements rely on, at those indices.
void CheckParameters(PluginInstance& plugin);

// Every measurement's input: 440 Hz at -9 dBFS RMS on both channels.
double Sine(int64_t frame);

constexpr double kRate = PluginRig::kSampleRate;
// The change comes after a second of audio, on a frame every block size
// tried divides.
constexpr int64_t kChangeFrame = 11 * 4096;
constexpr int64_t kClickWindow = 1323;  // 30 ms
// Where the difference a change makes to the sound is measured (100..200 ms
// after it), so a change that changes nothing is seen.
constexpr int64_t kEffectFrom = 4410, kEffectTo = 8820;

struct ClickCase {
  std::string name;
  std::function<void(PluginRig&)> setup;   // from the defaults, before the first block
  std::function<void(PluginRig&)> change;  // between two blocks; empty: no change
};
// The changes, after the no-change case that gives the floor.
std::vector<ClickCase> ClickCases();

struct ClickFigure {
  double click = 0;   // peak of the high-passed output in the 30 ms after the change
  double before = 0;  // the same in the 30 ms before it
  double effect = 0;  // RMS of the output's change against a render without it
};
ClickFigure MeasureClick(const PluginLibrary& library, const ClickCase& c, int block);

// Mix moved 0 -> 1 over one second, set once per block at the block's start
// value: the peak of the high-passed output during that second.
double MeasureAutomation(const PluginLibrary& library, int block);

struct SyncCase {
  int numerator = 4;  // over quarter notes, at 120 BPM
  int note = 2;       // 0..6: 1/1 .. 1/64
  int prefix = 0;     // 0 plain, 1 4/3, 2 triplet
};
std::string NoteName(const SyncCase& c);
// Oscillator cycles in one bar.
double CyclesPerBar(const SyncCase& c);

struct SyncFigure {
  // The modulation value, 4 bars: fixed 512-frame blocks against random
  // 1..2048, and the output itself there.
  double blocks = 0;
  double blocksOutput = 0;
  std::vector<double> blocksPerBar;
  double fromBar3 = 0;  // bar 1..5 against a transport started at bar 3
};
constexpr int64_t kCompareAfterBar3 = 2205;  // 50 ms: the start's slew has ended
SyncFigure MeasureSync(const PluginLibrary& library, const SyncCase& c, uint32_t seed);

}  // namespace clicks
