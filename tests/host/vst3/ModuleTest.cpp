// Quillwave.vst3's module as a host meets it before any audio runs: the
// entry points and the factory's description, the interfaces the one
// object answers and the references they take, the parameter list and the
// buses.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "TestHost.h"
#include "Vst3TestHost.h"
#include "quillwave/Quillwave.h"

namespace qwtest {
namespace {

using namespace vst3;

std::string Hex(const void* bytes) {
  std::string s;
  const auto* p = static_cast<const unsigned char*>(bytes);
  char b[4];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(b, sizeof b, i ? " %02X" : "%02X", p[i]);
    s += b;
  }
  return s;
}

// Interfaces a host may ask the object for that it does not implement.
const struct {
  const char* name;
  Uid id;
} kForeign[] = {
    {"IConnectionPoint", {0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1}},
    {"IEditController2", {0x7F4EFE59, 0xF3204967, 0xAC27A3AE, 0xAFB63038}},
    {"IUnitInfo", {0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1}},
    {"IMidiMapping", {0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5}},
    {"IAudioPresentationLatency", {0x309ECE78, 0xEB7D4FAE, 0x8B2225D9, 0x09FD08B6}},
    {"IPrefetchableSupport", {0x8AE54FDA, 0xE93046B9, 0xA28555BC, 0xDC98E21E}},
    {"INoteExpressionController", {0xB7F8F859, 0x41234872, 0x91169581, 0x4F3721A3}},
    {"IEditControllerHostEditing", {0xC1271208, 0x70594098, 0xB9DD34B3, 0x6BB0195E}},
    {"IPlugView", iid::kPlugView},
    {"IPluginFactory", iid::kPluginFactory},
    {"IBStream", iid::kBStream},
    {"IComponentHandler", iid::kComponentHandler},
};

// ---- the module and its factory ----

#ifdef _WIN32
constexpr bool kComOrder = true;
#else
constexpr bool kComOrder = false;
#endif

// Both sides of the interface take their identifiers from one header; its
// bytes must be the ones every other host and plug-in of the platform
// compares: a GUID's memory order on Windows, the four words big-endian
// elsewhere.
TEST(Vst3Module, InterfaceIdentifiersHaveThePlatformsBytes) {
  const struct {
    const Uid& id;
    const char* linuxBytes;
    const char* windowsBytes;
  } table[] = {
      {iid::kFUnknown, "00 00 00 00 00 00 00 00 C0 00 00 00 00 00 00 46",
       "00 00 00 00 00 00 00 00 C0 00 00 00 00 00 00 46"},
      {iid::kPluginBase, "22 88 8D DB 15 6E 45 AE 83 58 B3 48 08 19 06 25",
       "DB 8D 88 22 6E 15 AE 45 83 58 B3 48 08 19 06 25"},
      {iid::kPluginFactory, "7A 4D 81 1C 52 11 4A 1F AE D9 D2 EE 0B 43 BF 9F",
       "1C 81 4D 7A 11 52 1F 4A AE D9 D2 EE 0B 43 BF 9F"},
      {iid::kPluginFactory2, "00 07 B6 50 F2 4B 4C 0B A4 64 ED B9 F0 0B 2A BB",
       "50 B6 07 00 4B F2 0B 4C A4 64 ED B9 F0 0B 2A BB"},
      {iid::kPluginFactory3, "45 55 A2 AB C1 23 4E 57 9B 12 29 10 36 87 89 31",
       "AB A2 55 45 23 C1 57 4E 9B 12 29 10 36 87 89 31"},
      {iid::kComponent, "E8 31 FF 31 F2 D5 43 01 92 8E BB EE 25 69 78 02",
       "31 FF 31 E8 D5 F2 01 43 92 8E BB EE 25 69 78 02"},
      {iid::kAudioProcessor, "42 04 3F 99 B7 DA 45 3C A5 69 E7 9D 9A AE C3 3D",
       "99 3F 04 42 DA B7 3C 45 A5 69 E7 9D 9A AE C3 3D"},
      {iid::kProcessContextRequirements, "2A 65 43 03 EF 76 4E 3D 95 B5 FE 83 73 0E F6 D0",
       "03 43 65 2A 76 EF 3D 4E 95 B5 FE 83 73 0E F6 D0"},
      {iid::kEditController, "DC D7 BB E3 77 42 44 8D A8 74 AA CC 97 9C 75 9E",
       "E3 BB D7 DC 42 77 8D 44 A8 74 AA CC 97 9C 75 9E"},
      {iid::kComponentHandler, "93 A0 BE A3 0B D0 45 DB 8E 89 0B 0C C1 E4 6A C6",
       "A3 BE A0 93 D0 0B DB 45 8E 89 0B 0C C1 E4 6A C6"},
      {iid::kBStream, "C3 BF 6E A2 30 99 47 52 9B 6B F9 90 1E E3 3E 9B",
       "A2 6E BF C3 99 30 52 47 9B 6B F9 90 1E E3 3E 9B"},
      {iid::kHostApplication, "58 E5 95 CC DB 2D 49 69 8B 6A AF 8C 36 A6 64 E5",
       "CC 95 E5 58 2D DB 69 49 8B 6A AF 8C 36 A6 64 E5"},
      {iid::kParameterChanges, "A4 77 96 63 0B B6 4A 56 B4 43 84 A8 46 6F EB 9D",
       "63 96 77 A4 B6 0B 56 4A B4 43 84 A8 46 6F EB 9D"},
      {iid::kParamValueQueue, "01 26 3A 18 ED 07 4F 6F 98 C9 D3 56 46 86 F9 BA",
       "18 3A 26 01 07 ED 6F 4F 98 C9 D3 56 46 86 F9 BA"},
      {iid::kPlugView, "5B C3 25 07 D0 60 49 EA A6 15 1B 52 2B 75 5B 29",
       "07 25 C3 5B 60 D0 EA 49 A6 15 1B 52 2B 75 5B 29"},
      {iid::kPlugFrame, "36 7F AF 01 AF A9 46 93 8D 4D A2 A0 ED 08 82 A3",
       "01 AF 7F 36 A9 AF 93 46 8D 4D A2 A0 ED 08 82 A3"},
      {iid::kRunLoop, "18 C3 53 66 97 76 4F 1A 9C 5B 83 85 7A 87 13 89",
       "66 53 C3 18 76 97 1A 4F 9C 5B 83 85 7A 87 13 89"},
      {iid::kEventHandler, "56 1E 65 C9 13 A0 49 6F 81 3A 2C 35 65 4D 79 83",
       "C9 65 1E 56 A0 13 6F 49 81 3A 2C 35 65 4D 79 83"},
      {iid::kTimerHandler, "10 BD D9 4F 41 42 47 74 82 1F AD 8F EC A7 2C A9",
       "4F D9 BD 10 42 41 74 47 82 1F AD 8F EC A7 2C A9"},
  };
  for (const auto& row : table)
    EXPECT_EQ(Hex(row.id.bytes), kComOrder ? row.windowsBytes : row.linuxBytes);
}

TEST(Vst3Module, FactoryDescribesOneAudioModuleClass) {
  Vst3Module module;
  ASSERT_TRUE(module.Loaded()) << module.Error();
  IPluginFactory* f = module.Factory();
  ASSERT_NE(module.Factory3(), nullptr);
  // The newer factory interfaces are the same object.
  for (const Uid* id : {&iid::kFUnknown, &iid::kPluginFactory, &iid::kPluginFactory2}) {
    void* obj = nullptr;
    ASSERT_EQ(f->queryInterface(id->Data(), &obj), kResultOk);
    EXPECT_EQ(obj, static_cast<void*>(module.Factory3()));
    static_cast<FUnknown*>(obj)->release();
  }

  PFactoryInfo info{};
  ASSERT_EQ(f->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "korvanta");
  EXPECT_NE(info.flags & kFactoryUnicode, 0);
  ASSERT_EQ(f->countClasses(), 1);

  PClassInfo c1{};
  PClassInfo2 c2{};
  PClassInfoW cw{};
  ASSERT_EQ(f->getClassInfo(0, &c1), kResultOk);
  ASSERT_EQ(module.Factory3()->getClassInfo2(0, &c2), kResultOk);
  ASSERT_EQ(module.Factory3()->getClassInfoUnicode(0, &cw), kResultOk);
  // The class id hosts store in their projects: four words in the
  // platform's byte order, so its text form is the same on every platform.
  EXPECT_EQ(Hex(c1.cid), kComOrder ? "74 6E 76 4B 6C 51 76 77 56 53 54 33 00 01 00 00"
                                   : "4B 76 6E 74 51 6C 77 76 56 53 54 33 00 01 00 00");
  EXPECT_STREQ(c1.category, "Audio Module Class");
  EXPECT_STREQ(c1.name, "Quillwave");
  EXPECT_EQ(c1.cardinality, kManyInstances);
  EXPECT_STREQ(c2.subCategories, "Fx|Filter");
  EXPECT_EQ(c2.classFlags, 0u);  // one object: never distributable
  EXPECT_STREQ(c2.vendor, "korvanta");
  EXPECT_STREQ(c2.version, "1.0.0");
  EXPECT_EQ(std::string(c2.sdkVersion).rfind("VST 3", 0), 0u) << c2.sdkVersion;
  // Every form of the class info tells the same.
  for (const char* cid : {c2.cid, cw.cid}) EXPECT_EQ(Hex(cid), Hex(c1.cid));
  EXPECT_STREQ(c2.category, c1.category);
  EXPECT_STREQ(c2.name, c1.name);
  EXPECT_EQ(c2.cardinality, c1.cardinality);
  EXPECT_STREQ(cw.category, c2.category);
  EXPECT_EQ(Narrow(cw.name), c2.name);
  EXPECT_EQ(cw.cardinality, c2.cardinality);
  EXPECT_EQ(cw.classFlags, c2.classFlags);
  EXPECT_STREQ(cw.subCategories, c2.subCategories);
  EXPECT_EQ(Narrow(cw.vendor), c2.vendor);
  EXPECT_EQ(Narrow(cw.version), c2.version);
  EXPECT_EQ(Narrow(cw.sdkVersion), c2.sdkVersion);
  // There is no second class.
  EXPECT_NE(f->getClassInfo(1, &c1), kResultOk);
  EXPECT_NE(module.Factory3()->getClassInfo2(-1, &c2), kResultOk);
  EXPECT_NE(module.Factory3()->getClassInfoUnicode(1, &cw), kResultOk);
  // A host context is accepted, and kept by nothing.
  HostApplication host;
  EXPECT_EQ(module.Factory3()->setHostContext(&host), kResultOk);
  EXPECT_EQ(host.References(), 1u);
}

TEST(Vst3Module, CreateInstanceAnswersOnlyItsClassAndItsInterfaces) {
  Vst3Module module;
  ASSERT_TRUE(module.Loaded()) << module.Error();
  IPluginFactory* f = module.Factory();
  char other[16];
  std::memcpy(other, module.ClassId(), 16);
  other[15] ^= 1;
  void* obj = &other;
  EXPECT_EQ(f->createInstance(other, iid::kComponent.Data(), &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  // The class, asked for an interface it does not have.
  obj = &other;
  EXPECT_EQ(f->createInstance(module.ClassId(), iid::kPlugView.Data(), &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  // Any interface it has will do; the answer is the only reference.
  ASSERT_EQ(f->createInstance(module.ClassId(), iid::kAudioProcessor.Data(), &obj), kResultOk);
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(static_cast<IAudioProcessor*>(obj)->release(), 0u);
}

// ---- the object's interfaces ----

TEST(Vst3Object, AnswersItsInterfacesWithOneIdentity) {
  Vst3Module module;
  Vst3Instance fx(module);
  ASSERT_TRUE(fx.Ok());
  FUnknown* identity = nullptr;
  {
    void* obj = nullptr;
    ASSERT_EQ(fx.Component()->queryInterface(iid::kFUnknown.Data(), &obj), kResultOk);
    identity = static_cast<FUnknown*>(obj);
  }
  // What the host holds now: the component, the processor, the controller
  // and the identity.
  const uint32_t held = fx.Component()->addRef() - 1;
  fx.Component()->release();
  EXPECT_EQ(held, 4u);

  const Uid* own[] = {&iid::kFUnknown,
                      &iid::kPluginBase,
                      &iid::kComponent,
                      &iid::kAudioProcessor,
                      &iid::kProcessContextRequirements,
                      &iid::kEditController};
  for (const Uid* id : own) {
    void* obj = nullptr;
    ASSERT_EQ(fx.Component()->queryInterface(id->Data(), &obj), kResultOk) << Hex(id->bytes);
    ASSERT_NE(obj, nullptr);
    auto* answer = static_cast<FUnknown*>(obj);
    // Every interface leads back to the same identity, whichever asks.
    void* back = nullptr;
    ASSERT_EQ(answer->queryInterface(iid::kFUnknown.Data(), &back), kResultOk);
    EXPECT_EQ(back, identity) << Hex(id->bytes);
    static_cast<FUnknown*>(back)->release();
    EXPECT_EQ(answer->release(), held) << Hex(id->bytes);
  }
  for (FUnknown* asker : {static_cast<FUnknown*>(fx.Processor()),
                          static_cast<FUnknown*>(fx.Controller()), identity}) {
    for (const auto& foreign : kForeign) {
      void* obj = identity;
      EXPECT_EQ(asker->queryInterface(foreign.id.Data(), &obj), kNoInterface) << foreign.name;
      EXPECT_EQ(obj, nullptr) << foreign.name;
    }
  }
  EXPECT_EQ(identity->release(), held - 1);
  EXPECT_EQ(fx.Close(), 0u);
  EXPECT_EQ(fx.Handler().References(), 1u);
  EXPECT_EQ(fx.Host().References(), 1u);
}

// ---- parameters ----

double DefaultNormalized(int32_t index) {
  const Quillwave::ParamRow& r = Quillwave::ParamTable(index);
  return (r.defaultValue - r.minimum) / (r.maximum - r.minimum);
}

std::string Display(IEditController* c, ParamID id, double normalized) {
  String128 text{};
  if (c->getParamStringByValue(id, normalized, text) != kResultOk) return "(refused)";
  return Narrow(text);
}

class Vst3Parameters : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fx_.Ok()) << module_.Error(); }
  Vst3Module module_;
  Vst3Instance fx_{module_};
};

TEST_F(Vst3Parameters, TheListIsTheTable) {
  IEditController* c = fx_.Controller();
  ASSERT_EQ(c->getParameterCount(), int32_t(Quillwave::kParamCount));
  const std::pair<int32_t, int32_t> discrete[] = {
      {Quillwave::kTempoSync, 1},  {Quillwave::kOnOff, 1}, {Quillwave::kMode, 1},
      {Quillwave::kFilterMode, 2}, {Quillwave::kNote, 6},  {Quillwave::kPrefix, 2}};
  int bypasses = 0;
  for (int32_t i = 0; i < Quillwave::kParamCount; ++i) {
    ParameterInfo info{};
    ASSERT_EQ(c->getParameterInfo(i, &info), kResultOk);
    EXPECT_EQ(info.id, ParamID(i));
    EXPECT_EQ(Narrow(info.title), Quillwave::ParamTable(i).name);
    int32_t steps = 0;
    for (const auto& [index, n] : discrete)
      if (index == i) steps = n;
    EXPECT_EQ(info.stepCount, steps) << info.id;
    EXPECT_NEAR(info.defaultNormalizedValue, DefaultNormalized(i), 1e-12) << info.id;
    EXPECT_NEAR(c->getParamNormalized(ParamID(i)), DefaultNormalized(i), 1e-12) << info.id;
    EXPECT_EQ(info.unitId, 0);
    if (info.flags & ParameterInfo::kIsBypass) {
      ++bypasses;
      EXPECT_EQ(i, Quillwave::kOnOff);
      EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass);
    } else {
      EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate) << info.id;
    }
  }
  EXPECT_EQ(bypasses, 1);
  ParameterInfo info{};
  EXPECT_NE(c->getParameterInfo(Quillwave::kParamCount, &info), kResultOk);
  EXPECT_NE(c->getParameterInfo(-1, &info), kResultOk);
}

