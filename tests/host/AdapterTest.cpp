// Adapter operations that no host request reaches on their own (time
// queries, gestures, MIDI output, editor rectangle and window), on adapters
// built in the test and answered by the scripted host callback.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <memory>
#include <string>
#include <vector>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#define QW_HAVE_MXCSR 1
#endif

#include "TestHost.h"
#include "core/IEditorLink.h"
#include "host/DenormalGuard.h"
#include "host/vst2/HostIdentity.h"
#include "host/vst2/IVstAdapter.h"

using namespace qwtest;

namespace {

class FakeEditor : public IEditorLink {
 public:
  int ControlCount() const override { return 0; }
  IEditorControlLink* GetControlLink(int) const override { return nullptr; }
  void PushParameterToControls(int index, double value, bool normalized) override {
    pushed.push_back({index, value, normalized});
  }
  int Width() const override { return width; }
  int Height() const override { return height; }
  void* OpenWindow(void* parent) override {
    parents.push_back(parent);
    return parent ? this : nullptr;
  }
  void CloseWindow() override {
    ++closes;
    if (closesOutside) ++*closesOutside;
  }

  struct Push {
    int index;
    double value;
    bool normalized;
  };
  int width = 689, height = 369, closes = 0;
  int* closesOutside = nullptr;  // counts on after the editor is gone
  std::vector<void*> parents;
  std::vector<Push> pushed;
};

class Probe : public IEffectCore {
 public:
  explicit Probe(int32_t presets = 5, const char* io = "1-1 2-2") : IEffectCore(3, presets, io) {
    GetParameter(0)->DefineContinuous("Level", 0.5, 0.0, 1.0, 0.01, "", 1.0);
    GetParameter(1)->DefineContinuous("Rate", 6.0, 0.1, 32.0, 0.1, "", 1.0);
    GetParameter(2)->DefineInteger("Mode", 0, 0, 2);
  }
  void Reset() override {
    IEffectCore::Reset();
    ++resets;
  }
  void ParamChanged(int32_t index) override { changed.push_back(index); }
  void ActivationChanged(bool active) override { activations.push_back(active); }
  void OnEditorOpen() override { ++editorOpens; }
  void OnEditorClose() override { ++editorCloses; }
  void OnEditorResized() override { ++resizes; }

  int resets = 0, editorOpens = 0, editorCloses = 0, resizes = 0;
  std::vector<int32_t> changed;
  std::vector<bool> activations;
};

// A probe in the adapter, as the entry point makes it.
struct HostedProbe {
  explicit HostedProbe(vst::audioMasterCallback host, int32_t presets = 5,
                       const char* io = "1-1 2-2")
      : vst(host, std::make_unique<Probe>(presets, io)) {}
  IVstAdapter vst;
  Probe& plug = static_cast<Probe&>(vst.Core());
};

class Adapter : public ::testing::Test {
 protected:
  void SetUp() override {
    vst.Effect()->user = &host;
    host.SetProductString("Quillwave Test Host");
    host.SetTransport(vst::VstTimeInfo{}, true);
  }
  vst::VstIntPtr Dispatch(vst::VstInt32 op, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
    return vst.Effect()->dispatcher(vst.Effect(), op, index, value, ptr, opt);
  }
  TestHost host;
  HostedProbe hosted{&TestHost::Callback};
  IVstAdapter& vst = hosted.vst;
  Probe& plug = hosted.plug;
};

vst::VstTimeInfo Transport(vst::VstInt32 flags) {
  vst::VstTimeInfo t{};
  t.samplePos = 44100.4;
  t.sampleRate = 44100.0;
  t.ppqPos = 8.5;
  t.tempo = 133.0;
  t.barStartPos = 8.0;
  t.cycleStartPos = 4.0;
  t.cycleEndPos = 12.0;
  t.timeSigNumerator = 7;
  t.timeSigDenominator = 8;
  t.flags = flags;
  return t;
}

}  // namespace

