// Quillwave.vst3 under audio: the same sound as the VST 2.4 library for the
// same input, values and transport, with the host's parameter changes at
// their sample offsets; both sample sizes, mono, parameter flushes; the
// state bytes of both formats; no allocation while processing; many
// instances and module loads one after the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "ProcessProbe.h"
#include "TestHost.h"
#include "Vst3TestHost.h"
#include "quillwave/Quillwave.h"

namespace qwtest {
namespace {

using namespace vst3;
using Signal = std::vector<std::vector<float>>;

constexpr double kRate = 44100.0;
constexpr int32_t kMaxBlock = 4096;

// A saw with noise over it: a swept filter changes every part of it.
Signal TestSignal(int32_t frames, int channels) {
  Signal s(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames)));
  uint32_t seed = 12345;
  for (int c = 0; c < channels; ++c) {
    for (int32_t f = 0; f < frames; ++f) {
      seed = seed * 1664525u + 1013904223u;
      const double noise = double(seed >> 8) / double(1u << 24) - 0.5;
      const double saw = std::fmod(f * (110.0 + 55.0 * c) / kRate, 1.0) - 0.5;
      s[size_t(c)][size_t(f)] = float(0.5 * saw + 0.2 * noise);
    }
  }
  return s;
}

// A host value change at a frame of the whole signal; values are exact in
// single precision, which is what the VST 2.4 interface carries.
struct Change {
  int64_t frame;
  int32_t id;
  double value;
};

// Every value at the first frame, as a host sends its automation when the
// transport starts; these values instead of the defaults.
std::vector<Change> AtStart(std::initializer_list<std::pair<int32_t, double>> values = {}) {
  std::vector<Change> script;
  for (int32_t i = 0; i < Quillwave::kParamCount; ++i) {
    const Quillwave::ParamRow& r = Quillwave::ParamTable(i);
    double value = float((r.defaultValue - r.minimum) / (r.maximum - r.minimum));
    for (const auto& [id, v] : values)
      if (id == i) value = v;
    script.push_back({0, i, value});
  }
  return script;
}

// Changes inside blocks of every size after the start. The effect takes
// changes of one frame one after the other, and the host's queues of a
// block come in the order of the ids first changed in it: changes of one
// frame are listed in the order of their ids.
std::vector<Change> Script() {
  std::vector<Change> script = AtStart();
  const Change changes[] = {
      {100, Quillwave::kMix, 0.25},          {100, Quillwave::kFilterMode, 0.5},
      {300, Quillwave::kMix, 0.75},          {300, Quillwave::kCutoff1, 0.75},
      {612, Quillwave::kFilterMode, 1.0},    {1000, Quillwave::kResonance, 0.25},
      {1500, Quillwave::kMix, 1.0},          {1500, Quillwave::kCutoff2, 0.125},
      {2900, Quillwave::kOnOff, 1.0},        {4200, Quillwave::kOnOff, 0.0},
      {5000, Quillwave::kFilterMode, 0.0},   {6001, Quillwave::kMode, 1.0},
      {7000, Quillwave::kLfoFrequency, 0.5}, {7003, Quillwave::kShape, 0.0},
      {8191, Quillwave::kMode, 0.0},         {9000, Quillwave::kSymmetry, 0.75},
      {11000, Quillwave::kMix, 0.5},
  };
  script.insert(script.end(), std::begin(changes), std::end(changes));
  return script;
}
const std::vector<Change> kScript = Script();
constexpr int32_t kScriptFrames = 3 * kMaxBlock;

// Called before each block with the block's first frame.
using BeforeBlock = std::function<void(int32_t start)>;

