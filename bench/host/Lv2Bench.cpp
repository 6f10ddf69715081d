// The LV2 instance's run() against the VST 2.4 library's 32-bit
// processReplacing, each loaded from the built binary as a host loads it
// (dlopen, then lv2_descriptor or VSTPluginMain), at the same settings:
// wah mode, the other parameters at their defaults, stereo, 512-frame
// blocks, 44.1 kHz. The counter s/frame is the time per stereo frame.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/vst2/VstAbi.h"
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

LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri) {
  auto& uris = *static_cast<std::vector<std::string>*>(handle);
  for (size_t i = 0; i < uris.size(); ++i)
    if (uris[i] == uri) return LV2_URID(i + 1);
  uris.emplace_back(uri);
  return LV2_URID(uris.size());
}

void BM_Lv2Run(benchmark::State& state) {
  void* lib = Open(QW_LV2_DSP, state);
  if (!lib) return;
  const auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(lib, "lv2_descriptor"));
  const LV2_Descriptor* d = entry ? entry(0) : nullptr;
  if (!d) return state.SkipWithError("no descriptor");
  std::vector<std::string> uris;
  LV2_URID_Map map{&uris, &Map};
  int32_t maxBlock = kFrames;
  const LV2_Options_Option options[] = {
      {LV2_OPTIONS_INSTANCE, 0, Map(&uris, LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
       Map(&uris, LV2_ATOM__Int), &maxBlock},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  const LV2_Feature mapFeature{LV2_URID__map, &map},
      optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
  const LV2_Feature* features[] = {&mapFeature, &optionsFeature, nullptr};
  LV2_Handle h = d->instantiate(d, kRate, QW_LV2_BUNDLE "/", features);
  if (!h) return state.SkipWithError("instantiate failed");

  float controls[Quillwave::kParamCount];
  for (int i = 0; i < Quillwave::kParamCount; ++i)
    controls[i] = float(Quillwave::ParamTable(i).defaultValue);
  controls[Quillwave::kFilterMode] = 2.0f;  // Wah
  // The empty sequence a host hands over when it has no events.
  LV2_Atom_Sequence events{{sizeof(LV2_Atom_Sequence_Body), Map(&uris, LV2_ATOM__Sequence)},
                           {0, 0}};
  Audio a;
  uint32_t port = 0;
  for (float& c : controls) d->connect_port(h, port++, &c);
  for (float* p : a.inPtr) d->connect_port(h, port++, p);
  for (float* p : a.outPtr) d->connect_port(h, port++, p);
  d->connect_port(h, port, &events);
  d->activate(h);
  for (auto _ : state) {
    d->run(h, kFrames);
    benchmark::ClobberMemory();
  }
  Count(state);
  d->deactivate(h);
  d->cleanup(h);
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
  e->setParameter(e, Quillwave::kFilterMode, 1.0f);  // Wah, the top of 0..2
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
BENCHMARK(BM_Lv2Run)->ComputeStatistics("min", Fastest);
BENCHMARK(BM_Vst24ProcessReplacing)->ComputeStatistics("min", Fastest);

}  // namespace
