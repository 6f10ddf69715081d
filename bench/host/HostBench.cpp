// The adapter's audio paths on the base pass-through: 32-bit replacing and
// accumulating (conversion to 64 bits and back), 64-bit replacing, and a
// 32-bit call eight times the block size (processed in slices). The floor
// is a plain copy of the same samples.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "host/vst2/IVstAdapter.h"

namespace {

class PassThrough : public IEffectCore {
 public:
  PassThrough() : IEffectCore(1, 1) {
    GetParameter(0)->DefineContinuous("Gain", 1.0, 0.0, 1.0, 0.01, "", 1.0);
  }
};

template <class T>
struct Buffers {
  explicit Buffers(int frames)
      : in(2, std::vector<T>(frames, T(0.25))), out(2, std::vector<T>(frames)) {
    for (int c = 0; c < 2; ++c) {
      inPtr[c] = in[c].data();
      outPtr[c] = out[c].data();
    }
  }
  std::vector<std::vector<T>> in, out;
  T* inPtr[2];
  T* outPtr[2];
};

void BM_CopyFloor(benchmark::State& state) {
  const int frames = int(state.range(0));
  Buffers<float> b(frames);
  for (auto _ : state) {
    for (int c = 0; c < 2; ++c) std::memcpy(b.outPtr[c], b.inPtr[c], frames * sizeof(float));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * frames);
}

void BM_ProcessReplacing32(benchmark::State& state) {
  const int frames = int(state.range(0));
  IVstAdapter plug(nullptr, std::make_unique<PassThrough>());
  vst::AEffect* e = plug.Effect();
  Buffers<float> b(frames);
  for (auto _ : state) {
    e->processReplacing(e, b.inPtr, b.outPtr, frames);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * frames);
}

void BM_ProcessAccumulating32(benchmark::State& state) {
  const int frames = int(state.range(0));
  IVstAdapter plug(nullptr, std::make_unique<PassThrough>());
  vst::AEffect* e = plug.Effect();
  Buffers<float> b(frames);
  for (auto _ : state) {
    e->process(e, b.inPtr, b.outPtr, frames);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * frames);
}

void BM_ProcessReplacing64(benchmark::State& state) {
  const int frames = int(state.range(0));
  IVstAdapter plug(nullptr, std::make_unique<PassThrough>());
  vst::AEffect* e = plug.Effect();
  Buffers<double> b(frames);
  for (auto _ : state) {
    e->processDoubleReplacing(e, b.inPtr, b.outPtr, frames);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * frames);
}

void BM_ProcessReplacing32Sliced(benchmark::State& state) {
  IVstAdapter plug(nullptr, std::make_unique<PassThrough>());
  vst::AEffect* e = plug.Effect();
  constexpr int kFrames = 8 * IVstAdapter::kDefaultBlockFrames;
  Buffers<float> b(kFrames);
  for (auto _ : state) {
    e->processReplacing(e, b.inPtr, b.outPtr, kFrames);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}

}  // namespace

BENCHMARK(BM_CopyFloor)->Arg(64)->Arg(1024);
BENCHMARK(BM_ProcessReplacing32)->Arg(64)->Arg(1024);
BENCHMARK(BM_ProcessAccumulating32)->Arg(1024);
BENCHMARK(BM_ProcessReplacing64)->Arg(64)->Arg(1024);
BENCHMARK(BM_ProcessReplacing32Sliced);

BENCHMARK_MAIN();