TEST(HostIdentity, NamesAndVersions) {
  using host_identity::IdentifyHostByName;
  EXPECT_EQ(IdentifyHostByName("REAPER"), 1);
  EXPECT_EQ(IdentifyHostByName("Ableton Live with Logic"), 9);  // the earlier row wins
  EXPECT_EQ(IdentifyHostByName("Cubase Nuendo"), 3);
  EXPECT_EQ(IdentifyHostByName("Ardour"), 28);
  EXPECT_EQ(IdentifyHostByName(""), 0);
  EXPECT_EQ(IdentifyHostByName(nullptr), 0);
  EXPECT_EQ(IdentifyHostByName("Some Other Host"), 0);
  // Only the first 255 characters count.
  std::string longName(255, 'x');
  EXPECT_EQ(IdentifyHostByName((longName + "reaper").c_str()), 0);
  EXPECT_EQ(IdentifyHostByName((std::string(249, 'x') + "reaper").c_str()), 1);
  EXPECT_EQ(host_identity::VersionWordFromDecimal(50302), 5 * 65536 + 3 * 256 + 2);
  EXPECT_EQ(host_identity::DecimalFromVersionWord(0x10000), 10000);
  EXPECT_EQ(host_identity::DecimalFromVersionWord(0x20304), 20304);
}

TEST_F(Adapter, HostIdentificationAsksOnceAndConvertsTheVersion) {
  host.SetProductString("reaper 6");
  host.SetVendorVersion(50302);
  EXPECT_EQ(plug.HostIdentifier(), 1);
  EXPECT_EQ(vst.HostVersion(), 5 * 65536 + 3 * 256 + 2);
  EXPECT_EQ(plug.HostIdentifier(), 1);
  EXPECT_EQ(host.CallsOf(vst::audioMasterGetProductString).size(), 1u);

  HostedProbe silentHost(&TestHost::Callback);
  IVstAdapter& silent = silentHost.vst;
  silent.Effect()->user = &host;
  host.SetProductString("");
  EXPECT_EQ(silent.HostIdentifier(), 0);
  EXPECT_EQ(silent.HostVersion(), 0);
  EXPECT_EQ(host.CallsOf(vst::audioMasterGetVendorVersion, silent.Effect()).size(), 0u);
}

TEST_F(Adapter, PreparationForHostsThatHandleExtraChannelsThemselves) {
  HostedProbe wideHost(&TestHost::Callback, 5, "4-4");
  IVstAdapter& wideVst = wideHost.vst;
  Probe& wide = wideHost.plug;
  wideVst.Effect()->user = &host;
  host.SetProductString("Forte 4");
  wideVst.Effect()->dispatcher(wideVst.Effect(), vst::effOpen, 0, 0, nullptr, 0.0f);
  EXPECT_TRUE(wide.InputBinding(0)->connected);
  EXPECT_TRUE(wide.InputBinding(1)->connected);
  EXPECT_FALSE(wide.InputBinding(2)->connected);
  EXPECT_FALSE(wide.InputBinding(3)->connected);
  EXPECT_EQ(*wide.InputBinding(3)->slot, wide.InputBinding(3)->Scratch());
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(wide.OutputBinding(i)->connected);
  EXPECT_EQ(wideVst.Effect()->numInputs, 4);
  EXPECT_EQ(wideVst.InputArrangement().numChannels, 4);
  EXPECT_EQ(wideVst.InputArrangement().type, vst::kSpeakerArrUserDefined);
  EXPECT_EQ(wideVst.Effect()->flags & vst::effFlagsCanMono, 0);  // no 1-in configuration
}

TEST_F(Adapter, OpenAppliesEveryParameterInOrder) {
  Dispatch(vst::effOpen);
  EXPECT_EQ(plug.changed, (std::vector<int32_t>{0, 1, 2}));
}