// The signal through the VST 3 instance in blocks of block frames, each
// change a point of its block at its offset.
template <class Sample>
std::vector<std::vector<Sample>> RenderVst3(Vst3Instance& fx, const Signal& input, int32_t block,
                                            const std::vector<Change>& script,
                                            const BeforeBlock& before = {}) {
  const int channels = int(input.size());
  const int32_t frames = int32_t(input[0].size());
  std::vector<std::vector<Sample>> in(input.size()),
      out(input.size(), std::vector<Sample>(size_t(frames)));
  for (size_t c = 0; c < input.size(); ++c) in[c].assign(input[c].begin(), input[c].end());
  size_t next = 0;
  for (int32_t start = 0; start < frames; start += block) {
    const int32_t n = std::min(block, frames - start);
    if (before) before(start);
    for (; next < script.size() && script[next].frame < start + n; ++next)
      EXPECT_TRUE(fx.Changes().Add(ParamID(script[next].id), int32_t(script[next].frame - start),
                                   script[next].value));
    Sample* ip[2] = {};
    Sample* op[2] = {};
    for (int c = 0; c < channels; ++c) {
      ip[c] = in[size_t(c)].data() + start;
      op[c] = out[size_t(c)].data() + start;
    }
    EXPECT_EQ(fx.Process(ip, op, channels, n), kResultOk);
  }
  return out;
}

// The same through the VST 2.4 library: blocks of block frames, split where
// a change applies, the values set between the parts.
Signal RenderVst2(Instance& fx, const Signal& input, int32_t block,
                  const std::vector<Change>& script, const BeforeBlock& before = {}) {
  const int channels = int(input.size());
  const int32_t frames = int32_t(input[0].size());
  Signal in = input, out(input.size(), std::vector<float>(size_t(frames)));
  size_t next = 0;
  for (int32_t start = 0; start < frames; start += block) {
    const int32_t end = std::min(start + block, frames);
    if (before) before(start);
    for (int32_t at = start; at < end;) {
      for (; next < script.size() && script[next].frame <= at; ++next)
        fx.SetParameter(script[next].id, float(script[next].value));
      const int32_t stop =
          next < script.size() ? int32_t(std::min<int64_t>(script[next].frame, end)) : end;
      float* ip[2] = {};
      float* op[2] = {};
      for (int c = 0; c < channels; ++c) {
        ip[c] = in[size_t(c)].data() + at;
        op[c] = out[size_t(c)].data() + at;
      }
      fx.Effect()->processReplacing(fx.Effect(), ip, op, stop - at);
      at = stop;
    }
  }
  return out;
}

template <class Sample>
std::vector<std::vector<Sample>> Frames(const std::vector<std::vector<Sample>>& s, int32_t from,
                                        int32_t to) {
  std::vector<std::vector<Sample>> part;
  for (const auto& c : s) part.emplace_back(c.begin() + from, c.begin() + to);
  return part;
}

template <class A, class B>
double MaxDifference(const std::vector<std::vector<A>>& a, const std::vector<std::vector<B>>& b) {
  double most = 0.0;
  for (size_t c = 0; c < a.size(); ++c)
    for (size_t f = 0; f < a[c].size(); ++f)
      most = std::max(most, std::fabs(double(a[c][f]) - double(b[c][f])));
  return most;
}

void StartVst2(Instance& fx, int channels) {
  fx.Dispatch(vst::effOpen);
  fx.Dispatch(vst::effSetSampleRate, 0, 0, nullptr, float(kRate));
  fx.Dispatch(vst::effSetBlockSize, 0, kMaxBlock);
  if (channels == 1) {
    vst::VstSpeakerArrangement mono{};
    mono.type = vst::kSpeakerArrMono;
    mono.numChannels = 1;
    fx.Dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<vst::VstIntPtr>(&mono), &mono);
  }
  fx.Dispatch(vst::effMainsChanged, 0, 1);
}

class Vst3Processing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.Loaded()) << module_.Error();
    ASSERT_TRUE(vst2_.Loaded()) << vst2_.Error();
  }
  Vst3Module module_;
  TestHost vst2_;
};

