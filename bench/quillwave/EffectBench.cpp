// Effect engine costs: per-sample filter steps, whole effect blocks per
// filter mode beside a bare kernel doing the same arithmetic (the floor),
// and silence after a loud burst beside signal. Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dsp/MultiBandFilterBT.h"
#include "dsp/StereoSweep.h"
#include "host/vst2/IVstAdapter.h"
#include "quillwave/Quillwave.h"

namespace {

constexpr double kFs = 44100.0;
constexpr double kTwoPi = 6.283185307179586;

std::vector<double> Noise(int n, unsigned seed) {
  std::vector<double> v(static_cast<size_t>(n));
  unsigned s = seed;
  for (double& x : v) {
    s = s * 1664525u + 1013904223u;
    x = (static_cast<double>(s >> 8) / 16777216.0 - 0.5) * 0.5;
  }
  return v;
}

// ---- per-sample filter steps: cutoff update plus one step ----

template <class F>
void BM_FilterStep(benchmark::State& state) {
  F filter;
  filter.SetSampleRate(kFs);
  filter.SetResonance(2.0);
  const std::vector<double> in = Noise(1024, 1);
  std::vector<double> cut(1024);
  for (size_t i = 0; i < cut.size(); ++i)
    cut[i] = 300.0 + 1500.0 * (0.5 + 0.5 * std::sin(i * 0.01));
  double acc = 0.0;
  for (auto _ : state) {
    for (size_t i = 0; i < in.size(); ++i) {
      filter.SetCutoff(cut[i]);
      acc += filter.ProcessSample(in[i]);
    }
    benchmark::DoNotOptimize(acc);
  }
  state.counters["time_per_sample"] = benchmark::Counter(
      1024, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FilterStep<FilterHP1>);
BENCHMARK(BM_FilterStep<FilterLP2>);
BENCHMARK(BM_FilterStep<FilterBP2>);
BENCHMARK(BM_FilterStep<FilterLP2_BT>);
BENCHMARK(BM_FilterStep<FilterBP_BT>);
BENCHMARK(BM_FilterStep<WahBP2>);
BENCHMARK(BM_FilterStep<WahBPBT>);

// ---- the effect through its process callback ----

// kTremolo is auto-pan over the low-pass, kPanWah auto-pan over the wah.
enum Mode { kLowPass, kBandPass, kWah, kTremolo, kPanWah };
const char* const kModeNames[] = {"lowpass", "bandpass", "wah", "tremolo", "pan+wah"};

vst::VstIntPtr NoHost(vst::AEffect*, vst::VstInt32, vst::VstInt32, vst::VstIntPtr, void*, float) {
  return 0;
}

struct Effect {
  explicit Effect(int mode, int blockSize)
      : adapter(&NoHost, std::make_unique<Quillwave>()), e(adapter.Effect()) {
    e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, float(kFs));
    e->dispatcher(e, vst::effSetBlockSize, 0, blockSize, nullptr, 0.0f);
    e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    const int filterMode = mode == kBandPass ? 1 : (mode == kWah || mode == kPanWah ? 2 : 0);
    e->setParameter(e, Quillwave::kFilterMode, filterMode / 2.0f);
    e->setParameter(e, Quillwave::kMode, mode == kTremolo || mode == kPanWah ? 1.0f : 0.0f);
  }
  void Process(double** in, double** out, int frames) {
    e->processDoubleReplacing(e, in, out, frames);
  }
  void Process(float** in, float** out, int frames) { e->processReplacing(e, in, out, frames); }
  IVstAdapter adapter;
  vst::AEffect* e;
};

void SetFrameCounters(benchmark::State& state, int frames) {
  state.counters["time_per_frame"] = benchmark::Counter(
      frames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["realtime_x"] =
      benchmark::Counter(frames / kFs, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Effect(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const int frames = static_cast<int>(state.range(1));
  Effect fx(mode, frames);
  std::vector<double> l = Noise(frames, 2), r = Noise(frames, 3), ol(frames), orr(frames);
  double* in[2] = {l.data(), r.data()};
  double* out[2] = {ol.data(), orr.data()};
  for (auto _ : state) {
    fx.Process(in, out, frames);
    benchmark::DoNotOptimize(ol.data());
  }
  state.SetLabel(kModeNames[mode]);
  SetFrameCounters(state, frames);
}
// On a shared machine the fastest of many short repetitions is the steadiest
// figure: other tenants only ever add time.
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

BENCHMARK(BM_Effect)
    ->ArgsProduct({{kLowPass, kBandPass, kWah, kTremolo, kPanWah}, {512, 1024}})
    ->ComputeStatistics("min", Fastest);

// The 32-bit path: the same engine behind a conversion per sample.
void BM_Effect32(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const int frames = 512;
  Effect fx(mode, frames);
  const std::vector<double> nl = Noise(frames, 2), nr = Noise(frames, 3);
  std::vector<float> l(nl.begin(), nl.end()), r(nr.begin(), nr.end()), ol(frames), orr(frames);
  float* in[2] = {l.data(), r.data()};
  float* out[2] = {ol.data(), orr.data()};
  for (auto _ : state) {
    fx.Process(in, out, frames);
    benchmark::DoNotOptimize(ol.data());
  }
  state.SetLabel(kModeNames[mode]);
  SetFrameCounters(state, frames);
}
BENCHMARK(BM_Effect32)->DenseRange(kLowPass, kPanWah)->ComputeStatistics("min", Fastest);

// The same under automation that never lets the ramps end: mix, both sweep
// limits and the resonance get a new value before every block.
void BM_EffectAutomated(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const int frames = 512;
  Effect fx(mode, frames);
  std::vector<double> l = Noise(frames, 2), r = Noise(frames, 3), ol(frames), orr(frames);
  double* in[2] = {l.data(), r.data()};
  double* out[2] = {ol.data(), orr.data()};
  int block = 0;
  for (auto _ : state) {
    const float v = float(block++ % 100) / 100.0f;
    for (int index : {Quillwave::kMix, Quillwave::kCutoff1, Quillwave::kCutoff2,
                      Quillwave::kResonance})
      fx.e->setParameter(fx.e, index, index == Quillwave::kCutoff2 ? 1.0f - v : v);
    fx.Process(in, out, frames);
    benchmark::DoNotOptimize(ol.data());
  }
  state.SetLabel(kModeNames[mode]);
  SetFrameCounters(state, frames);
}
BENCHMARK(BM_EffectAutomated)->DenseRange(kLowPass, kPanWah);

// ---- the floor: the same per-sample arithmetic in one tight loop ----
// One cosine oscillator value per frame, then per channel a coefficient
// update and a filter step, and the dry/wet mix. The straightforward code
// updates each channel's coefficients from that channel's own rate and Q;
// the floor must not share them between channels either.

template <class F, class Setup>
void FloorKernel(benchmark::State& state, bool tremolo, Setup setup) {
  const int frames = 512;
  F f0, f1;
  for (F* f : {&f0, &f1}) {
    f->SetSampleRate(kFs);
    f->SetResonance(4.0);
    setup(*f);
  }
  std::vector<double> l = Noise(frames, 2), r = Noise(frames, 3), ol(frames), orr(frames);
  const double inc = kTwoPi * 6.0 / kFs, low = 250.0, span = 250.0, mix = 0.5;
  double phase = 0.0;
  for (auto _ : state) {
    // Both filters' fields become unknown to the compiler, so it cannot
    // prove the two rates and Qs equal and fold the two updates into one.
    benchmark::DoNotOptimize(f0);
    benchmark::DoNotOptimize(f1);
    for (int j = 0; j < frames; ++j) {
      const double t = (std::cos(phase) + 1.0) * 0.5;
      phase += inc;
      if (phase >= kTwoPi) phase -= kTwoPi;
      const double fc = low + span * t;
      f0.SetCutoff(fc);
      f1.SetCutoff(fc);
      const double w0 = f0.ProcessSample(l[j]), w1 = f1.ProcessSample(r[j]);
      ol[j] = tremolo ? mix * w0 * t + (1.0 - mix) * l[j] : (1.0 - mix) * l[j] + mix * w0;
      orr[j] = tremolo ? mix * w1 * (1.0 - t) + (1.0 - mix) * r[j] : (1.0 - mix) * r[j] + mix * w1;
    }
    benchmark::DoNotOptimize(ol.data());
    benchmark::DoNotOptimize(orr.data());
  }
  SetFrameCounters(state, frames);
}

void BM_Floor(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  state.SetLabel(kModeNames[mode]);
  const auto none = [](auto&) {};
  switch (mode) {
    case kLowPass:
      FloorKernel<FilterLP2>(state, false, none);
      break;
    case kBandPass:
      FloorKernel<FilterBP2>(state, false, none);
      break;
    case kWah:
      // The effect's voice rises with the cutoff.
      FloorKernel<WahBP2>(state, false, [](WahBP2& w) {
        w.SetOrientation(-1.0);
        w.Recompute();
      });
      break;
    case kTremolo:
      FloorKernel<FilterLP2>(state, true, none);
      break;
    default:
      FloorKernel<WahBP2>(state, true, [](WahBP2& w) {
        w.SetOrientation(-1.0);
        w.Recompute();
      });
      break;
  }
}
BENCHMARK(BM_Floor)->DenseRange(kLowPass, kPanWah);

// ---- silence after a loud burst, 30 s of audio per iteration ----

void BM_AfterBurst(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const double cutoff = state.range(1) / 1000.0;  // normalised, both limits
  const double q = state.range(2) / 1000.0;
  const bool silence = state.range(3) != 0;
  const int frames = 512;
  const int blocks = static_cast<int>(30.0 * kFs / frames);
  std::vector<double> burst = Noise(frames, 9), l(frames), r(frames), ol(frames), orr(frames);
  for (double& x : burst) x *= 4.0;
  const std::vector<double> signal = Noise(frames, 10);
  double* in[2] = {l.data(), r.data()};
  double* out[2] = {ol.data(), orr.data()};
  for (auto _ : state) {
    state.PauseTiming();
    Effect fx(mode, frames);
    fx.e->setParameter(fx.e, Quillwave::kCutoff1, float(cutoff));
    fx.e->setParameter(fx.e, Quillwave::kCutoff2, float(cutoff));
    fx.e->setParameter(fx.e, Quillwave::kResonance, float((q - 0.1) / 3.9));
    l = burst;
    r = burst;
    fx.Process(in, out, frames);
    l = silence ? std::vector<double>(frames, 0.0) : signal;
    r = l;
    state.ResumeTiming();
    for (int b = 0; b < blocks; ++b) fx.Process(in, out, frames);
    benchmark::DoNotOptimize(ol.data());
  }
  state.SetLabel(std::string(kModeNames[mode]) + (silence ? " silence" : " signal"));
  SetFrameCounters(state, frames * blocks);
}
BENCHMARK(BM_AfterBurst)
    ->ArgsProduct({{kLowPass, kWah}, {200, 500, 800}, {300, 4000}, {0, 1}})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// Prints effect/floor and silence/signal ratios after the tables.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With --benchmark_repetitions the median stands for the benchmark;
    // otherwise its single run does.
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      const std::string name = run.run_name.str();
      if (!median && medians_.count(name)) continue;
      const double perIter = run.GetAdjustedCPUTime();  // in the run's time unit
      const double ns = perIter * benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                        benchmark::GetTimeUnitMultiplier(run.time_unit);
      times_[name] = ns;
      if (median) medians_.insert(name);
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nInstruction set of the audio path: %s\n",
                dsp::ActiveSimdLevel() == dsp::SimdLevel::kAvx2Fma ? "AVX2+FMA" : "baseline (SSE2)");
    std::printf("\nEffect / floor, 512-frame stereo blocks (ns per frame):\n");
    for (int m = 0; m <= kPanWah; ++m) {
      const std::string fx = "BM_Effect/" + std::to_string(m) + "/512";
      const std::string fl = "BM_Floor/" + std::to_string(m);
      if (!times_.count(fx) || !times_.count(fl)) continue;
      const double a = times_[fx] / 512.0, b = times_[fl] / 512.0;
      std::printf("  %-9s effect %6.2f ns  floor %6.2f ns  ratio %.2f  (%.0fx real time)\n",
                  kModeNames[m], a, b, a / b, 1e9 / kFs / a);
    }
    std::printf("\n32-bit path / 64-bit path, 512-frame blocks:\n");
    for (int m = 0; m <= kPanWah; ++m) {
      const std::string wide = "BM_Effect/" + std::to_string(m) + "/512";
      const std::string narrow = "BM_Effect32/" + std::to_string(m);
      if (!times_.count(wide) || !times_.count(narrow)) continue;
      std::printf("  %-9s %.2f\n", kModeNames[m], times_[narrow] / times_[wide]);
    }
    std::printf("\nSilence after a burst / signal (same settings):\n");
    for (const auto& [name, t] : times_) {
      // BM_AfterBurst/mode/cutoff/q/silence[/iterations:n]
      std::vector<std::string> parts;
      for (size_t at = 0, next; at <= name.size(); at = next + 1) {
        next = name.find('/', at);
        if (next == std::string::npos) next = name.size();
        parts.push_back(name.substr(at, next - at));
      }
      if (parts.size() < 5 || parts[0] != "BM_AfterBurst" || parts[4] != "1") continue;
      std::string signal = name;
      const size_t pos = parts[0].size() + parts[1].size() + parts[2].size() + parts[3].size() + 4;
      signal[pos] = '0';
      if (!times_.count(signal)) continue;
      std::printf("  %-9s cutoff %.3f Q %.1f: %.2f\n", kModeNames[std::stoi(parts[1])],
                  std::stoi(parts[2]) / 1000.0, std::stoi(parts[3]) / 1000.0, t / times_[signal]);
    }
  }

 private:
  std::map<std::string, double> times_;
  std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
