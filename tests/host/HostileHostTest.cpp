// What a careless host or a foreign saved session can do to an instance,
// through the exported entry: text buffers of exactly the standard's sizes,
// requests made from inside a process call, malformed events, huge sizes.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "HostTestSupport.h"

using namespace qwtest;

namespace {

constexpr int kGuardBytes = 32;
constexpr char kGuard = '\x5A';
constexpr int kTempoSync = 7;

}  // namespace

TEST(HostileHost, EveryTextFitsTheStandardsBufferSize) {
  TestHost& host = SharedHost();
  Instance a(host);
  ASSERT_TRUE(a);
  // 22 letters, then a two-byte character that a 24-byte buffer cannot take
  // whole (23 bytes and the zero).
  std::string longName = std::string(22, 'a') + "\xC3\xA9" + std::string(200, 'b');
  a.Dispatch(vst::effSetProgramName, 0, 0, longName.data());
  a.SetParameter(1, -1e30f);  // taken as 0: the lowest rate

  struct Case {
    const char* what;
    vst::VstInt32 opcode;
    vst::VstInt32 index;
    vst::VstIntPtr value;
    float opt;
    int size;
    std::string expected;
  };
  std::vector<Case> cases = {
      {"program name", vst::effGetProgramName, 0, 0, 0.0f, 24, std::string(22, 'a')},
      {"indexed program name", vst::effGetProgramNameIndexed, 0, 0, 0.0f, 24, std::string(22, 'a')},
      {"another indexed name", vst::effGetProgramNameIndexed, 1, 0, 0.0f, 24, "Empty"},
      {"label", vst::effGetParamLabel, 0, 0, 0.0f, 8, ""},
      {"display", vst::effGetParamDisplay, 0, 0, 0.0f, 8, "0.50"},
      {"display of a value sent below 0", vst::effGetParamDisplay, 1, 0, 0.0f, 8, "0.1"},
      {"vendor display", vst::effVendorSpecific, vst::effGetParamDisplay, 1, -1e30f, 8, "-319000"},
      {"effect name", vst::effGetEffectName, 0, 0, 0.0f, 32, "Quillwave"},
      {"vendor", vst::effGetVendorString, 0, 0, 0.0f, 64, "korvanta"},
      {"product", vst::effGetProductString, 0, 0, 0.0f, 64, ""},
  };
  // Parameter names go whole into the 16 bytes hosts give their lanes.
  const char* names[kParams] = {"Mix",     "LfoFrequency", "Note",      "Phase",     "Symmetry",
                                "Shape",   "Prefix",       "TempoSync", "OnOff",     "Mode",
                                "Cutoff1", "Cutoff2",      "Resonance", "FilterMode"};
  for (int i = 0; i < kParams; ++i)
    cases.push_back({"parameter name", vst::effGetParamName, i, 0, 0.0f, 16, names[i]});

  for (const Case& c : cases) {
    std::vector<char> buffer(size_t(c.size + kGuardBytes), kGuard);
    a.Dispatch(c.opcode, c.index, c.value, buffer.data(), c.opt);
    int damaged = 0;
    for (int i = c.size; i < c.size + kGuardBytes; ++i) damaged += buffer[size_t(i)] != kGuard;
    EXPECT_EQ(damaged, 0) << c.what << " " << c.index;
    ASSERT_NE(std::memchr(buffer.data(), 0, size_t(c.size)), nullptr) << c.what;
    EXPECT_EQ(std::string(buffer.data()), c.expected) << c.what << " " << c.index;
  }

  // The name itself stays whole: saved again, the bank holds all of it.
  const std::vector<uint8_t> saved = a.GetChunk(true);
  const std::vector<uint8_t> whole(longName.begin(), longName.end());
  EXPECT_NE(std::search(saved.begin(), saved.end(), whole.begin(), whole.end()), saved.end());
}

namespace {

// Two instances fed the same blocks: the first gets a request from inside
// its first process call (while the host answers the time query), the
// second gets the same request after that call returned. Both must sound
// the same from then on.
class Reentry : public ::testing::TestWithParam<bool> {
 protected:
  using Request = std::function<void(Instance&)>;

