// Every dispatcher opcode through the AEffect record.
#include <cstring>
#include <string>

#include "HostTestSupport.h"

using namespace qwtest;

namespace {

class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    host.SetProductString("Quillwave Test Host");
    host.ClearCalls();
    ASSERT_TRUE(a);
  }
  TestHost& host = SharedHost();
  Instance a{host};
};

uint32_t Le32(const std::vector<uint8_t>& d, size_t at) {
  return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 |
         uint32_t(d[at + 3]) << 24;
}

}  // namespace

TEST_F(Dispatcher, OpenIdentifiesTheHostOnce) {
  a.Dispatch(vst::effOpen);
  a.Dispatch(vst::effOpen);
  auto calls = host.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].opcode, vst::audioMasterGetProductString);
  EXPECT_TRUE(calls[0].hadPtr);
  EXPECT_EQ(calls[1].opcode, vst::audioMasterGetVendorVersion);
  for (const auto& c : calls) EXPECT_EQ(c.effect, a.Effect());
  EXPECT_EQ(a.Effect()->numInputs, 2);
  EXPECT_EQ(a.Effect()->numOutputs, 2);
}

TEST_F(Dispatcher, EmptyProductStringSkipsTheVersionQuestion) {
  host.SetProductString("");
  Instance b(host);
  b.Dispatch(vst::effOpen);
  EXPECT_EQ(host.CallsOf(vst::audioMasterGetProductString, b.Effect()).size(), 1u);
  EXPECT_TRUE(host.CallsOf(vst::audioMasterGetVendorVersion, b.Effect()).empty());
  host.SetProductString("Quillwave Test Host");
}

TEST_F(Dispatcher, IdentityAnswers) {
  EXPECT_EQ(a.Dispatch(vst::effGetVstVersion), 2400);
  EXPECT_EQ(a.Dispatch(vst::effGetPlugCategory), 1);
  EXPECT_EQ(a.Dispatch(vst::effGetTailSize), 0);
  EXPECT_EQ(a.Dispatch(vst::effGetVendorVersion), 10000);
  EXPECT_EQ(a.Dispatch(vst::effIdentify), 0x4E764566);
  vst::VstIntPtr r = 0;
  EXPECT_EQ(a.Text(vst::effGetEffectName, 0, &r), "Quillwave");
  EXPECT_EQ(r, 1);
  EXPECT_EQ(a.Text(vst::effGetVendorString, 0, &r), "korvanta");
  EXPECT_EQ(r, 1);
  EXPECT_EQ(a.Text(vst::effGetProductString, 0, &r), "");
  EXPECT_EQ(r, 1);
  EXPECT_EQ(a.Dispatch(vst::effGetEffectName), 0);
  EXPECT_EQ(a.Dispatch(vst::effGetVendorString), 0);
  EXPECT_EQ(a.Dispatch(vst::effGetProductString), 0);
}

TEST_F(Dispatcher, CanDo) {
  auto canDo = [&](const char* s) { return a.Dispatch(vst::effCanDo, 0, 0, const_cast<char*>(s)); };
  EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
  EXPECT_EQ(canDo("ReceiveVstTimeInfo"), 0);
  EXPECT_EQ(canDo("receiveVstEvents"), 0);
  EXPECT_EQ(canDo("receiveVstMidiEvent"), 0);
  EXPECT_EQ(canDo("sendVstEvents"), 0);
  EXPECT_EQ(canDo("sendVstMidiEvent"), 0);
  EXPECT_EQ(canDo("hasCockosExtensions"), 0xBEEF0000);
  EXPECT_EQ(canDo("hasCockosViewAsConfig"), 0xBEEF0000);
  EXPECT_EQ(canDo("bypass"), 0);
  EXPECT_EQ(a.Dispatch(vst::effCanDo), 0);
}

TEST_F(Dispatcher, ParameterTexts) {
  EXPECT_EQ(a.Text(vst::effGetParamName, 0), "Mix");
  EXPECT_EQ(a.Text(vst::effGetParamName, 1), "LfoFrequency");
  EXPECT_EQ(a.Text(vst::effGetParamName, 13), "FilterMode");
  EXPECT_EQ(a.Text(vst::effGetParamName, 14), "");
  EXPECT_EQ(a.Text(vst::effGetParamName, -1), "");
  EXPECT_EQ(a.Text(vst::effGetParamDisplay, 0), "0.50");
  EXPECT_EQ(a.Text(vst::effGetParamDisplay, 12), "4.000");
  EXPECT_EQ(a.Text(vst::effGetParamDisplay, 14), "");
  EXPECT_EQ(a.Text(vst::effGetParamLabel, 0), "");
  for (int i = 0; i < kParams; ++i) EXPECT_EQ(a.Dispatch(vst::effCanBeAutomated, i), 1);
}

