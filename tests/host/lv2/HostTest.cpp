// Quillwave.lv2 in a small lilv host: the build tree's bundle instantiated
// with urid:map and bufsz:maxBlockLength, fed time:Position objects made
// with the atom forge, against the VST 2.4 library in the scripted host.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>
#include <malloc.h>

#include <functional>
#include <random>
#include <string>

#include "AllocationCounter.h"
#include "Lv2TestSupport.h"
#include "TestHost.h"
#include "quillwave/Quillwave.h"

using namespace qwlv2;
using Q = Quillwave;

namespace {

constexpr double kRate = 44100.0;
using Controls = std::array<float, Q::kParamCount>;

// URIs to numbers, as a host maps them.
struct UridMap {
  static LV2_URID Map(LV2_URID_Map_Handle h, const char* uri) {
    auto& uris = static_cast<UridMap*>(h)->uris;
    const auto at = std::find(uris.begin(), uris.end(), uri);
    if (at != uris.end()) return LV2_URID(at - uris.begin() + 1);
    uris.emplace_back(uri);
    return LV2_URID(uris.size());
  }
  LV2_URID operator()(const char* uri) { return Map(this, uri); }
  std::vector<std::string> uris;
  LV2_URID_Map feature{this, &Map};
} gMap;

// The table's defaults; with tempo sync, other values too.
Controls Settings(bool synced) {
  Controls c;
  for (int i = 0; i < Q::kParamCount; ++i) c[i] = float(Q::ParamTable(i).defaultValue);
  if (synced)
    for (auto [i, v] : {std::pair{Q::kTempoSync, 1.0f},
                        {Q::kNote, 2.0f},
                        {Q::kFilterMode, 2.0f},
                        {Q::kMix, 1.0f},
                        {Q::kPhase, 1.25f},
                        {Q::kShape, 0.5f},
                        {Q::kSymmetry, 0.25f},
                        {Q::kCutoff1, 0.125f},
                        {Q::kCutoff2, 0.75f}})
      c[i] = v;
  return c;
}

// A song's meter, and a place in it as a host tells it: beats are
// 1/beatUnit notes, frames count from the song's start.
struct Meter {
  float bpm, beatsPerBar;
  int32_t beatUnit;
};
struct Place {
  int64_t frame, bar;
  float barBeat;
};
Place At(const Meter& m, int64_t bar, float barBeat) {
  const double beats = double(bar) * m.beatsPerBar + barBeat;
  return {std::llround(beats * 60.0 * kRate / m.bpm), bar, barBeat};
}

// One instance, active; each Run takes the events added since the last.
class Lv2Plugin {
 public:
  explicit Lv2Plugin(int32_t maxBlock = 4096, const Controls& c = Settings(false))
      : controls(c), maxBlock_(maxBlock) {
    static const LilvPlugin* plugin = [] {
      LilvWorld* world = lilv_world_new();
      LilvNode* bundle = lilv_new_file_uri(world, nullptr, QW_LV2_BUNDLE "/");
      LilvNode* uri = lilv_new_uri(world, "urn:korvanta:quillwave");
      lilv_world_load_bundle(world, bundle);
      const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
      lilv_node_free(uri);
      lilv_node_free(bundle);
      return p;
    }();
    lv2_atom_forge_init(&forge_, &gMap.feature);
    options_[0] = {
        LV2_OPTIONS_INSTANCE, 0,         gMap(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
        gMap(LV2_ATOM__Int),  &maxBlock_};
    const LV2_Feature* features[] = {&mapFeature_, &optionsFeature_, nullptr};
    if (!(instance_ = lilv_plugin_instantiate(plugin, kRate, features))) return;
    for (uint32_t i = 0; i < Q::kParamCount; ++i)
      lilv_instance_connect_port(instance_, i, &controls[i]);
    lilv_instance_connect_port(instance_, Q::kParamCount + 4, atoms_.data());
    lilv_instance_activate(instance_);
    Clear();
  }
  ~Lv2Plugin() {
    if (!instance_) return;
    lilv_instance_deactivate(instance_);
    lilv_instance_free(instance_);
  }
  explicit operator bool() const { return instance_ != nullptr; }

  // A playing transport at place p, at frame at of the next run.
  void Position(uint32_t at, const Meter& m, const Place& p) {
    LV2_Atom_Forge* f = &forge_;
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(f, at);
    lv2_atom_forge_object(f, &object, 0, gMap(LV2_TIME__Position));
    auto key = [&](const char* uri) { return lv2_atom_forge_key(f, gMap(uri)), f; };
    lv2_atom_forge_long(key(LV2_TIME__frame), p.frame);
    lv2_atom_forge_float(key(LV2_TIME__speed), 1.0f);
    lv2_atom_forge_long(key(LV2_TIME__bar), p.bar);
    lv2_atom_forge_float(key(LV2_TIME__barBeat), p.barBeat);
    lv2_atom_forge_float(key(LV2_TIME__beatsPerBar), m.beatsPerBar);
    lv2_atom_forge_int(key(LV2_TIME__beatUnit), m.beatUnit);
    lv2_atom_forge_float(key(LV2_TIME__beatsPerMinute), m.bpm);
    lv2_atom_forge_pop(f, &object);
  }
  // The sequence forged so far, for a test to spoil.
  LV2_Atom_Sequence* Events() { return reinterpret_cast<LV2_Atom_Sequence*>(atoms_.data()); }

  void Run(const Stereo& in, Stereo& out, size_t at, uint32_t frames) {
    for (uint32_t c = 0; c < 2; ++c) {
      lilv_instance_connect_port(instance_, Q::kParamCount + c, const_cast<float*>(&in[c][at]));
      lilv_instance_connect_port(instance_, Q::kParamCount + 2 + c, &out[c][at]);
    }
    lilv_instance_run(instance_, frames);
    Clear();
  }

  Controls controls;

 private:
  void Clear() {
    lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<uint8_t*>(atoms_.data()),
                              atoms_.size() * sizeof(uint64_t));
    lv2_atom_forge_sequence_head(&forge_, &sequence_, 0);
  }