TEST_F(Adapter, FormatRequestsResetTheEffect) {
  EXPECT_EQ(plug.BlockSize(), 1024);
  EXPECT_EQ(plug.InputBinding(0)->ScratchFrames(), 1024);
  Dispatch(vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
  EXPECT_EQ(plug.SampleRate(), 48000.0);
  EXPECT_EQ(plug.resets, 1);
  Dispatch(vst::effSetBlockSize, 0, 1024);
  EXPECT_EQ(plug.resets, 2);
  Dispatch(vst::effSetBlockSize, 0, 256);
  EXPECT_EQ(plug.BlockSize(), 256);
  EXPECT_EQ(plug.OutputBinding(1)->ScratchFrames(), 256);
  // A rate that is not a positive number, or beyond 10 MHz, is not taken.
  Dispatch(vst::effSetSampleRate, 0, 0, nullptr, 0.0f);
  Dispatch(vst::effSetSampleRate, 0, 0, nullptr, std::nanf(""));
  Dispatch(vst::effSetSampleRate, 0, 0, nullptr, 8.7e16f);
  EXPECT_EQ(plug.SampleRate(), 48000.0);
  Dispatch(vst::effSetSampleRate, 0, 0, nullptr, 768000.0f);
  EXPECT_EQ(plug.SampleRate(), 768000.0);
  Dispatch(vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
  Dispatch(vst::effMainsChanged, 0, 1);
  EXPECT_EQ(plug.activations, (std::vector<bool>{true}));
  EXPECT_EQ(plug.resets, 8);
  Dispatch(vst::effMainsChanged, 0, 0);
  EXPECT_EQ(plug.activations, (std::vector<bool>{true, false}));
  EXPECT_EQ(plug.resets, 9);
}

TEST_F(Adapter, ParameterPathsCallParamChangedOnce) {
  char text[] = "2.5";
  Dispatch(vst::effString2Parameter, 0, 0, text);
  EXPECT_EQ(plug.GetParameter(0)->Value(), 1.0);
  EXPECT_EQ(plug.changed, (std::vector<int32_t>{0}));
  vst.Effect()->setParameter(vst.Effect(), 1, 0.5f);
  EXPECT_EQ(plug.changed, (std::vector<int32_t>{0, 1}));
  vst.Effect()->setParameter(vst.Effect(), 1, std::nanf(""));
  EXPECT_EQ(plug.changed.size(), 2u);
}

TEST_F(Adapter, DisplayTextsAndNegatedDisplayInHostTexts) {
  auto text = [&](vst::VstInt32 op, int index) {
    char buffer[256] = {};
    Dispatch(op, index, 0, buffer);
    return std::string(buffer);
  };
  IParameter* sync = plug.GetParameter(2);
  sync->DefineBoolean("Sync", false, "sw");
  sync->AddDisplayText(1, "On");
  // A value without a display text shows its number and its label.
  EXPECT_EQ(text(vst::effGetParamDisplay, 2), "0");
  EXPECT_EQ(text(vst::effGetParamLabel, 2), "sw");
  char on[] = "On";
  EXPECT_EQ(Dispatch(vst::effString2Parameter, 2, 0, on), 1);
  EXPECT_EQ(sync->Value(), 1.0);
  EXPECT_EQ(plug.changed, (std::vector<int32_t>{2}));
  EXPECT_EQ(text(vst::effGetParamDisplay, 2), "On");
  EXPECT_EQ(text(vst::effGetParamLabel, 2), "");
  // Texts match exactly; numbers are not read for such a parameter.
  char lower[] = "on", zero[] = "0";
  EXPECT_EQ(Dispatch(vst::effString2Parameter, 2, 0, lower), 0);
  EXPECT_EQ(Dispatch(vst::effString2Parameter, 2, 0, zero), 0);
  EXPECT_EQ(sync->Value(), 1.0);
  EXPECT_EQ(plug.changed.size(), 1u);

  IParameter* rate = plug.GetParameter(1);
  rate->SetNegateDisplay(true);
  char typed[] = "-12.5";
  EXPECT_EQ(Dispatch(vst::effString2Parameter, 1, 0, typed), 1);
  EXPECT_EQ(rate->Value(), 12.5);
  EXPECT_EQ(text(vst::effGetParamDisplay, 1), "-12.5");
}

TEST_F(Adapter, CallsIntoTheHost) {
  plug.BeginParameterGesture(2);
  plug.InformHostOfParameter(2, 0.75);
  plug.EndParameterGesture(2);
  plug.InformHostOfPresetChange();
  auto calls = host.Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].opcode, vst::audioMasterBeginEdit);
  EXPECT_EQ(calls[0].index, 2);
  EXPECT_EQ(calls[1].opcode, vst::audioMasterAutomate);
  EXPECT_EQ(calls[1].index, 2);
  EXPECT_EQ(calls[1].opt, 0.75f);
  EXPECT_EQ(calls[2].opcode, vst::audioMasterEndEdit);
  EXPECT_EQ(calls[3].opcode, vst::audioMasterUpdateDisplay);
  for (const auto& c : calls) EXPECT_EQ(c.effect, vst.Effect());

  // The editor's path: set, react, and inform the host when its edits are
  // delivered (the idle request does that, without the lock).
  host.ClearCalls();
  plug.SetParameterFromEditor(0, 0.25);
  EXPECT_EQ(plug.GetParameter(0)->Value(), 0.25);
  EXPECT_TRUE(host.CallsOf(vst::audioMasterAutomate).empty());
  vst.Effect()->dispatcher(vst.Effect(), vst::effEditIdle, 0, 0, nullptr, 0.0f);
  ASSERT_EQ(host.CallsOf(vst::audioMasterAutomate).size(), 1u);
  EXPECT_EQ(host.CallsOf(vst::audioMasterAutomate)[0].opt, 0.25f);
  EXPECT_EQ(plug.changed, (std::vector<int32_t>{0}));

  host.SetProcessLevel(vst::kVstProcessLevelOffline);
  EXPECT_TRUE(plug.HostRendersOffline());
  host.SetProcessLevel(vst::kVstProcessLevelRealtime);
  EXPECT_FALSE(plug.HostRendersOffline());
}