TEST_F(Dispatcher, String2Parameter) {
  char text[] = "2.5";
  EXPECT_EQ(a.Dispatch(vst::effString2Parameter, 0, 0, text), 1);
  EXPECT_FLOAT_EQ(a.GetParameter(0), 1.0f);  // clamped to the range
  char quarter[] = "  0.25xyz";
  EXPECT_EQ(a.Dispatch(vst::effString2Parameter, 0, 0, quarter), 1);
  EXPECT_FLOAT_EQ(a.GetParameter(0), 0.25f);
  char hz[] = "16.05";
  EXPECT_EQ(a.Dispatch(vst::effString2Parameter, 1, 0, hz), 1);
  EXPECT_NEAR(a.GetParameter(1), (16.05 - 0.1) / 31.9, 1e-6);
  char none[] = "abc";
  EXPECT_EQ(a.Dispatch(vst::effString2Parameter, 0, 0, none), 1);
  EXPECT_FLOAT_EQ(a.GetParameter(0), 0.0f);  // no number reads as 0
  // Only decimal numbers count; beyond the double range they still read as
  // a very large or a very small number.
  auto typed = [&](const char* s, float before, int index = 0) {
    a.SetParameter(index, before);
    std::string copy(s);
    EXPECT_EQ(a.Dispatch(vst::effString2Parameter, index, 0, copy.data()), 1) << s;
    return a.GetParameter(index);
  };
  EXPECT_FLOAT_EQ(typed("nan", 0.5f), 0.0f);
  EXPECT_FLOAT_EQ(typed("inf", 0.5f), 0.0f);
  EXPECT_FLOAT_EQ(typed("+-0.5", 0.7f), 0.0f);
  EXPECT_FLOAT_EQ(typed("--0.5", 0.7f), 0.0f);
  EXPECT_FLOAT_EQ(typed("1e-999", 0.7f), 0.0f);
  EXPECT_FLOAT_EQ(typed("1e999", 0.2f, 1), 1.0f);  // LfoFrequency 0.1..32
  EXPECT_FLOAT_EQ(typed("-1e999", 0.7f), 0.0f);
  EXPECT_FLOAT_EQ(typed(".75", 0.2f), 0.75f);
  EXPECT_FLOAT_EQ(typed("+5e-1", 0.2f), 0.5f);
  // A null text changes nothing; an invalid index answers 0.
  a.SetParameter(0, 0.5f);
  EXPECT_EQ(a.Dispatch(vst::effString2Parameter, 0, 0, nullptr), 1);
  EXPECT_FLOAT_EQ(a.GetParameter(0), 0.5f);
  EXPECT_EQ(a.Dispatch(vst::effString2Parameter, 14, 0, text), 0);
  // The host is not told through automation.
  EXPECT_TRUE(host.CallsOf(vst::audioMasterAutomate, a.Effect()).empty());
}

TEST_F(Dispatcher, ProgramsSwitchStoreAndRename) {
  a.Start();
  a.SetParameter(0, 0.8f);
  a.Dispatch(vst::effSetProgram, 0, 3);
  EXPECT_EQ(a.Dispatch(vst::effGetProgram), 3);
  EXPECT_FLOAT_EQ(a.GetParameter(0), 0.5f);
  // Switching back finds the value stored into preset 0 on the way out.
  a.Dispatch(vst::effSetProgram, 0, 0);
  EXPECT_FLOAT_EQ(a.GetParameter(0), 0.8f);

  char name[] = "Slow sweep";
  a.Dispatch(vst::effSetProgramName, 0, 0, name);
  EXPECT_EQ(a.Text(vst::effGetProgramName), "Slow sweep");
  char empty[] = "";
  a.Dispatch(vst::effSetProgramName, 0, 0, empty);  // keeps the name
  EXPECT_EQ(a.Text(vst::effGetProgramName), "Slow sweep");
  vst::VstIntPtr r = 0;
  EXPECT_EQ(a.Text(vst::effGetProgramNameIndexed, 0, &r), "Slow sweep");
  EXPECT_EQ(r, 1);
  EXPECT_EQ(a.Text(vst::effGetProgramNameIndexed, 5, &r), "");
  EXPECT_EQ(r, 0);
  // Out-of-range program numbers leave the current preset alone.
  a.Dispatch(vst::effSetProgram, 0, 7);
  EXPECT_EQ(a.Dispatch(vst::effGetProgram), 0);
  EXPECT_EQ(a.Dispatch(vst::effGetProgramName), 0);
}