// ---- audio ----

// The changes apply at their offsets however the blocks fall: the sound
// is the VST 2.4 library's with its blocks cut at the same frames. Both
// run the one effect in double precision and round once to single.
TEST_F(Vst3Processing, ChangesApplyAtTheirOffsetsAsInTheOtherFormat) {
  const Signal input = TestSignal(kScriptFrames, 2);
  for (int32_t block : {1, 7, 512, 4096}) {
    Vst3Instance fx(module_);
    ASSERT_TRUE(fx.Start(kRate, kMaxBlock));
    Instance reference(vst2_);
    StartVst2(reference, 2);
    const auto mine = RenderVst3<float>(fx, input, block, kScript);
    const Signal want = RenderVst2(reference, input, block, kScript);
    EXPECT_LE(MaxDifference(mine, want), 1e-6) << "blocks of " << block;
    // Not silence, and not the input: the effect ran.
    EXPECT_GT(MaxDifference(mine, Signal(2, std::vector<float>(kScriptFrames))), 0.1);
    EXPECT_GT(MaxDifference(mine, input), 0.1);
  }
}

// A new instance, switched on and given audio, plays what its parameters
// say without being told each one.
TEST_F(Vst3Processing, ANewInstanceSoundsAsItsValuesSay) {
  const Signal input = TestSignal(kMaxBlock, 2);
  Vst3Instance fx(module_);
  ASSERT_TRUE(fx.Start(kRate, kMaxBlock));
  Instance reference(vst2_);
  StartVst2(reference, 2);
  EXPECT_LE(
      MaxDifference(RenderVst3<float>(fx, input, 512, {}), RenderVst2(reference, input, 512, {})),
      1e-6);
}

// The 64-bit path runs the same arithmetic on the host's buffers; only the
// final rounding to single precision differs.
TEST_F(Vst3Processing, DoublePrecisionIsTheSingleResultUnrounded) {
  const Signal input = TestSignal(kScriptFrames, 2);
  for (int32_t block : {1, 7, 512, 4096}) {
    Vst3Instance single(module_), twice(module_);
    ASSERT_TRUE(single.Start(kRate, kMaxBlock, kSample32));
    ASSERT_TRUE(twice.Start(kRate, kMaxBlock, kSample64));
    const auto a = RenderVst3<float>(single, input, block, kScript);
    const auto b = RenderVst3<double>(twice, input, block, kScript);
    int64_t off = 0;
    for (size_t c = 0; c < a.size(); ++c)
      for (size_t f = 0; f < a[c].size(); ++f)
        if (std::fabs(a[c][f] - b[c][f]) > std::ldexp(std::fabs(b[c][f]), -24)) ++off;
    EXPECT_EQ(off, 0) << "blocks of " << block << ", largest difference " << MaxDifference(a, b);
  }
}

// A call of no frames delivers its changes: the next block sounds as if
// they had come at its first frame.
TEST_F(Vst3Processing, AFlushAppliesItsChanges) {
  const Signal input = TestSignal(1024, 2);
  const std::vector<Change> none;
  Vst3Instance flushed(module_), direct(module_), untouched(module_);
  for (Vst3Instance* fx : {&flushed, &direct, &untouched}) ASSERT_TRUE(fx->Start(kRate, 512));
  RenderVst3<float>(flushed, Frames(input, 0, 512), 512, none);
  flushed.Changes().Add(Quillwave::kMix, 0, 0.25);
  flushed.Changes().Add(Quillwave::kFilterMode, 0, 1.0);
  ASSERT_EQ(flushed.Flush(), kResultOk);
  EXPECT_DOUBLE_EQ(flushed.Controller()->getParamNormalized(Quillwave::kMix), 0.25);
  EXPECT_DOUBLE_EQ(flushed.Controller()->getParamNormalized(Quillwave::kFilterMode), 1.0);
  const auto afterFlush = RenderVst3<float>(flushed, Frames(input, 512, 1024), 512, none);

  const std::vector<Change> atSecondBlock = {{512, Quillwave::kMix, 0.25},
                                             {512, Quillwave::kFilterMode, 1.0}};
  const auto changed = RenderVst3<float>(direct, input, 512, atSecondBlock);
  const auto unchanged = RenderVst3<float>(untouched, input, 512, none);
  EXPECT_EQ(afterFlush, Frames(changed, 512, 1024));
  EXPECT_NE(afterFlush, Frames(unchanged, 512, 1024));
}