  void SetUp() override {
    vst::VstTimeInfo t{};
    t.flags = vst::kVstTransportPlaying | vst::kVstTempoValid | vst::kVstPpqPosValid |
              vst::kVstBarsValid | vst::kVstTimeSigValid;
    t.tempo = 97.0;
    t.sampleRate = 44100.0;
    t.timeSigNumerator = t.timeSigDenominator = 4;
    host.SetTransport(t);
    for (Instance* x : {&a, &b}) {
      ASSERT_TRUE(*x);
      x->Start(44100.0f, 1024);
      x->SetParameter(kTempoSync, 1.0f);
      x->SetParameter(0, 0.8f);
    }
  }
  void TearDown() override { host.SetTimeQueryHook({}); }

  // One block of `frames` on the path under test (32-bit replacing or
  // 64-bit), the same input for every instance.
  std::vector<std::vector<double>> Block(vst::AEffect* e, int frames, int number) {
    std::vector<std::vector<double>> in(2, std::vector<double>(size_t(frames)));
    for (int c = 0; c < 2; ++c)
      for (int f = 0; f < frames; ++f)
        in[size_t(c)][size_t(f)] = 0.5 * std::sin(0.03 * (f + number * frames) * (c + 1));
    std::vector<std::vector<double>> out(2, std::vector<double>(size_t(frames), 9.0));
    if (GetParam()) {
      std::vector<double*> i = {in[0].data(), in[1].data()}, o = {out[0].data(), out[1].data()};
      e->processDoubleReplacing(e, i.data(), o.data(), frames);
    } else {
      std::vector<std::vector<float>> fin(2), fout(2, std::vector<float>(size_t(frames), 9.0f));
      for (int c = 0; c < 2; ++c) fin[size_t(c)].assign(in[size_t(c)].begin(), in[size_t(c)].end());
      std::vector<float*> i = {fin[0].data(), fin[1].data()}, o = {fout[0].data(), fout[1].data()};
      e->processReplacing(e, i.data(), o.data(), frames);
      for (int c = 0; c < 2; ++c)
        out[size_t(c)].assign(fout[size_t(c)].begin(), fout[size_t(c)].end());
    }
    return out;
  }

  // Runs the request inside a's first process call once.
  void DuringFirstBlock(Request request) {
    vst::AEffect* target = a.Effect();
    auto fired = std::make_shared<bool>(false);
    host.SetTimeQueryHook([target, fired, request, this](vst::AEffect* e) {
      if (e != target || *fired) return;
      *fired = true;
      request(a);
    });
  }

  void ExpectSameSound(const Request& during, const Request& after, const char* what) {
    DuringFirstBlock(during);
    const auto a1 = Block(a.Effect(), 1024, 0);
    const auto b1 = Block(b.Effect(), 1024, 0);
    after(b);
    EXPECT_EQ(a1, b1) << what << ": the block in progress";
    const auto a2 = Block(a.Effect(), 1024, 1);
    const auto b2 = Block(b.Effect(), 1024, 1);
    EXPECT_EQ(a2, b2) << what << ": the next block";
  }

  TestHost host;
  Instance a{host}, b{host};
};

vst::VstSpeakerArrangement Mono() {
  vst::VstSpeakerArrangement mono{};
  mono.type = vst::kSpeakerArrMono;
  mono.numChannels = 1;
  return mono;
}

}  // namespace

TEST_P(Reentry, RequestsDuringABlockActAsIfMadeAfterIt) {
  std::vector<uint8_t> otherMix = a.GetChunk(false);
  const double mix = 0.1;
  std::memcpy(otherMix.data() + 8, &mix, sizeof mix);
  vst::VstSpeakerArrangement mono = Mono();
  vst::VstIntPtr arrangementAnswer = -1, chunkAnswer = -1;
  std::vector<std::vector<double>> nested;
  auto blockSize = [](vst::VstIntPtr n) {
    return [n](Instance& x) { x.Dispatch(vst::effSetBlockSize, 0, n); };
  };
  const Request nothing = [](Instance&) {};
  const struct {
    const char* what;
    Request during, after;  // no `after`: the same request
  } cases[] = {
      {"larger block", blockSize(8192), {}},
      {"smaller block", blockSize(64), {}},
      {"sample rate",
       [](Instance& x) { x.Dispatch(vst::effSetSampleRate, 0, 0, nullptr, 48000.0f); },
       {}},
      {"restart",
       [](Instance& x) {
         x.Dispatch(vst::effMainsChanged, 0, 0);
         x.Dispatch(vst::effSetBlockSize, 0, 300);
         x.Dispatch(vst::effMainsChanged, 0, 1);
       },
       {}},
      // A chunk is refused, and a nested process call runs nothing (silence
      // on both outputs: before the mono arrangement below).
      {"chunk", [&](Instance& x) { chunkAnswer = x.SetChunk(otherMix, false); }, nothing},
      {"nested process call", [&](Instance& x) { nested = Block(x.Effect(), 700, 5); }, nothing},
      {"arrangement",
       [&](Instance& x) {
         arrangementAnswer = x.Dispatch(vst::effSetSpeakerArrangement, 0,
                                        reinterpret_cast<vst::VstIntPtr>(&mono), &mono);
       },
       {}},
      // Last: the program it loads has tempo sync off, so no more time queries.
      {"program", [](Instance& x) { x.Dispatch(vst::effSetProgram, 0, 2); }, {}},
  };
  for (const auto& c : cases) ExpectSameSound(c.during, c.after ? c.after : c.during, c.what);
  EXPECT_EQ(arrangementAnswer, 1);
  EXPECT_EQ(chunkAnswer, 0);
  ASSERT_EQ(nested.size(), 2u);
  for (const auto& channel : nested)
    for (double v : channel) ASSERT_EQ(v, 0.0);
}