TEST_F(Dispatcher, ChunksCarryHeaderAndRoundTrip) {
  a.Start();
  a.SetParameter(0, 0.3f);
  a.SetParameter(13, 1.0f);
  for (bool bank : {false, true}) {
    std::vector<uint8_t> chunk = a.GetChunk(bank);
    ASSERT_GE(chunk.size(), 8u);
    EXPECT_EQ(Le32(chunk, 0), 0x70666674u);
    EXPECT_EQ(Le32(chunk, 4), 0x00010000u);
    Instance b(host);
    b.Start();
    EXPECT_EQ(b.SetChunk(chunk, bank), 1);
    EXPECT_FLOAT_EQ(b.GetParameter(0), 0.3f) << (bank ? "bank" : "program");
    EXPECT_FLOAT_EQ(b.GetParameter(13), 1.0f);
    EXPECT_FLOAT_EQ(b.GetParameter(1), DefaultNormalized()[1]);
  }
  // A bank also carries the other presets and their names.
  char name[] = "Second";
  a.Dispatch(vst::effSetProgram, 0, 1);
  a.Dispatch(vst::effSetProgramName, 0, 0, name);
  std::vector<uint8_t> bank = a.GetChunk(true);
  Instance c(host);
  EXPECT_EQ(c.SetChunk(bank, true), 1);
  EXPECT_EQ(c.Text(vst::effGetProgramNameIndexed, 1), "Second");
}

TEST_F(Dispatcher, ChunkHandedBackUnchangedIsRead) {
  // A host may give back the very block the instance handed out.
  for (int index : {0, 1}) {
    a.SetParameter(0, 0.35f);
    void* data = nullptr;
    const vst::VstIntPtr size = a.Dispatch(vst::effGetChunk, index, 0, &data);
    ASSERT_GT(size, 8);
    a.SetParameter(0, 0.9f);
    EXPECT_EQ(a.Dispatch(vst::effSetChunk, index, size, data), 1) << index;
    EXPECT_FLOAT_EQ(a.GetParameter(0), 0.35f) << index;
  }
}

TEST_F(Dispatcher, BadChunksAreRefused) {
  EXPECT_EQ(a.Dispatch(vst::effGetChunk, 0, 0, nullptr), 0);
  EXPECT_EQ(a.Dispatch(vst::effSetChunk, 0, 8, nullptr), 0);
  // Magic without a complete header.
  std::vector<uint8_t> cut = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00};
  EXPECT_EQ(a.SetChunk(cut, true), 0);
  EXPECT_EQ(a.SetChunk(cut, false), 0);
  EXPECT_EQ(a.SetChunk({}, false), 0);  // no values at all
  // A program chunk cut short inside the values.
  a.SetParameter(0, 0.7f);
  std::vector<uint8_t> program = a.GetChunk(false);
  program.resize(program.size() / 2);
  Instance b(host);
  // What a refused chunk held does not stay behind, whole or in part.
  std::vector<float> before;
  for (int i = 0; i < 14; ++i) before.push_back(b.GetParameter(i));
  EXPECT_EQ(b.SetChunk(program, false), 0);
  EXPECT_EQ(b.SetChunk({}, false), 0);
  for (int i = 0; i < 14; ++i) EXPECT_EQ(b.GetParameter(i), before[size_t(i)]) << i;
}

TEST_F(Dispatcher, HeaderlessChunkReadsAsProgramState) {
  a.SetParameter(0, 0.6f);
  std::vector<uint8_t> program = a.GetChunk(false);
  std::vector<uint8_t> bare(program.begin() + 8, program.end());
  Instance b(host);
  EXPECT_EQ(b.SetChunk(bare, true), 1);
  EXPECT_FLOAT_EQ(b.GetParameter(0), 0.6f);
}