// Each state of a switch or choice has its own value at index / stepCount,
// its own text, and lands on its own step.
TEST_F(Vst3Parameters, DiscreteStatesAreWholeSteps) {
  IEditController* c = fx_.Controller();
  for (int32_t i = 0; i < Quillwave::kParamCount; ++i) {
    ParameterInfo info{};
    ASSERT_EQ(c->getParameterInfo(i, &info), kResultOk);
    if (info.stepCount == 0) continue;
    const Quillwave::ParamRow& r = Quillwave::ParamTable(i);
    std::set<std::string> texts;
    for (int32_t k = 0; k <= info.stepCount; ++k) {
      const double n = double(k) / info.stepCount;
      EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(info.id, n), r.minimum + k * r.step) << i;
      texts.insert(Display(c, info.id, n));
      ASSERT_EQ(c->setParamNormalized(info.id, n), kResultOk);
      EXPECT_NEAR(c->getParamNormalized(info.id), n, 1e-12) << i << " step " << k;
    }
    EXPECT_EQ(texts.size(), size_t(info.stepCount) + 1) << i;
  }
}

TEST_F(Vst3Parameters, TextsRoundTripAndMatchTheOtherFormat) {
  IEditController* c = fx_.Controller();
  TestHost vst2;
  Instance other(vst2);
  ASSERT_TRUE(other);
  other.Start();
  const struct {
    int32_t id;
    double normalized;
  } values[] = {{Quillwave::kMix, 0.25},        {Quillwave::kMix, 1.0},
                {Quillwave::kCutoff1, 0.5},     {Quillwave::kResonance, 0.75},
                {Quillwave::kFilterMode, 0.5},  {Quillwave::kFilterMode, 1.0},
                {Quillwave::kNote, 0.5},        {Quillwave::kOnOff, 1.0},
                {Quillwave::kLfoFrequency, 0.0}};
  for (const auto& v : values) {
    const std::string text = Display(c, ParamID(v.id), v.normalized);
    char16_t typed[128];
    Widen(text.c_str(), typed);
    double back = -1.0;
    ASSERT_EQ(c->getParamValueByString(ParamID(v.id), typed, &back), kResultOk) << text;
    EXPECT_EQ(Display(c, ParamID(v.id), back), text);
    EXPECT_NEAR(back, v.normalized, 1e-9) << v.id << " " << text;
    other.SetParameter(v.id, float(v.normalized));
    EXPECT_EQ(other.Text(vst::effGetParamDisplay, v.id), text) << v.id;
  }
  // Typed numbers beyond the range are its ends.
  for (const auto& [typed, want] : {std::pair{"100", 1.0}, std::pair{"-3", 0.0}}) {
    char16_t text[128];
    Widen(typed, text);
    double back = -1.0;
    ASSERT_EQ(c->getParamValueByString(Quillwave::kMix, text, &back), kResultOk) << typed;
    EXPECT_EQ(back, want) << typed;
  }
  // Values outside 0..1 and unknown ids.
  EXPECT_EQ(Display(c, Quillwave::kMix, 7.0), Display(c, Quillwave::kMix, 1.0));
  String128 text{};
  EXPECT_NE(c->getParamStringByValue(Quillwave::kParamCount, 0.5, text), kResultOk);
}

