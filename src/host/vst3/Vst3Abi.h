#pragma once

// The VST 3 binary interface as this project uses it: basic types, result
// codes, interface identifiers, records and the interfaces' method slots.
// Interfaces are classes of pure virtual methods in slot order, without
// virtual destructors or overloads, so both x86-64 C++ ABIs lay their tables
// out as hosts expect; records use natural alignment, pinned by the
// static_asserts at the end.

#include <cstddef>
#include <cstdint>

namespace vst3 {

using tresult = int32_t;
using TBool = uint8_t;
using ParamID = uint32_t;
using ParamValue = double;
using TUID = char[16];
using String128 = char16_t[128];

#ifdef _WIN32
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
#else
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = -1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
#endif

// A 16-byte identifier from its four words, in the byte order of the
// platform: a GUID's memory order on Windows, the words big-endian elsewhere.
struct Uid {
  unsigned char bytes[16];
  constexpr Uid(uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4) : bytes{} {
#ifdef _WIN32
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(l1 >> (8 * i));
    bytes[4] = static_cast<unsigned char>(l2 >> 16);
    bytes[5] = static_cast<unsigned char>(l2 >> 24);
    bytes[6] = static_cast<unsigned char>(l2);
    bytes[7] = static_cast<unsigned char>(l2 >> 8);
#else
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(l1 >> (24 - 8 * i));
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<unsigned char>(l2 >> (24 - 8 * i));
#endif
    for (int i = 0; i < 4; ++i) bytes[8 + i] = static_cast<unsigned char>(l3 >> (24 - 8 * i));
    for (int i = 0; i < 4; ++i) bytes[12 + i] = static_cast<unsigned char>(l4 >> (24 - 8 * i));
  }
  const char* Data() const { return reinterpret_cast<const char*>(bytes); }
  // True when the 16 bytes at id are this identifier.
  bool Is(const void* id) const {
    if (!id) return false;
    const auto* p = static_cast<const unsigned char*>(id);
    for (int i = 0; i < 16; ++i)
      if (p[i] != bytes[i]) return false;
    return true;
  }
};

namespace iid {
constexpr Uid kFUnknown(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
constexpr Uid kPluginBase(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
constexpr Uid kPluginFactory(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
constexpr Uid kPluginFactory2(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
constexpr Uid kPluginFactory3(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
constexpr Uid kComponent(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
constexpr Uid kAudioProcessor(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
constexpr Uid kProcessContextRequirements(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
constexpr Uid kEditController(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
constexpr Uid kComponentHandler(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
constexpr Uid kBStream(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
constexpr Uid kHostApplication(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
constexpr Uid kParameterChanges(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
constexpr Uid kParamValueQueue(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
constexpr Uid kPlugView(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
constexpr Uid kPlugFrame(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
constexpr Uid kRunLoop(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
constexpr Uid kEventHandler(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
constexpr Uid kTimerHandler(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
}  // namespace iid

class FUnknown {
 public:
  virtual tresult queryInterface(const char* iid, void** obj) = 0;
  virtual uint32_t addRef() = 0;
  virtual uint32_t release() = 0;
};

// ---- the factory ----

struct PFactoryInfo {
  char vendor[64];
  char url[256];
  char email[128];
  int32_t flags;
};
constexpr int32_t kFactoryUnicode = 16;

struct PClassInfo {
  TUID cid;
  int32_t cardinality;
  char category[32];
  char name[64];
};
constexpr int32_t kManyInstances = 0x7FFFFFFF;

struct PClassInfo2 {
  TUID cid;
  int32_t cardinality;
  char category[32];
  char name[64];
  uint32_t classFlags;
  char subCategories[128];
  char vendor[64];
  char version[64];
  char sdkVersion[64];
};

struct PClassInfoW {
  TUID cid;
  int32_t cardinality;
  char category[32];
  char16_t name[64];
  uint32_t classFlags;
  char subCategories[128];
  char16_t vendor[64];
  char16_t version[64];
  char16_t sdkVersion[64];
};

class IPluginFactory : public FUnknown {
 public:
  virtual tresult getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32_t countClasses() = 0;
  virtual tresult getClassInfo(int32_t index, PClassInfo* info) = 0;
  virtual tresult createInstance(const char* cid, const char* iid, void** obj) = 0;
};

class IPluginFactory2 : public IPluginFactory {
 public:
  virtual tresult getClassInfo2(int32_t index, PClassInfo2* info) = 0;
};

class IPluginFactory3 : public IPluginFactory2 {
 public:
  virtual tresult getClassInfoUnicode(int32_t index, PClassInfoW* info) = 0;
  virtual tresult setHostContext(FUnknown* context) = 0;
};

// ---- streams and the host ----

class IBStream : public FUnknown {
 public:
  enum SeekMode : int32_t { kSeekSet = 0, kSeekCur = 1, kSeekEnd = 2 };
  virtual tresult read(void* buffer, int32_t numBytes, int32_t* numBytesRead) = 0;
  virtual tresult write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) = 0;
  virtual tresult seek(int64_t pos, int32_t mode, int64_t* result) = 0;
  virtual tresult tell(int64_t* pos) = 0;
};

class IHostApplication : public FUnknown {
 public:
  virtual tresult getName(char16_t* name) = 0;
  virtual tresult createInstance(char* cid, char* iid, void** obj) = 0;
};

// ---- the component and its processor ----

class IPluginBase : public FUnknown {
 public:
  virtual tresult initialize(FUnknown* context) = 0;
  virtual tresult terminate() = 0;
};

enum MediaType : int32_t { kAudio = 0, kEvent = 1 };
enum BusDirection : int32_t { kInput = 0, kOutput = 1 };
enum BusType : int32_t { kMain = 0, kAux = 1 };
constexpr uint32_t kDefaultActive = 1;

struct BusInfo {
  int32_t mediaType;
  int32_t direction;
  int32_t channelCount;
  String128 name;
  int32_t busType;
  uint32_t flags;
};

struct RoutingInfo {
  int32_t mediaType;
  int32_t busIndex;
  int32_t channel;
};

class IComponent : public IPluginBase {
 public:
  virtual tresult getControllerClassId(char* classId) = 0;
  virtual tresult setIoMode(int32_t mode) = 0;
  virtual int32_t getBusCount(int32_t type, int32_t dir) = 0;
  virtual tresult getBusInfo(int32_t type, int32_t dir, int32_t index, BusInfo* bus) = 0;
  virtual tresult getRoutingInfo(RoutingInfo* inInfo, RoutingInfo* outInfo) = 0;
  virtual tresult activateBus(int32_t type, int32_t dir, int32_t index, TBool state) = 0;
  virtual tresult setActive(TBool state) = 0;
  virtual tresult setState(IBStream* state) = 0;
  virtual tresult getState(IBStream* state) = 0;
};

using SpeakerArrangement = uint64_t;
constexpr SpeakerArrangement kSpeakerMono = 0x80000;
constexpr SpeakerArrangement kSpeakerStereo = 0x3;

enum SymbolicSampleSize : int32_t { kSample32 = 0, kSample64 = 1 };
enum ProcessMode : int32_t { kRealtime = 0, kPrefetch = 1, kOffline = 2 };

struct ProcessSetup {
  int32_t processMode;
  int32_t symbolicSampleSize;
  int32_t maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers {
  int32_t numChannels;
  uint64_t silenceFlags;
  union {
    float** channelBuffers32;
    double** channelBuffers64;
  };
};

class IParamValueQueue : public FUnknown {
 public:
  virtual ParamID getParameterId() = 0;
  virtual int32_t getPointCount() = 0;
  virtual tresult getPoint(int32_t index, int32_t* sampleOffset, ParamValue* value) = 0;
  virtual tresult addPoint(int32_t sampleOffset, ParamValue value, int32_t* index) = 0;
};

class IParameterChanges : public FUnknown {
 public:
  virtual int32_t getParameterCount() = 0;
  virtual IParamValueQueue* getParameterData(int32_t index) = 0;
  virtual IParamValueQueue* addParameterData(const ParamID* id, int32_t* index) = 0;
};

struct ProcessContext {
  enum StatesAndFlags : uint32_t {
    kPlaying = 0x2,
    kCycleActive = 0x4,
    kRecording = 0x8,
    kProjectTimeMusicValid = 0x200,
    kTempoValid = 0x400,
    kBarPositionValid = 0x800,
    kCycleValid = 0x1000,
    kTimeSigValid = 0x2000,
  };
  uint32_t state;
  double sampleRate;
  int64_t projectTimeSamples;
  int64_t systemTime;
  int64_t continousTimeSamples;
  double projectTimeMusic;
  double barPositionMusic;
  double cycleStartMusic;
  double cycleEndMusic;
  double tempo;
  int32_t timeSigNumerator;
  int32_t timeSigDenominator;
  struct {
    uint8_t keyNote, rootNote;
    int16_t chordMask;
  } chord;
  int32_t smpteOffsetSubframes;
  struct {
    uint32_t framesPerSecond, flags;
  } frameRate;
  int32_t samplesToNextClock;
};

struct ProcessData {
  int32_t processMode;
  int32_t symbolicSampleSize;
  int32_t numSamples;
  int32_t numInputs;
  int32_t numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  FUnknown* inputEvents;
  FUnknown* outputEvents;
  ProcessContext* processContext;
};

class IAudioProcessor : public FUnknown {
 public:
  virtual tresult setBusArrangements(SpeakerArrangement* inputs, int32_t numIns,
                                     SpeakerArrangement* outputs, int32_t numOuts) = 0;
  virtual tresult getBusArrangement(int32_t dir, int32_t index, SpeakerArrangement* arr) = 0;
  virtual tresult canProcessSampleSize(int32_t symbolicSampleSize) = 0;
  virtual uint32_t getLatencySamples() = 0;
  virtual tresult setupProcessing(ProcessSetup* setup) = 0;
  virtual tresult setProcessing(TBool state) = 0;
  virtual tresult process(ProcessData* data) = 0;
  virtual uint32_t getTailSamples() = 0;
};

class IProcessContextRequirements : public FUnknown {
 public:
  enum Flags : uint32_t {
    kNeedProjectTimeMusic = 4,
    kNeedBarPositionMusic = 8,
    kNeedCycleMusic = 16,
    kNeedTempo = 64,
    kNeedTimeSignature = 128,
    kNeedTransportState = 1024,
  };
  virtual uint32_t getProcessContextRequirements() = 0;
};

// ---- the controller ----

struct ParameterInfo {
  enum Flags : int32_t { kCanAutomate = 0x1, kIsList = 0x8, kIsBypass = 0x10000 };
  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32_t stepCount;
  ParamValue defaultNormalizedValue;
  int32_t unitId;
  int32_t flags;
};

class IComponentHandler : public FUnknown {
 public:
  virtual tresult beginEdit(ParamID id) = 0;
  virtual tresult performEdit(ParamID id, ParamValue valueNormalized) = 0;
  virtual tresult endEdit(ParamID id) = 0;
  virtual tresult restartComponent(int32_t flags) = 0;
};
constexpr int32_t kParamValuesChanged = 0x4;
constexpr int32_t kLatencyChanged = 0x8;

class IPlugView;

// Its state pair has its own names: an object that is both component and
// controller fills the two pairs' slots separately.
class IEditController : public IPluginBase {
 public:
  virtual tresult setComponentState(IBStream* state) = 0;
  virtual tresult setControllerState(IBStream* state) = 0;
  virtual tresult getControllerState(IBStream* state) = 0;
  virtual int32_t getParameterCount() = 0;
  virtual tresult getParameterInfo(int32_t paramIndex, ParameterInfo* info) = 0;
  virtual tresult getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                        char16_t* string) = 0;
  virtual tresult getParamValueByString(ParamID id, char16_t* string,
                                        ParamValue* valueNormalized) = 0;
  virtual ParamValue normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue getParamNormalized(ParamID id) = 0;
  virtual tresult setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult setComponentHandler(IComponentHandler* handler) = 0;
  virtual IPlugView* createView(const char* name) = 0;
};

// ---- the editor view ----

struct ViewRect {
  int32_t left, top, right, bottom;
};

class IPlugFrame : public FUnknown {
 public:
  virtual tresult resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

class IPlugView : public FUnknown {
 public:
  virtual tresult isPlatformTypeSupported(const char* type) = 0;
  virtual tresult attached(void* parent, const char* type) = 0;
  virtual tresult removed() = 0;
  virtual tresult onWheel(float distance) = 0;
  virtual tresult onKeyDown(char16_t key, int16_t keyCode, int16_t modifiers) = 0;
  virtual tresult onKeyUp(char16_t key, int16_t keyCode, int16_t modifiers) = 0;
  virtual tresult getSize(ViewRect* size) = 0;
  virtual tresult onSize(ViewRect* newSize) = 0;
  virtual tresult onFocus(TBool state) = 0;
  virtual tresult setFrame(IPlugFrame* frame) = 0;
  virtual tresult canResize() = 0;
  virtual tresult checkSizeConstraint(ViewRect* rect) = 0;
};

constexpr const char* kPlatformTypeHWND = "HWND";
constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";

// Linux: the host's loop, which runs the editor's events and timer.
class IEventHandler : public FUnknown {
 public:
  virtual void onFDIsSet(int fd) = 0;
};

class ITimerHandler : public FUnknown {
 public:
  virtual void onTimer() = 0;
};

class IRunLoop : public FUnknown {
 public:
  virtual tresult registerEventHandler(IEventHandler* handler, int fd) = 0;
  virtual tresult unregisterEventHandler(IEventHandler* handler) = 0;
  virtual tresult registerTimer(ITimerHandler* handler, uint64_t milliseconds) = 0;
  virtual tresult unregisterTimer(ITimerHandler* handler) = 0;
};

static_assert(sizeof(PFactoryInfo) == 452 && alignof(PFactoryInfo) == 4);
static_assert(sizeof(PClassInfo) == 116);
static_assert(sizeof(PClassInfo2) == 440);
static_assert(sizeof(PClassInfoW) == 696);
static_assert(offsetof(PClassInfoW, classFlags) == 180 && offsetof(PClassInfoW, vendor) == 312);
static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268);
static_assert(sizeof(RoutingInfo) == 12);
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16);
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, channelBuffers32) == 16);
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
              offsetof(ProcessData, processContext) == 72);
static_assert(sizeof(ProcessContext) == 112 && offsetof(ProcessContext, tempo) == 72 &&
              offsetof(ProcessContext, chord) == 88 && offsetof(ProcessContext, frameRate) == 96 &&
              offsetof(ProcessContext, samplesToNextClock) == 104);
static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, stepCount) == 772 &&
              offsetof(ParameterInfo, defaultNormalizedValue) == 776 &&
              offsetof(ParameterInfo, flags) == 788);
static_assert(sizeof(ViewRect) == 16);

}  // namespace vst3