// A mono bus runs the effect's first channel beside a silent second one,
// as the other format's mono arrangement does.
TEST_F(Vst3Processing, MonoSoundsAsTheOtherFormatsMono) {
  const Signal input = TestSignal(kScriptFrames, 1);
  Vst3Instance fx(module_);
  SpeakerArrangement mono = kSpeakerMono;
  ASSERT_EQ(fx.Processor()->setBusArrangements(&mono, 1, &mono, 1), kResultTrue);
  ASSERT_TRUE(fx.Start(kRate, kMaxBlock));
  Instance reference(vst2_);
  StartVst2(reference, 1);
  const auto mine = RenderVst3<float>(fx, input, 512, kScript);
  EXPECT_LE(MaxDifference(mine, RenderVst2(reference, input, 512, kScript)), 1e-6);
  EXPECT_GT(MaxDifference(mine, input), 0.1);
}

// ---- state ----

// Values exact in single precision, whole steps where the parameter has
// them, none of them a default.
const std::pair<int32_t, double> kSettings[] = {
    {Quillwave::kMix, 0.75},      {Quillwave::kLfoFrequency, 0.5}, {Quillwave::kNote, 1.0},
    {Quillwave::kPhase, 0.25},    {Quillwave::kSymmetry, 0.125},   {Quillwave::kShape, 1.0},
    {Quillwave::kPrefix, 0.5},    {Quillwave::kTempoSync, 1.0},    {Quillwave::kOnOff, 1.0},
    {Quillwave::kMode, 1.0},      {Quillwave::kCutoff1, 0.625},    {Quillwave::kCutoff2, 0.375},
    {Quillwave::kResonance, 0.5}, {Quillwave::kFilterMode, 1.0}};

std::vector<double> Values(Vst3Instance& fx) {
  std::vector<double> v;
  for (int32_t i = 0; i < Quillwave::kParamCount; ++i)
    v.push_back(fx.Controller()->getParamNormalized(ParamID(i)));
  return v;
}

using Vst3State = Vst3Processing;

// The state is the other format's program chunk at the same values, and
// either format reads it back.
TEST_F(Vst3State, TheStateIsTheOtherFormatsProgramChunk) {
  Vst3Instance fx(module_);
  Instance other(vst2_);
  StartVst2(other, 2);
  ASSERT_FALSE(fx.State().empty());
  EXPECT_EQ(fx.State(), other.GetChunk(false));
  for (const auto& [id, value] : kSettings) {
    ASSERT_EQ(fx.Controller()->setParamNormalized(ParamID(id), value), kResultOk);
    other.SetParameter(id, float(value));
  }
  const std::vector<uint8_t> state = fx.State();
  EXPECT_EQ(state, other.GetChunk(false));

  // Read back byte for byte by another instance, a few bytes per call.
  Vst3Instance copy(module_);
  MemoryStream in(state);
  in.LimitTransfer(5);
  ASSERT_EQ(copy.Component()->setState(&in), kResultOk);
  EXPECT_EQ(copy.State(), state);
  EXPECT_EQ(Values(copy), Values(fx));
  // And by the other format.
  Instance again(vst2_);
  StartVst2(again, 2);
  EXPECT_EQ(again.SetChunk(state, false), 1);
  EXPECT_EQ(again.GetChunk(false), state);

  // Inside a host's own file: written where the stream stands, a few bytes
  // per call, and read from there.
  MemoryStream file(std::vector<uint8_t>{'H', 'E', 'A', 'D'});
  file.seek(0, IBStream::kSeekEnd, nullptr);
  file.LimitTransfer(3);
  ASSERT_EQ(fx.Component()->getState(&file), kResultOk);
  std::vector<uint8_t> want = {'H', 'E', 'A', 'D'};
  want.insert(want.end(), state.begin(), state.end());
  EXPECT_EQ(file.Bytes(), want);
  Vst3Instance fromFile(module_);
  file.seek(4, IBStream::kSeekSet, nullptr);
  ASSERT_EQ(fromFile.Component()->setState(&file), kResultOk);
  EXPECT_EQ(fromFile.State(), state);
  for (MemoryStream* s : {&in, &file}) EXPECT_EQ(s->References(), 1u);
}