TEST_F(Vst3Parameters, PlainAndNormalizedValuesAreInverse) {
  IEditController* c = fx_.Controller();
  for (int32_t i = 0; i < Quillwave::kParamCount; ++i) {
    const Quillwave::ParamRow& r = Quillwave::ParamTable(i);
    const ParamID id = ParamID(i);
    EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(id, 0.0), r.minimum) << i;
    EXPECT_DOUBLE_EQ(c->normalizedParamToPlain(id, 1.0), r.maximum) << i;
    EXPECT_NEAR(c->plainParamToNormalized(id, r.defaultValue), DefaultNormalized(i), 1e-12) << i;
    for (double n : {0.1, 0.25, 0.5, 0.8}) {
      const double plain = c->normalizedParamToPlain(id, n);
      EXPECT_GE(plain, r.minimum);
      EXPECT_LE(plain, r.maximum);
      EXPECT_NEAR(c->plainParamToNormalized(id, plain), n, 1e-12) << i << " at " << n;
    }
    // Plain values beyond the range are its ends.
    EXPECT_DOUBLE_EQ(c->plainParamToNormalized(id, r.maximum + 100.0), 1.0) << i;
    EXPECT_DOUBLE_EQ(c->plainParamToNormalized(id, r.minimum - 100.0), 0.0) << i;
  }
}