TEST_F(Adapter, SimpleTimeQueries) {
  host.SetTransport(Transport(vst::kVstTempoValid | vst::kVstTimeSigValid));
  EXPECT_EQ(plug.HostSamplePosition(), 44100);
  EXPECT_EQ(plug.HostTempo(), 133.0);
  int32_t num = -1, den = -1;
  plug.HostTimeSignature(num, den);
  EXPECT_EQ(num, 7);
  EXPECT_EQ(den, 8);
  auto asks = host.CallsOf(vst::audioMasterGetTime);
  ASSERT_EQ(asks.size(), 3u);
  EXPECT_EQ(asks[0].value, 0);
  EXPECT_EQ(asks[1].value, vst::kVstTempoValid);
  EXPECT_EQ(asks[2].value, vst::kVstTimeSigValid);

  host.SetTransport(Transport(0));  // nothing flagged valid
  EXPECT_EQ(plug.HostTempo(), 0.0);
  plug.HostTimeSignature(num, den);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(den, 0);
  vst::VstTimeInfo zeroTempo = Transport(vst::kVstTempoValid);
  zeroTempo.tempo = 0.0;
  zeroTempo.samplePos = -3.0;
  host.SetTransport(zeroTempo);
  EXPECT_EQ(plug.HostTempo(), 0.0);
  EXPECT_EQ(plug.HostSamplePosition(), 0);

  // Positions beyond the integer range are the largest one; no number is
  // no position.
  const struct {
    double position;
    int64_t expected;
  } extremes[] = {{1e300, INT64_MAX}, {HUGE_VAL, INT64_MAX}, {9.3e18, INT64_MAX},
                  {std::nan(""), 0},  {-1e300, 0},           {4.5e15, 4500000000000000}};
  for (const auto& x : extremes) {
    vst::VstTimeInfo far = Transport(0xFFFF);
    far.samplePos = x.position;
    host.SetTransport(far);
    EXPECT_EQ(plug.HostSamplePosition(), x.expected) << x.position;
  }

  host.SetTransport(Transport(0xFFFF), false);  // the host answers null
  EXPECT_EQ(plug.HostSamplePosition(), 0);
  EXPECT_EQ(plug.HostTempo(), 0.0);
  plug.HostTimeSignature(num, den);
  EXPECT_EQ(num, 0);
}