// A stream that holds no whole state of ours is refused before any value
// changes.
TEST_F(Vst3State, StreamsThatHoldNoStateAreRefusedAndChangeNothing) {
  Vst3Instance fx(module_), reference(module_);
  for (const auto& [id, value] : kSettings) {
    ASSERT_EQ(fx.Controller()->setParamNormalized(ParamID(id), value), kResultOk);
    ASSERT_EQ(reference.Controller()->setParamNormalized(ParamID(id), value), kResultOk);
  }
  const std::vector<uint8_t> state = fx.State();
  ASSERT_GT(state.size(), 8u);
  std::vector<uint8_t> beyond = state;
  beyond.resize(size_t(16 << 20) + 1);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } refused[] = {
      {"empty", {}},
      {"the header cut short", {state.begin(), state.begin() + 6}},
      {"cut inside the values", {state.begin(), state.begin() + 60}},
      {"one byte short", {state.begin(), state.end() - 1}},
      {"a few foreign bytes", std::vector<uint8_t>(37, 0xA5)},
      {"longer than any state", beyond},
  };
  for (const auto& r : refused) {
    ASSERT_EQ(fx.SetState(state), kResultOk);
    EXPECT_EQ(fx.SetState(r.bytes), kResultFalse) << r.what;
    EXPECT_EQ(Values(fx), Values(reference)) << r.what;
  }
}

// ---- transport ----

// Where the host's transport stands at the start of a block.
struct Transport {
  double samples, quarters, bar, tempo;
  bool playing;
};

// Playing from a quarter note off the beat at 120 BPM, then a jump, a
// tempo change, a stop and a start somewhere else.
Transport TransportAt(int32_t block, int32_t frames) {
  const double seconds = double(block) * frames / kRate;
  if (block < 20) return {block * double(frames), 0.37 + 2.0 * seconds, 0.0, 120.0, true};
  const double since = double(block - 20) * frames;
  if (block < 40) return {90000.0 + since, 9.0 + 2.0 * since / kRate, 8.0, 120.0, true};
  const double later = double(block - 40) * frames;
  if (block < 50) return {110000.0 + later, 12.0 + 133.0 / 60.0 * later / kRate, 12.0, 133.0, true};
  if (block < 55) return {130000.0, 16.5, 16.0, 133.0, false};
  const double again = double(block - 55) * frames;
  return {200000.0 + again, 17.25 + 133.0 / 60.0 * again / kRate, 16.0, 133.0, true};
}

void Describe(const Transport& t, ProcessContext& c) {
  c = {};
  c.state = ProcessContext::kProjectTimeMusicValid | ProcessContext::kTempoValid |
            ProcessContext::kBarPositionValid | ProcessContext::kTimeSigValid |
            (t.playing ? ProcessContext::kPlaying : 0u);
  c.sampleRate = kRate;
  c.projectTimeSamples = int64_t(t.samples);
  c.projectTimeMusic = t.quarters;
  c.barPositionMusic = t.bar;
  c.tempo = t.tempo;
  c.timeSigNumerator = c.timeSigDenominator = 4;
}