// ---- buses ----

SpeakerArrangement Arrangement(IAudioProcessor* p, int32_t dir) {
  SpeakerArrangement a = ~SpeakerArrangement(0);
  EXPECT_EQ(p->getBusArrangement(dir, 0, &a), kResultOk);
  return a;
}

int32_t Channels(IComponent* c, int32_t dir) {
  BusInfo bus{};
  EXPECT_EQ(c->getBusInfo(kAudio, dir, 0, &bus), kResultOk);
  return bus.channelCount;
}

TEST(Vst3Buses, OneStereoBusEachWay) {
  Vst3Module module;
  Vst3Instance fx(module);
  ASSERT_TRUE(fx.Ok());
  IComponent* c = fx.Component();
  EXPECT_EQ(c->getBusCount(kAudio, kInput), 1);
  EXPECT_EQ(c->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(c->getBusCount(kEvent, kInput), 0);
  EXPECT_EQ(c->getBusCount(kEvent, kOutput), 0);
  for (int32_t dir : {kInput, kOutput}) {
    BusInfo bus{};
    ASSERT_EQ(c->getBusInfo(kAudio, dir, 0, &bus), kResultOk);
    EXPECT_EQ(bus.mediaType, kAudio);
    EXPECT_EQ(bus.direction, dir);
    EXPECT_EQ(bus.channelCount, 2);
    EXPECT_EQ(bus.busType, kMain);
    EXPECT_NE(bus.flags & kDefaultActive, 0u);
    EXPECT_FALSE(Narrow(bus.name).empty());
    EXPECT_EQ(Arrangement(fx.Processor(), dir), kSpeakerStereo);
    EXPECT_EQ(c->getBusInfo(kAudio, dir, 1, &bus), kInvalidArgument);
    EXPECT_EQ(c->getBusInfo(kEvent, dir, 0, &bus), kInvalidArgument);
  }
}

TEST(Vst3Buses, StereoAndMonoAreAcceptedAndNothingElse) {
  Vst3Module module;
  Vst3Instance fx(module);
  ASSERT_TRUE(fx.Ok());
  IAudioProcessor* p = fx.Processor();
  SpeakerArrangement stereo[] = {kSpeakerStereo, kSpeakerStereo};
  SpeakerArrangement mono[] = {kSpeakerMono, kSpeakerMono};
  EXPECT_EQ(p->setBusArrangements(stereo, 1, stereo + 1, 1), kResultTrue);
  const struct {
    const char* what;
    std::vector<SpeakerArrangement> in, out;
  } refused[] = {{"mono to stereo", {kSpeakerMono}, {kSpeakerStereo}},
                 {"stereo to mono", {kSpeakerStereo}, {kSpeakerMono}},
                 {"5.1", {0x3F}, {0x3F}},
                 {"left only", {0x1}, {0x1}},
                 {"empty", {0}, {0}},
                 {"two inputs", {kSpeakerStereo, kSpeakerStereo}, {kSpeakerStereo}},
                 {"no buses", {}, {}}};
  for (const auto& r : refused) {
    auto in = r.in, out = r.out;
    EXPECT_EQ(p->setBusArrangements(in.data(), int32_t(in.size()), out.data(), int32_t(out.size())),
              kResultFalse)
        << r.what;
    for (int32_t dir : {kInput, kOutput}) {
      EXPECT_EQ(Arrangement(p, dir), kSpeakerStereo) << r.what;
      EXPECT_EQ(Channels(fx.Component(), dir), 2) << r.what;
    }
  }
  EXPECT_EQ(p->setBusArrangements(mono, 1, mono + 1, 1), kResultTrue);
  for (int32_t dir : {kInput, kOutput}) {
    EXPECT_EQ(Arrangement(p, dir), kSpeakerMono);
    EXPECT_EQ(Channels(fx.Component(), dir), 1);
  }
  EXPECT_EQ(p->setBusArrangements(stereo, 1, stereo + 1, 1), kResultTrue);
  EXPECT_EQ(Arrangement(p, kOutput), kSpeakerStereo);
}

}  // namespace
}  // namespace qwtest
