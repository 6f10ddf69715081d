// One instance driven from four threads at once, as a host drives it: audio
// in blocks of random size on all three process paths, automation of every
// parameter, dispatcher traffic (programs, chunks in both directions,
// sample-rate and block-size changes, speaker arrangements, mains off and
// on, parameter texts), and the editor's redraw tick with mouse drags (the
// tick without the instance lock, as a window's timer runs it; mouse events
// under it, as a window's event handling delivers them). A fixed number of
// iterations each; built with ThreadSanitizer it must run without a report.
// Fails when a block comes out not finite or out of bounds, or a chunk the
// instance gave is refused.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "editor/IGraphics.h"
#include "host/vst2/IVstAdapter.h"
#include "core/PluginFactory.h"
#include "quillwave/Quillwave.h"

namespace {

constexpr int kAudioBlocks = 6000;
constexpr int kAutomationRounds = 6000;
constexpr int kRequests = 5000;
constexpr int kTicks = 2500;
constexpr int kMaxFrames = 1500;
constexpr float kBound = 64.0f;

// The transport every time query gets: playing at 128 beats per minute.
// Read-only, so any thread may be handed it.
const vst::VstTimeInfo& Transport() {
  static const vst::VstTimeInfo info = [] {
    vst::VstTimeInfo t{};
    t.sampleRate = 44100.0;
    t.tempo = 128.0;
    t.timeSigNumerator = 4;
    t.timeSigDenominator = 4;
    t.flags = vst::kVstTransportPlaying | vst::kVstTempoValid | vst::kVstPpqPosValid |
              vst::kVstTimeSigValid;
    return t;
  }();
  return info;
}

vst::VstIntPtr Host(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*,
                    float) {
  if (opcode == vst::audioMasterVersion) return 2400;
  if (opcode == vst::audioMasterGetTime)
    return reinterpret_cast<vst::VstIntPtr>(const_cast<vst::VstTimeInfo*>(&Transport()));
  return 0;
}

std::atomic<int> g_failures{0};

void Failure(const char* what) {
  if (g_failures.fetch_add(1) < 10) std::fprintf(stderr, "thread stress: %s\n", what);
}

template <class Sample>
void CheckBlock(const std::vector<std::vector<Sample>>& out, int frames) {
  for (const auto& channel : out)
    for (int f = 0; f < frames; ++f)
      if (!std::isfinite(channel[size_t(f)]) || std::fabs(channel[size_t(f)]) > kBound) {
        Failure("output not finite or out of bounds");
        return;
      }
}

void Audio(vst::AEffect* e) {
  std::mt19937 random(1);
  std::uniform_int_distribution<int> frames(1, kMaxFrames);
  std::vector<std::vector<float>> in(2, std::vector<float>(kMaxFrames)), out = in;
  std::vector<std::vector<double>> din(2, std::vector<double>(kMaxFrames)), dout = din;
  for (int c = 0; c < 2; ++c)
    for (int f = 0; f < kMaxFrames; ++f) {
      in[size_t(c)][size_t(f)] = 0.8f * std::sin(0.02f * float(f) + float(c));
      din[size_t(c)][size_t(f)] = in[size_t(c)][size_t(f)];
    }
  float* ins[2] = {in[0].data(), in[1].data()};
  float* outs[2] = {out[0].data(), out[1].data()};
  double* dins[2] = {din[0].data(), din[1].data()};
  double* douts[2] = {dout[0].data(), dout[1].data()};
  for (int block = 0; block < kAudioBlocks; ++block) {
    const int n = frames(random);
    switch (block % 3) {
      case 0:
        e->processReplacing(e, ins, outs, n);
        CheckBlock(out, n);
        break;
      case 1:
        for (auto& channel : out) std::fill(channel.begin(), channel.end(), 0.0f);
        e->process(e, ins, outs, n);
        CheckBlock(out, n);
        break;
      default:
        e->processDoubleReplacing(e, dins, douts, n);
        CheckBlock(dout, n);
        break;
    }
  }
}

void Automation(vst::AEffect* e) {
  std::mt19937 random(2);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int round = 0; round < kAutomationRounds; ++round)
    for (int p = 0; p < e->numParams; ++p) {
      e->setParameter(e, p, unit(random));
      const float back = e->getParameter(e, p);
      if (!(back >= 0.0f && back <= 1.0f)) Failure("parameter read outside 0..1");
    }
}