TEST_P(Reentry, CloseDuringABlockEndsTheInstanceAfterIt) {
  vst::AEffect* e = a.Effect();
  DuringFirstBlock([](Instance& x) { x.Close(); });
  const auto a1 = Block(e, 1024, 0);
  const auto b1 = Block(b.Effect(), 1024, 0);
  // The block completed in full; the instance is gone afterwards (the
  // sanitizer run reports a leak or a late access otherwise).
  EXPECT_EQ(a1, b1);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, Reentry, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Doubles" : "Floats"; });

TEST(HostileHost, EventsAreReadOnlyAsFarAsTheirSizeGoes) {
  TestHost& host = SharedHost();
  Instance a(host);
  ASSERT_TRUE(a);
  host.ClearCalls();
  // Each event in a block of exactly its stated size: a MIDI event of only
  // the common header, a SysEx event that ends before its data pointer.
  std::vector<vst::VstInt32> midi = {vst::kVstMidiType, 16, 3, 0};
  std::vector<vst::VstInt32> sysex = {vst::kVstSysExType, 24, 0, 0, 1000, 0};
  vst::VstMidiEvent whole{};
  whole.type = vst::kVstMidiType;
  whole.byteSize = sizeof whole;
  whole.midiData[0] = char(0x80);
  whole.midiData[1] = 64;
  struct {
    vst::VstInt32 numEvents;
    vst::VstIntPtr reserved;
    vst::VstEvent* events[3];
  } list{
      3,
      0,
      {reinterpret_cast<vst::VstEvent*>(midi.data()),
       reinterpret_cast<vst::VstEvent*>(sysex.data()), reinterpret_cast<vst::VstEvent*>(&whole)}};
  EXPECT_EQ(a.Dispatch(vst::effProcessEvents, 0, 0, &list), 1);
  auto sent = host.CallsOf(vst::audioMasterProcessEvents, a.Effect());
  ASSERT_EQ(sent.size(), 1u);  // only the whole event is passed on
  EXPECT_EQ(sent[0].events[0].midi[0], 0x80);

  host.ClearCalls();
  list.numEvents = -3;
  EXPECT_EQ(a.Dispatch(vst::effProcessEvents, 0, 0, &list), 1);
  EXPECT_TRUE(host.CallsOf(vst::audioMasterProcessEvents, a.Effect()).empty());
}

TEST(HostileHost, OversizedChunkIsRefusedUnread) {
  TestHost& host = SharedHost();
  Instance a(host);
  ASSERT_TRUE(a);
  a.SetParameter(0, 0.9f);
  const std::vector<uint8_t> program = a.GetChunk(false);
  a.SetParameter(0, 0.2f);
  // A program chunk followed by zeros, once at the limit and once past it.
  constexpr size_t kLimit = size_t(16) << 20;
  std::vector<uint8_t> data(kLimit + 1, 0);
  std::copy(program.begin(), program.end(), data.begin());
  EXPECT_EQ(a.Dispatch(vst::effSetChunk, 1, vst::VstIntPtr(data.size()), data.data()), 0);
  EXPECT_FLOAT_EQ(a.GetParameter(0), 0.2f);
  EXPECT_EQ(a.Dispatch(vst::effSetChunk, 1, vst::VstIntPtr(kLimit), data.data()), 1);
  EXPECT_FLOAT_EQ(a.GetParameter(0), 0.9f);
}