  int32_t maxBlock_;
  LV2_Options_Option options_[2] = {};
  LV2_Feature mapFeature_{LV2_URID__map, &gMap.feature};
  LV2_Feature optionsFeature_{LV2_OPTIONS__options, options_};
  LilvInstance* instance_ = nullptr;
  std::array<uint64_t, 1024> atoms_{};
  LV2_Atom_Forge forge_;
  LV2_Atom_Forge_Frame sequence_;
};

Stereo Signal(size_t frames) {
  Stereo s;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> noise(-0.1, 0.1);
  for (size_t c = 0; c < 2; ++c)
    for (double i = 0; i < double(frames); ++i)
      s[c].push_back(float(0.3 * std::sin(i * double(c + 1) * 2 * M_PI * 110.0 / kRate) +
                           0.2 * std::sin(i * 2 * M_PI * 1375.0 / kRate) + noise(rng)));
  return s;
}

// The signal through p in runs of the lengths next() gives; events(at)
// adds the events of the run starting at frame at.
Stereo Render(Lv2Plugin& p, const Stereo& in, const std::function<uint32_t()>& next,
              const std::function<void(size_t)>& events) {
  Stereo out{std::vector<float>(in[0].size()), std::vector<float>(in[0].size())};
  for (size_t at = 0, n = 0; at < in[0].size(); at += n) {
    n = std::min<size_t>(next(), in[0].size() - at);
    events(at);
    p.Run(in, out, at, uint32_t(n));
  }
  return out;
}
std::function<uint32_t()> Fixed(uint32_t n) {
  return [n] { return n; };
}

// The signal through the VST 2.4 library at the same settings (normalised
// over the table's ranges) in calls of the given lengths, with time(at) the
// transport of the call at frame at.
Stereo RenderVst(const Controls& c, const Stereo& in, const std::vector<uint32_t>& calls,
                 const std::function<vst::VstTimeInfo(size_t)>& time) {
  static qwtest::TestHost host;
  qwtest::Instance fx(host);
  fx.Start(float(kRate), 512);
  for (int i = 0; i < Q::kParamCount; ++i) {
    const Q::ParamRow& r = Q::ParamTable(i);
    fx.SetParameter(i, float((c[i] - r.minimum) / (r.maximum - r.minimum)));
  }
  Stereo out;
  size_t at = 0;
  for (uint32_t n : calls) {
    host.SetTransport(time(at));
    std::vector<std::vector<float>> i(2), o(2, std::vector<float>(n));
    for (size_t ch = 0; ch < 2; ++ch) i[ch].assign(&in[ch][at], &in[ch][at] + n);
    fx.ProcessReplacing(i, o, int32_t(n));
    for (size_t ch = 0; ch < 2; ++ch) out[ch].insert(out[ch].end(), o[ch].begin(), o[ch].end());
    at += n;
  }
  return out;
}

// What a VST 2.4 host reports at frame f of a song playing from place p.
vst::VstTimeInfo VstTime(const Meter& m, const Place& p, int64_t f) {
  const double quarters = 4.0 / m.beatUnit, beats = double(f - p.frame) * m.bpm / (60.0 * kRate);
  vst::VstTimeInfo t{};
  t.samplePos = double(f);
  t.sampleRate = kRate;
  t.tempo = m.bpm * quarters;
  t.ppqPos = (double(p.bar) * m.beatsPerBar + p.barBeat + beats) * quarters;
  t.barStartPos = std::floor(t.ppqPos / (m.beatsPerBar * quarters)) * m.beatsPerBar * quarters;
  t.timeSigNumerator = int32_t(m.beatsPerBar);
  t.timeSigDenominator = m.beatUnit;
  t.flags = vst::kVstTransportPlaying | vst::kVstTempoValid | vst::kVstPpqPosValid |
            vst::kVstBarsValid | vst::kVstTimeSigValid;
  return t;
}

// a. Tempo sync from one position object and a jump, as the VST 2.4
// library locks with the time every call. Same settings, same float
// values: the measured difference is 0; 1e-6 leaves room for rounding of
// the position arithmetic, a lock any way off differs by far more.
class TempoSync : public testing::TestWithParam<Meter> {};

TEST_P(TempoSync, LocksAndJumpsLikeTheVstLibrary) {
  const Meter m = GetParam();
  const Place start = At(m, 3, 1.5f), jump = At(m, 17, 0.5f);
  constexpr size_t kBlocks = 100, kJumpBlock = 60, kJumpAt = 200,
                   kJump = kJumpBlock * 512 + kJumpAt;
  const Stereo in = Signal(kBlocks * 512);
  auto lv2 = [&](bool withJump) {
    Lv2Plugin p(512, Settings(true));
    return Render(p, in, Fixed(512), [&](size_t at) {
      if (at == 0) p.Position(0, m, start);
      if (withJump && at == kJumpBlock * 512) p.Position(kJumpAt, m, jump);
    });
  };
  // The VST 2.4 host splits the block at the jump.
  std::vector<uint32_t> calls(kBlocks, 512);
  calls[kJumpBlock] = kJumpAt;
  calls.insert(calls.begin() + kJumpBlock + 1, 512 - kJumpAt);
  const Stereo vst = RenderVst(Settings(true), in, calls, [&](size_t f) {
    return f < kJump ? VstTime(m, start, start.frame + int64_t(f))
                     : VstTime(m, jump, jump.frame + int64_t(f - kJump));
  });
  const double d = MaxDiff(lv2(true), vst);
  std::printf("%g/%d at %g BPM: max |LV2 - VST| = %.3g\n", m.beatsPerBar, m.beatUnit, m.bpm, d);
  EXPECT_LE(d, 1e-6);
  // Both re-aligned at the jump: without it the output differs.
  EXPECT_GT(MaxDiff(lv2(false), vst, kJump), 0.01);
}

INSTANTIATE_TEST_SUITE_P(Meters, TempoSync,
                         testing::Values(Meter{128.0f, 4.0f, 4}, Meter{180.0f, 6.0f, 8}));

// b. Any run lengths give the output of runs of 512, sample for sample
// (measured: identical).
class RunLengths : public testing::TestWithParam<bool> {};

TEST_P(RunLengths, GiveTheSameOutput) {
  const Meter m{140.0f, 4.0f, 4};
  Controls c = Settings(GetParam());
  c[Q::kLfoFrequency] = 7.25f;
  const Stereo in = Signal(3 * 4096 + 123);
  auto render = [&](const std::function<uint32_t()>& next) {
    Lv2Plugin p(4096, c);
    return Render(p, in, next, [&](size_t at) {
      if (at == 0) p.Position(0, m, At(m, 2, 0.0f));
    });
  };
  const Stereo reference = render(Fixed(512));
  std::mt19937 rng(3);
  std::uniform_int_distribution<uint32_t> size(1, 4096);
  // The whole signal is longer than the announced 4096: it runs in slices.
  for (auto [name, next] : {std::pair{"1", Fixed(1)},
                            {"7", Fixed(7)},
                            {"4096", Fixed(4096)},
                            {"1..4096", [&] { return size(rng); }},
                            {"all", Fixed(13000)}})
    EXPECT_EQ(MaxDiff(render(next), reference), 0.0) << "runs of " << name;
}

INSTANTIATE_TEST_SUITE_P(Lfo, RunLengths, testing::Values(false, true),
                         [](const auto& i) { return i.param ? "TempoSync" : "Free"; });

// c. run() allocates nothing, whatever its length (0, beyond the announced
// 512), with positions, jumps and changed controls.
TEST(Lv2Run, DoesNotAllocate) {
  const Meter m{120.0f, 4.0f, 4};
  Lv2Plugin p(512, Settings(true));
  ASSERT_TRUE(p);
  const Stereo in = Signal(6000);
  Stereo out = in;
  p.Position(0, m, At(m, 1, 0.0f));
  p.Run(in, out, 0, 512);
  const uint32_t sizes[] = {0, 1, 7, 64, 512, 513, 1024, 3000, 5000};
  testsupport::AllocationCounter counter;
  for (int i = 0; i < 300; ++i) {
    if (i % 3 == 0) p.Position(0, m, At(m, 1 + i / 3, 0.5f));
    if (i % 7 == 0) p.Position(sizes[i % 9] / 2, m, At(m, 100 - i / 7, 0.25f));
    if (i % 50 == 49)
      for (int k : {Q::kTempoSync, Q::kFilterMode, Q::kNote, Q::kMode})
        p.controls[k] = float(i / 50 % 2);
    p.Run(in, out, 0, sizes[i % 9]);
  }
  counter.Stop();
  EXPECT_EQ(counter.Count(), 0);
}

// d. Instantiate, connect, activate, run, deactivate, clean up: first with
// lilv unloading the library after each cycle, then 100 times with another
// instance keeping it loaded, the heap in use measured (what the loader
// keeps of each load, about 100 bytes as for the VST 2.4 library, is not
// the instance's).
TEST(Lv2Instance, LifeCyclesKeepNoMemory) {
  const Stereo in = Signal(4096);
  Stereo out = in;
  auto cycle = [&](int i) {
    Lv2Plugin p(512, Settings(true));
    ASSERT_TRUE(p) << "cycle " << i;
    p.Position(0, {120.0f, 4.0f, 4}, At({120.0f, 4.0f, 4}, i, 0.0f));
    p.Run(in, out, 0, 4096);
    for (const auto& channel : out)
      for (float v : channel) ASSERT_TRUE(std::isfinite(v)) << "cycle " << i;
  };
  for (int i = 0; i < 10; ++i) ASSERT_NO_FATAL_FAILURE(cycle(i));
  Lv2Plugin keeper;
  size_t inUse = 0;
  for (int i = 0; i < 100; ++i) {
    ASSERT_NO_FATAL_FAILURE(cycle(i));
    if (i == 9) inUse = mallinfo2().uordblks;
  }
  EXPECT_LE(long(mallinfo2().uordblks) - long(inUse), 0) << "bytes more in use after 100 cycles";
}

// e. A sequence holding a jump, spoilt: the jump is not read, nothing else
// changes either.
void NotNumbers(LV2_Atom_Property_Body* p) {
  void* body = &p->value + 1;
  if (p->value.size == 8) {  // frame and bar as doubles
    p->value.type = gMap(LV2_ATOM__Double);
    *static_cast<double*>(body) = std::nan("");
  } else if (p->value.type == gMap(LV2_ATOM__Int)) {  // beat unit
    *static_cast<int32_t*>(body) = 0;
  } else {
    const bool tempo =
        p->key == gMap(LV2_TIME__beatsPerBar) || p->key == gMap(LV2_TIME__beatsPerMinute);
    *static_cast<float*>(body) = tempo ? -4.0f : INFINITY;
  }
}

TEST(Lv2Events, MalformedSequencesAreIgnored) {
  const Meter m{120.0f, 4.0f, 4};
  const Stereo in = Signal(30 * 512);
  using Spoil = std::function<void(LV2_Atom_Sequence*, LV2_Atom_Object*)>;
  auto values = [](LV2_Atom_Object* o, void (*f)(LV2_Atom_Property_Body*)) {
    LV2_ATOM_OBJECT_FOREACH(o, p) f(p);
  };
  const std::pair<const char*, Spoil> cases[] = {
      {"event cut off by the sequence's end",  // in its object, after 24 bytes
       [](auto* s, auto*) { s->atom.size = sizeof(s->body) + sizeof(LV2_Atom_Event) + 24; }},
      {"event larger than anything", [](auto*, auto* o) { o->atom.size = 0xfffffff0u; }},
      {"sequence shorter than its header", [](auto* s, auto*) { s->atom.size = 4; }},
      {"sequence of another type", [](auto* s, auto*) { s->atom.type = gMap(LV2_ATOM__Tuple); }},
      {"event that is no object", [](auto*, auto* o) { o->atom.type = gMap(LV2_ATOM__Chunk); }},
      {"object of another type", [](auto*, auto* o) { o->body.otype = gMap("urn:test#Other"); }},
      {"value larger than its object",
       [](auto*, auto* o) { lv2_atom_object_begin(&o->body)->value.size = 4096; }},
      {"values of other types",
       [&](auto*, auto* o) { values(o, [](auto* p) { p->value.type = gMap(LV2_ATOM__URID); }); }},
      {"numbers out of range", [&](auto*, auto* o) { values(o, NotNumbers); }}};
  auto render = [&](const Spoil* spoil) {
    Lv2Plugin p(512, Settings(true));
    return Render(p, in, Fixed(512), [&](size_t at) {
      if (at == 0) p.Position(0, m, At(m, 1, 0.0f));
      if (at != 10 * 512 || !spoil) return;
      p.Position(100, m, At(m, 17, 0.5f));
      LV2_Atom_Sequence* s = p.Events();
      (*spoil)(s, reinterpret_cast<LV2_Atom_Object*>(&lv2_atom_sequence_begin(&s->body)->body));
    });
  };
  const Stereo reference = render(nullptr);
  const Spoil none = [](auto*, auto*) {};
  ASSERT_GT(MaxDiff(render(&none), reference, 10 * 512), 0.01) << "the jump unspoilt is read";
  for (const auto& [name, spoil] : cases)
    EXPECT_EQ(MaxDiff(render(&spoil), reference), 0.0) << name;
}

}  // namespace
