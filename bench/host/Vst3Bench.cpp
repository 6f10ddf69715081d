// The VST 3 module's process() against the VST 2.4 library's 32-bit
// processReplacing, each loaded from the built binary as a host loads it
// (dlopen, then GetPluginFactory or VSTPluginMain), at the same settings:
// wah mode, the other parameters at their defaults, stereo, 512-frame
// blocks, 44.1 kHz, no parameter changes. The counter s/frame is the time
// per stereo frame.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "host/vst2/VstAbi.h"
#include "host/vst3/Vst3Abi.h"
#include "quillwave/Quillwave.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kFrames = 512;

struct Audio {
  Audio() {
    for (int c = 0; c < 2; ++c) {
      for (int i = 0; i < kFrames; ++i) in[c][i] = 0.3f * std::sin(0.05f * float(i * (c + 1)));
      inPtr[c] = in[c];
      outPtr[c] = out[c];
    }
  }
  float in[2][kFrames], out[2][kFrames];
  float* inPtr[2];
  float* outPtr[2];
};

void* Open(const char* path, benchmark::State& state) {
  void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!lib) state.SkipWithError(dlerror());
  return lib;
}

void Count(benchmark::State& state) {
  state.counters["s/frame"] =
      benchmark::Counter(double(state.iterations()) * kFrames,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Vst3Process(benchmark::State& state) {
  void* lib = Open(QW_VST3_MODULE, state);
  if (!lib) return;
  using namespace vst3;
  const auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(lib, "ModuleEntry"));
  const auto factoryOf = reinterpret_cast<IPluginFactory* (*)()>(dlsym(lib, "GetPluginFactory"));
  IPluginFactory* factory = entry && entry(lib) && factoryOf ? factoryOf() : nullptr;
  PClassInfo info{};
  void* object = nullptr;
  if (!factory || factory->getClassInfo(0, &info) != kResultOk ||
      factory->createInstance(info.cid, iid::kComponent.Data(), &object) != kResultOk)
    return state.SkipWithError("no component");
  auto* component = static_cast<IComponent*>(object);
  component->initialize(nullptr);
  void* p = nullptr;
  component->queryInterface(iid::kAudioProcessor.Data(), &p);
  auto* processor = static_cast<IAudioProcessor*>(p);
  component->queryInterface(iid::kEditController.Data(), &p);
  auto* controller = static_cast<IEditController*>(p);
  controller->setParamNormalized(Quillwave::kFilterMode, 1.0);  // Wah, the top of 0..2
  ProcessSetup setup{kRealtime, kSample32, kFrames, kRate};
  processor->setupProcessing(&setup);
  component->setActive(1);
  processor->setProcessing(1);
  Audio a;
  AudioBusBuffers in{}, out{};
  in.numChannels = out.numChannels = 2;
  in.channelBuffers32 = a.inPtr;
  out.channelBuffers32 = a.outPtr;
  ProcessData data{};
  data.processMode = kRealtime;
  data.symbolicSampleSize = kSample32;
  data.numSamples = kFrames;
  data.numInputs = data.numOutputs = 1;
  data.inputs = &in;
  data.outputs = &out;
  for (auto _ : state) {
    processor->process(&data);
    benchmark::ClobberMemory();
  }
  Count(state);
  processor->setProcessing(0);
  component->setActive(0);
  component->terminate();
  controller->release();
  processor->release();
  component->release();
  factory->release();
  if (const auto exit = reinterpret_cast<bool (*)()>(dlsym(lib, "ModuleExit"))) exit();
  dlclose(lib);
}

vst::VstIntPtr HostCallback(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr,
                            void*, float) {
  return opcode == vst::audioMasterVersion ? vst::kVstVersion : 0;
}

void BM_Vst24ProcessReplacing(benchmark::State& state) {
  void* lib = Open(QW_VST_PLUGIN, state);
  if (!lib) return;
  const auto entry = reinterpret_cast<vst::PluginEntryProc>(dlsym(lib, "VSTPluginMain"));
  vst::AEffect* e = entry ? entry(&HostCallback) : nullptr;
  if (!e) return state.SkipWithError("no effect");
  e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, float(kRate));
  e->dispatcher(e, vst::effSetBlockSize, 0, kFrames, nullptr, 0.0f);
  e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
  e->setParameter(e, Quillwave::kFilterMode, 1.0f);
  Audio a;
  for (auto _ : state) {
    e->processReplacing(e, a.inPtr, a.outPtr, kFrames);
    benchmark::ClobberMemory();
  }
  Count(state);
  e->dispatcher(e, vst::effMainsChanged, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f);
  dlclose(lib);
}

// With repetitions, the fastest one too: the least disturbed by other load.
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
BENCHMARK(BM_Vst3Process)->ComputeStatistics("min", Fastest);
BENCHMARK(BM_Vst24ProcessReplacing)->ComputeStatistics("min", Fastest);

}  // namespace