TEST_F(Adapter, ReadHostTime) {
  HostTimeInfo info;
  host.SetTransport(Transport(0xFFFF), false);
  plug.ReadHostTime(info);
  EXPECT_EQ(info.samplePosition, -1.0);
  EXPECT_EQ(info.tempo, 120.0);
  EXPECT_EQ(host.CallsOf(vst::audioMasterGetTime).back().value, 0x3E00);

  // Only transport flags: none of the five requested fields is valid.
  host.SetTransport(Transport(vst::kVstTransportPlaying));
  plug.ReadHostTime(info);
  EXPECT_EQ(info.samplePosition, -1.0);
  EXPECT_FALSE(info.playing);

  host.SetTransport(Transport(vst::kVstPpqPosValid | vst::kVstTempoValid | vst::kVstBarsValid |
                              vst::kVstCyclePosValid | vst::kVstTimeSigValid |
                              vst::kVstTransportPlaying | vst::kVstTransportCycleActive));
  plug.ReadHostTime(info);
  EXPECT_EQ(info.samplePosition, 44100.4);
  EXPECT_EQ(info.ppqPosition, 8.5);
  EXPECT_EQ(info.tempo, 133.0);
  EXPECT_EQ(info.lastBarPosition, 8.0);
  EXPECT_EQ(info.cycleStart, 4.0);
  EXPECT_EQ(info.cycleEnd, 12.0);
  EXPECT_EQ(info.numerator, 7);
  EXPECT_EQ(info.denominator, 8);
  EXPECT_TRUE(info.playing);
  EXPECT_TRUE(info.looping);

  // Tempo 0 with the tempo flag keeps the previous tempo; the rest follows
  // its flags.
  HostTimeInfo fresh;
  vst::VstTimeInfo t = Transport(vst::kVstTempoValid | vst::kVstTimeSigValid);
  t.tempo = 0.0;
  t.timeSigDenominator = 0;
  host.SetTransport(t);
  plug.ReadHostTime(fresh);
  EXPECT_EQ(fresh.tempo, 120.0);
  EXPECT_EQ(fresh.samplePosition, 44100.4);
  EXPECT_EQ(fresh.ppqPosition, -1.0);
  EXPECT_EQ(fresh.numerator, 4);
  EXPECT_EQ(fresh.denominator, 4);
  EXPECT_FALSE(fresh.playing);
}

TEST_F(Adapter, MidiAndSysExOutput) {
  MidiMessage m;
  m.offset = 5;
  m.status = 0xB0;
  m.data1 = 7;
  m.data2 = 99;
  EXPECT_TRUE(plug.SendMidiMessage(m));
  host.SetProcessEventsAnswer(0);
  EXPECT_FALSE(plug.SendMidiMessage(m));
  host.SetProcessEventsAnswer(1);
  const uint8_t dump[] = {0xF0, 0x01, 0x02, 0xF7};
  SysExMessage s;
  s.offset = 9;
  s.size = 4;
  s.data = dump;
  EXPECT_TRUE(plug.SendSystemExclusive(s));
  auto sent = host.CallsOf(vst::audioMasterProcessEvents);
  ASSERT_EQ(sent.size(), 3u);
  ASSERT_EQ(sent[0].events.size(), 1u);
  EXPECT_EQ(sent[0].events[0].deltaFrames, 5);
  EXPECT_EQ(sent[0].events[0].midi[0], 0xB0);
  EXPECT_EQ(sent[0].events[0].midi[2], 99);
  ASSERT_EQ(sent[2].events.size(), 1u);
  EXPECT_EQ(sent[2].events[0].type, vst::kVstSysExType);
  EXPECT_EQ(sent[2].events[0].byteSize, 48);
  EXPECT_EQ(sent[2].events[0].deltaFrames, 9);
  EXPECT_EQ(sent[2].events[0].sysex, std::vector<uint8_t>(dump, dump + 4));
}