void Dispatcher(vst::AEffect* e) {
  std::mt19937 random(3);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  static const float kRates[] = {44100.0f, 48000.0f, 96000.0f, 22050.0f};
  static const int kBlocks[] = {64, 256, 512, 1024, 2048};
  char text[vst::kVstMaxProgNameLen];
  for (int i = 0; i < kRequests; ++i) {
    switch (i % 8) {
      case 0: e->dispatcher(e, vst::effSetProgram, 0, pick(e->numPrograms), nullptr, 0.0f); break;
      case 1:
      case 2: {
        const bool bank = i % 8 == 1;
        void* data = nullptr;
        const vst::VstIntPtr size = e->dispatcher(e, vst::effGetChunk, bank ? 0 : 1, 0, &data, 0.0f);
        if (size <= 0 || !data) {
          Failure("no chunk");
          break;
        }
        // A host keeps a copy of what it saved and hands that back later.
        const std::vector<char> copy(static_cast<char*>(data), static_cast<char*>(data) + size);
        if (e->dispatcher(e, vst::effSetChunk, bank ? 0 : 1, size,
                          const_cast<char*>(copy.data()), 0.0f) != 1)
          Failure("own chunk refused");
        break;
      }
      case 3: e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, kRates[pick(4)]); break;
      case 4: e->dispatcher(e, vst::effSetBlockSize, 0, kBlocks[pick(5)], nullptr, 0.0f); break;
      case 5: {
        vst::VstSpeakerArrangement in{}, out{};
        in.numChannels = out.numChannels = 1 + pick(2);
        e->dispatcher(e, vst::effSetSpeakerArrangement, 0, reinterpret_cast<vst::VstIntPtr>(&in),
                      &out, 0.0f);
        break;
      }
      case 6:
        e->dispatcher(e, vst::effMainsChanged, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
        break;
      default:
        e->dispatcher(e, vst::effGetParamDisplay, pick(e->numParams), 0, text, 0.0f);
        e->dispatcher(e, vst::effGetProgramName, 0, 0, text, 0.0f);
        break;
    }
  }
}

void Editor(IEffectCore& plugin, IGraphics& g) {
  std::mt19937 random(4);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  const IMouseMods left{true};
  for (int tick = 0; tick < kTicks; ++tick) {
    // A window's tick: the readouts and the sweep's marker (fed by the
    // audio thread) move first, then the dirty area is drawn.
    g.AdvanceTick();
    IRect area;
    if (g.CollectDirtyArea(area)) g.Redraw(area);
    if (tick % 4 != 0) continue;
    // A drag over a random control: press, a few moves, release.
    const IControl* control = g.GetControl(1 + pick(g.ControlCount() - 1));
    const IRect r = control->DrawArea();
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    const int dy = pick(81) - 40;
    {
      std::lock_guard<std::recursive_mutex> hold(plugin.Mutex());
      g.HandleMouseDown(x, y, left);
    }
    for (int step = 1; step <= 4; ++step) {
      std::lock_guard<std::recursive_mutex> hold(plugin.Mutex());
      g.HandleMouseDrag(x, y + dy * step / 4, left);
    }
    std::lock_guard<std::recursive_mutex> hold(plugin.Mutex());
    g.HandleMouseUp(x, y + dy, left);
  }
}

}  // namespace

int main() {
  vst::AEffect* e = IVstAdapter::CreateInstance(&Host, &CreatePluginInstance);
  if (!e) {
    std::fprintf(stderr, "thread stress: no instance\n");
    return 1;
  }
  e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
  auto* plugin = &static_cast<Quillwave&>(IVstAdapter::FromEffect(e)->Core());
  IGraphics* g = plugin->Graphics();
  if (!g) {
    std::fprintf(stderr, "thread stress: no editor\n");
    return 1;
  }

  std::thread threads[] = {std::thread(Audio, e), std::thread(Automation, e),
                           std::thread(Dispatcher, e),
                           std::thread(Editor, std::ref(*plugin), std::ref(*g))};
  for (std::thread& t : threads) t.join();
  e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f);

  std::printf("thread stress: %d audio blocks, %d automation rounds of %d parameters, %d requests, "
              "%d editor ticks; %d failures\n",
              kAudioBlocks, kAutomationRounds, Quillwave::kParamCount, kRequests, kTicks,
              g_failures.load());
  return g_failures.load() == 0 ? 0 : 1;
}