vst::VstTimeInfo Describe(const Transport& t) {
  vst::VstTimeInfo info{};
  info.samplePos = t.samples;
  info.sampleRate = kRate;
  info.ppqPos = t.quarters;
  info.barStartPos = t.bar;
  info.tempo = t.tempo;
  info.timeSigNumerator = info.timeSigDenominator = 4;
  info.flags = vst::kVstPpqPosValid | vst::kVstTempoValid | vst::kVstBarsValid |
               vst::kVstTimeSigValid | (t.playing ? vst::kVstTransportPlaying : 0);
  return info;
}

// The oscillator follows the song position as it does under the other
// format's time info. Both read the same numbers into the same effect, so
// they agree to the last bit of the single-precision output.
TEST_F(Vst3Processing, TheTransportLocksTheOscillatorAsInTheOtherFormat) {
  constexpr int32_t kBlock = 512;
  const Signal input = TestSignal(60 * kBlock, 2);
  const std::vector<Change> script =
      AtStart({{Quillwave::kTempoSync, 1.0}, {Quillwave::kNote, 0.5}, {Quillwave::kMix, 1.0}});
  Vst3Instance fx(module_), free(module_);
  ASSERT_TRUE(fx.Start(kRate, kBlock));
  ASSERT_TRUE(free.Start(kRate, kBlock));
  fx.UseContext(true);
  Instance other(vst2_);
  StartVst2(other, 2);
  const auto mine = RenderVst3<float>(fx, input, kBlock, script, [&](int32_t start) {
    Describe(TransportAt(start / kBlock, kBlock), fx.Context());
  });
  const Signal want = RenderVst2(other, input, kBlock, script, [&](int32_t start) {
    vst2_.SetTransport(Describe(TransportAt(start / kBlock, kBlock)));
  });
  vst2_.SetTransport(vst::VstTimeInfo{}, false);
  EXPECT_EQ(MaxDifference(mine, want), 0.0);
  // Without the transport the oscillator runs on its own phase.
  EXPECT_GT(MaxDifference(mine, RenderVst3<float>(free, input, kBlock, script)), 0.05);
}

// ---- the audio thread ----

template <class Sample>
void RunWithoutAllocating(Vst3Module& module, int32_t sampleSize) {
  constexpr int32_t kBlock = 512;
  Vst3Instance fx(module);
  ASSERT_TRUE(fx.Start(kRate, kBlock, sampleSize));
  fx.UseContext(true);
  AudioBuffers<Sample> in(2, kBlock), out(2, kBlock);
  const Signal signal = TestSignal(kBlock, 2);
  for (size_t c = 0; c < 2; ++c) std::copy(signal[c].begin(), signal[c].end(), in.data[c].begin());
  Describe(TransportAt(0, kBlock), fx.Context());
  fx.Changes().Add(Quillwave::kTempoSync, 0, 1.0);
  ASSERT_EQ(fx.Process(in.Pointers(), out.Pointers(), 2, kBlock), kResultOk);

  ModuleAllocationCounter counter(module);
  const int32_t sizes[] = {kBlock, 100, 7, 1};
  for (int32_t k = 1; k <= 200; ++k) {
    const int32_t frames = sizes[k % 4];
    Describe(TransportAt(k, kBlock), fx.Context());
    fx.Changes().Add(Quillwave::kMix, frames / 3, k % 2 ? 0.25 : 0.75);
    fx.Changes().Add(Quillwave::kFilterMode, frames / 2, (k % 3) / 2.0);
    fx.Changes().Add(Quillwave::kCutoff1, 0, (k % 10) / 10.0);
    fx.Changes().Add(Quillwave::kNote, frames - 1, (k % 7) / 6.0);
    fx.Changes().Add(Quillwave::kOnOff, frames - 1, (k / 20) % 2);
    EXPECT_EQ(fx.Process(in.Pointers(), out.Pointers(), 2, frames), kResultOk);
    if (k % 50 == 0) {
      fx.Processor()->setProcessing(0);
      fx.Processor()->setProcessing(1);
      fx.Changes().Add(Quillwave::kResonance, 0, (k % 3) / 3.0);
      EXPECT_EQ(fx.Flush(), kResultOk);
    }
  }
  counter.Stop();
  EXPECT_EQ(counter.Count(), 0) << "sample size " << sampleSize;
}