TEST_F(Dispatcher, PinProperties) {
  vst::VstPinProperties pin{};
  EXPECT_EQ(a.Dispatch(vst::effGetInputProperties, 0, 0, &pin), 1);
  EXPECT_EQ(pin.flags, vst::kVstPinIsActive | vst::kVstPinIsStereo);
  EXPECT_STREQ(pin.label, "Input 1");
  pin = {};
  EXPECT_EQ(a.Dispatch(vst::effGetInputProperties, 1, 0, &pin), 1);
  EXPECT_EQ(pin.flags, vst::kVstPinIsActive);
  EXPECT_STREQ(pin.label, "Input 2");
  EXPECT_EQ(a.Dispatch(vst::effGetInputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(a.Dispatch(vst::effGetInputProperties, 0, 0, nullptr), 0);
  pin = {};
  EXPECT_EQ(a.Dispatch(vst::effGetOutputProperties, 0, 0, &pin), 1);
  EXPECT_EQ(pin.flags, vst::kVstPinIsActive | vst::kVstPinIsStereo);
  EXPECT_STREQ(pin.label, "Output 1");
  EXPECT_EQ(a.Dispatch(vst::effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Output 2");
  EXPECT_EQ(a.Dispatch(vst::effGetOutputProperties, -1, 0, &pin), 0);
}

TEST_F(Dispatcher, SpeakerArrangements) {
  vst::VstSpeakerArrangement* in = nullptr;
  vst::VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(
      a.Dispatch(vst::effGetSpeakerArrangement, 0, reinterpret_cast<vst::VstIntPtr>(&in), &out), 1);
  ASSERT_TRUE(in && out);
  EXPECT_EQ(in->type, vst::kSpeakerArrStereo);
  EXPECT_EQ(in->numChannels, 2);
  EXPECT_EQ(out->type, vst::kSpeakerArrStereo);
  EXPECT_EQ(out->numChannels, 2);
  EXPECT_EQ(a.Dispatch(vst::effGetSpeakerArrangement), 1);  // nothing to store, still 1

  vst::VstSpeakerArrangement mono{};
  mono.type = vst::kSpeakerArrMono;
  mono.numChannels = 1;
  EXPECT_EQ(a.Dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<vst::VstIntPtr>(&mono),
                       nullptr),
            1);
  // The record's counts stay as they were.
  EXPECT_EQ(a.Effect()->numInputs, 2);
  EXPECT_EQ(a.Effect()->numOutputs, 2);
}

TEST_F(Dispatcher, VendorSpecific) {
  char text[64] = {};
  EXPECT_EQ(a.Dispatch(vst::effVendorSpecific, vst::effGetParamDisplay, 0, text, 0.25f), 0xBEEF);
  EXPECT_STREQ(text, "0.25");
  std::memset(text, 'x', sizeof text - 1);
  EXPECT_EQ(a.Dispatch(vst::effVendorSpecific, vst::effGetParamDisplay, 14, text, 0.25f), 0xBEEF);
  EXPECT_EQ(text[0], 'x');  // invalid index: nothing written
  EXPECT_EQ(a.Dispatch(vst::effVendorSpecific, vst::effGetParamDisplay, 0, nullptr, 0.25f), 0);
  EXPECT_EQ(a.Dispatch(vst::effVendorSpecific, vst::effGetParamName, kBypass), 0xBEEF);  // integer
  EXPECT_EQ(a.Dispatch(vst::effVendorSpecific, vst::effGetParamName, 0), 0);  // continuous
  EXPECT_EQ(a.Dispatch(vst::effVendorSpecific, vst::effGetParamName, 14), 0);
  EXPECT_EQ(a.Dispatch(vst::effVendorSpecific, 9, 0, text), 0);
}

TEST_F(Dispatcher, MidiEventsAreEchoedAndSysExIgnored) {
  vst::VstMidiEvent note{};
  note.type = vst::kVstMidiType;
  note.byteSize = sizeof note;
  note.deltaFrames = 17;
  note.midiData[0] = char(0x90);
  note.midiData[1] = 60;
  note.midiData[2] = 100;
  char dump[] = {char(0xF0), 0x7D, char(0xF7)};
  vst::VstMidiSysexEvent sysex{};
  sysex.type = vst::kVstSysExType;
  sysex.byteSize = sizeof sysex;
  sysex.dumpBytes = 3;
  sysex.sysexDump = dump;
  vst::VstEvent other{};
  other.type = 3;
  struct {
    vst::VstInt32 numEvents;
    vst::VstIntPtr reserved;
    vst::VstEvent* events[4];
  } list{4,
         0,
         {reinterpret_cast<vst::VstEvent*>(&note), reinterpret_cast<vst::VstEvent*>(&sysex), &other,
          nullptr}};
  EXPECT_EQ(a.Dispatch(vst::effProcessEvents, 0, 0, &list), 1);
  auto sent = host.CallsOf(vst::audioMasterProcessEvents, a.Effect());
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].events.size(), 1u);
  const RecordedEvent& e = sent[0].events[0];
  EXPECT_EQ(e.type, vst::kVstMidiType);
  EXPECT_EQ(e.byteSize, 32);
  EXPECT_EQ(e.deltaFrames, 17);
  EXPECT_EQ(e.midi[0], 0x90);
  EXPECT_EQ(e.midi[1], 60);
  EXPECT_EQ(e.midi[2], 100);
  EXPECT_EQ(e.midi[3], 0);
  EXPECT_EQ(a.Dispatch(vst::effProcessEvents, 0, 0, nullptr), 0);
}

TEST_F(Dispatcher, MidiKeyNameIsEmpty) {
  vst::MidiKeyName key{};
  key.thisKeyNumber = 60;
  std::strcpy(key.keyName, "stale");
  EXPECT_EQ(a.Dispatch(vst::effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");
  EXPECT_EQ(a.Dispatch(vst::effGetMidiKeyName, 0, 0, nullptr), 0);
}

TEST_F(Dispatcher, EditorRectangleBeforeAndAfterAFailedOpen) {
  vst::ERect* rect = nullptr;
  ASSERT_EQ(a.Dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->right, 689);
  EXPECT_EQ(rect->bottom, 369);
  // No parent window: nothing can open, and nothing changes.
  EXPECT_EQ(a.Dispatch(vst::effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(a.Dispatch(vst::effEditClose), 1);
  vst::ERect* again = nullptr;
  EXPECT_EQ(a.Dispatch(vst::effEditGetRect, 0, 0, &again), 1);
  EXPECT_EQ(again, rect);
  EXPECT_EQ(again->right, 689);
  EXPECT_EQ(again->bottom, 369);
  EXPECT_EQ(a.Dispatch(vst::effEditGetRect, 0, 0, nullptr), 0);
  EXPECT_EQ(a.Dispatch(vst::effEditIdle), 0);
  EXPECT_EQ(a.Dispatch(vst::effIdle), 0);
}

TEST_F(Dispatcher, FormatAndActivationRequests) {
  EXPECT_EQ(a.Dispatch(vst::effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
  EXPECT_EQ(a.Dispatch(vst::effSetBlockSize, 0, 256), 0);
  EXPECT_EQ(a.Dispatch(vst::effMainsChanged, 0, 1), 0);
  EXPECT_EQ(a.Dispatch(vst::effMainsChanged, 0, 0), 0);
  EXPECT_EQ(a.Dispatch(vst::effProcessVarIo), 0);
  EXPECT_TRUE(host.Calls().empty());
}

TEST_F(Dispatcher, UnhandledOpcodesAnswerZero) {
  const int opcodes[] = {9,  16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 38,   39, 40,
                         43, 44, 46, 54, 55, 56, 57, 59, 60, 61, 62, 63, 64,   65, 67,
                         68, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 1000, -1};
  char buffer[512] = {};
  for (int op : opcodes) {
    EXPECT_EQ(a.Dispatch(op, 0, 0, nullptr, 0.0f), 0) << op;
    EXPECT_EQ(a.Dispatch(op, 1, 1, buffer, 1.0f), 0) << op;
  }
  EXPECT_EQ(buffer[0], 0);
  EXPECT_TRUE(host.Calls().empty());
}

TEST_F(Dispatcher, NullRecordOrClosedObjectIsHarmless) {
  EXPECT_EQ(a.Effect()->dispatcher(nullptr, vst::effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
  vst::AEffect copy = *a.Effect();
  copy.object = nullptr;
  EXPECT_EQ(copy.dispatcher(&copy, vst::effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
}