TEST_F(Adapter, EditorRectangleAndWindow) {
  EXPECT_EQ(Dispatch(vst::effEditOpen, 0, 0, this), 0);
  EXPECT_EQ(Dispatch(vst::effEditClose), 0);
  auto* editor = new FakeEditor;
  plug.AttachEditor(editor);
  EXPECT_EQ(vst.Effect()->flags, 0x1019);
  vst::ERect* rect = nullptr;
  EXPECT_EQ(Dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->right, 689);
  EXPECT_EQ(rect->bottom, 369);
  // A new size is read from the editor itself, not from the arguments.
  editor->width = 700;
  editor->height = 400;
  plug.NotifyEditorResized(1, 1);
  EXPECT_EQ(rect->right, 700);
  EXPECT_EQ(rect->bottom, 400);
  EXPECT_EQ(plug.resizes, 1);

  int parent = 0;
  EXPECT_EQ(Dispatch(vst::effEditOpen, 0, 0, &parent), 1);
  EXPECT_EQ(plug.editorOpens, 1);
  EXPECT_EQ(Dispatch(vst::effEditOpen, 0, 0, nullptr), 0);  // no window resulted
  EXPECT_EQ(plug.editorOpens, 1);
  EXPECT_EQ(editor->parents, (std::vector<void*>{&parent, nullptr}));
  EXPECT_EQ(Dispatch(vst::effEditClose), 1);
  EXPECT_EQ(plug.editorCloses, 1);
  EXPECT_EQ(editor->closes, 1);

  // Typed values reach the controls in real units.
  char text[] = "12.5";
  Dispatch(vst::effString2Parameter, 1, 0, text);
  ASSERT_EQ(editor->pushed.size(), 1u);
  EXPECT_EQ(editor->pushed[0].index, 1);
  EXPECT_EQ(editor->pushed[0].value, 12.5);
  EXPECT_FALSE(editor->pushed[0].normalized);
}

TEST(AdapterClose, AnEditorLeftOpenClosesBeforeThePlugInGoes) {
  TestHost host;
  for (bool openFirst : {true, false}) {
    auto* adapter = new IVstAdapter(&TestHost::Callback, std::make_unique<Probe>());
    Probe* plug = &static_cast<Probe&>(adapter->Core());
    adapter->Effect()->user = &host;
    auto* editor = new FakeEditor;
    int closes = 0;
    editor->closesOutside = &closes;
    plug->AttachEditor(editor);
    vst::AEffect* e = adapter->Effect();
    int parent = 0;
    if (openFirst) {
      EXPECT_EQ(e->dispatcher(e, vst::effEditOpen, 0, 0, &parent, 0.0f), 1);
    }
    EXPECT_EQ(e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(closes, 1) << openFirst;  // closing a closed window is harmless
  }
}

TEST_F(Adapter, LatencyReachesTheRecord) {
  plug.SetLatencySamples(64);
  EXPECT_EQ(vst.Effect()->initialDelay, 64);
  EXPECT_EQ(plug.Latency(), 64);
}

TEST(AdapterCreation, FailuresAndProgramCount) {
  EXPECT_EQ(IVstAdapter::CreateInstance(nullptr, nullptr), nullptr);
  EXPECT_EQ(IVstAdapter::CreateInstance(nullptr, []() -> IEffectCore* { return nullptr; }),
            nullptr);
  EXPECT_EQ(IVstAdapter::CreateInstance(
                nullptr, []() -> IEffectCore* { throw std::runtime_error("no"); }),
            nullptr);
  vst::AEffect* e =
      IVstAdapter::CreateInstance(nullptr, []() -> IEffectCore* { return new Probe(0); });
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->numPrograms, 1);
  e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f);
}

#ifdef QW_HAVE_MXCSR
TEST(DenormalGuardTest, SetsFlushModesAndRestores) {
  const unsigned before = _mm_getcsr();
  {
    DenormalGuard guard;
    EXPECT_EQ(_mm_getcsr() & 0x8040u, 0x8040u);
    volatile float tiny = 1e-39f;  // a denormal
    volatile float product = tiny * 0.5f;
    EXPECT_EQ(product, 0.0f);
  }
  EXPECT_EQ(_mm_getcsr(), before);
}
#endif