// After its first block, processing allocates nothing: not for changes at
// offsets, a moving transport, shorter blocks, flushes or setProcessing,
// which may come on the audio thread.
TEST_F(Vst3Processing, NothingIsAllocatedAfterTheFirstBlock) {
  // The counter is not blind to the module: making an instance allocates
  // there (on Windows the counter sees nothing else).
  {
    ModuleAllocationCounter counter(module_);
    Vst3Instance fx(module_);
    counter.Stop();
    ASSERT_TRUE(fx.Ok());
    ASSERT_GT(counter.Count(), 0);
  }
  RunWithoutAllocating<float>(module_, kSample32);
  RunWithoutAllocating<double>(module_, kSample64);
}

// ---- life cycles ----

void Cycle(Vst3Module& module, AudioBuffers<float>& in, AudioBuffers<float>& out) {
  Vst3Instance fx(module);
  ASSERT_TRUE(fx.Ok());
  ASSERT_TRUE(fx.Start(kRate, 512));
  fx.Changes().Add(Quillwave::kMix, 100, 0.25);
  EXPECT_EQ(fx.Process(in.Pointers(), out.Pointers(), 2, 512), kResultOk);
  EXPECT_EQ(fx.Process(in.Pointers(), out.Pointers(), 2, 512), kResultOk);
  EXPECT_FALSE(fx.State().empty());
  EXPECT_EQ(fx.Close(), 0u);
  EXPECT_EQ(fx.Handler().References(), 1u);
  EXPECT_EQ(fx.Host().References(), 1u);
}

// Instances made, run, terminated and released one after the other, and
// the module loaded and unloaded around some: every one is freed, and no
// descriptor or handle, thread or memory stays behind.
TEST(Vst3LifeCycles, InstancesAndModulesComeAndGo) {
  AudioBuffers<float> in(2, 512), out(2, 512);
  {
    Vst3Module module;
    ASSERT_TRUE(module.Loaded()) << module.Error();
    KeepSystemLibrariesLoaded(module);
    Cycle(module, in, out);
  }
  const ProcessHoldings before = ProcessHoldings::Now();
  {
    Vst3Module module;
    ASSERT_TRUE(module.Loaded()) << module.Error();
    for (int i = 0; i < 100; ++i) Cycle(module, in, out);
  }
  for (int i = 0; i < 5; ++i) {
    Vst3Module module;
    ASSERT_TRUE(module.Loaded()) << module.Error();
    Cycle(module, in, out);
  }
  const ProcessHoldings after = ProcessHoldings::Now();
  ASSERT_GT(before.handles, 0);
  ASSERT_GT(before.threads, 0);
  // On Windows the threads runtime linked into the module keeps a record of
  // each host thread that used it (a thread handle and an event) until that
  // thread ends, also when the module is unloaded first: 2 handles per load
  // of the module, none per instance.
#ifdef _WIN32
  constexpr int kHandlesPerLoad = 2;
#else
  constexpr int kHandlesPerLoad = 0;
#endif
  EXPECT_LE(after.handles, before.handles + 6 * kHandlesPerLoad)
      << "left open by 105 instances and 6 module loads";
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_TRUE(after.MemoryWithin(before, 4096)) << after.memoryKb - before.memoryKb << " kB more";
}

}  // namespace
}  // namespace qwtest
