// quillwave-endurance [MINUTES]: MINUTES (default 60) of stereo 44.1 kHz
// audio, processed as fast as it goes, through one instance made by the
// plug-in's entry routine and driven through its AEffect record as a host
// drives it: blocks of random size, random automation of every parameter,
// program changes and chunk round trips every few seconds of audio, and the
// editor's redraw tick every 40 ms of audio with mouse drags across its
// controls. Checks that every output sample is finite and within a bound,
// that no process call after the first allocates (this program's malloc
// counts what happens inside process calls), and that resident memory stays
// flat; prints one line per audio minute. Exit status 1 on any failure.
//
// The instance is linked in rather than loaded from Quillwave.so: a loaded
// library hides its editor behind the record, and opened through the record
// the editor needs a window system and ticks on its window's clock, while
// this program ticks it every 40 ms of audio, however fast that audio goes.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <vector>

#include "editor/IGraphics.h"
#include "host/vst2/IVstAdapter.h"
#include "core/PluginFactory.h"
#include "quillwave/Quillwave.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {

// Set only around process calls, on the one thread that makes them.
bool g_inProcess = false;
std::atomic<long> g_processAllocations{0};

void Count() {
  if (g_inProcess) g_processAllocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

// Every allocation of the process passes through here, operator new's
// included (it calls malloc).
extern "C" {
void* malloc(size_t n) {
  Count();
  return __libc_malloc(n);
}
void* calloc(size_t n, size_t size) {
  Count();
  return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n) {
  Count();
  return __libc_realloc(p, n);
}
void* memalign(size_t alignment, size_t n) {
  Count();
  return __libc_memalign(alignment, n);
}
void* aligned_alloc(size_t alignment, size_t n) {
  Count();
  return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, size_t alignment, size_t n) {
  Count();
  void* p = __libc_memalign(alignment, n);
  if (!p) return 12;  // ENOMEM
  *out = p;
  return 0;
}
void free(void* p) { __libc_free(p); }
}

namespace {

constexpr double kSampleRate = 44100.0;
constexpr int kMaxBlock = 1024;
constexpr int kTickFrames = int(kSampleRate * 0.040);
// A resonant wah boosts narrow bands a great deal, but never this much.
constexpr float kOutputBound = 32.0f;
// Growth of resident memory from the first audio minute to the last that
// still counts as flat: allocator noise, far below a leak per event.
constexpr double kFlatMegabytes = 4.0;

vst::VstTimeInfo g_transport{};

vst::VstIntPtr HostCallback(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr,
                            void*, float) {
  if (opcode == vst::audioMasterVersion) return 2400;
  if (opcode == vst::audioMasterGetTime) return reinterpret_cast<vst::VstIntPtr>(&g_transport);
  return 0;
}

double ResidentMegabytes() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0.0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// A drag in progress across one control, a few pixels per editor tick.
struct Drag {
  bool active = false;
  int x = 0, y = 0, dy = 0, step = 0, steps = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 60.0;
  if (!(minutes > 0.0)) {
    std::fprintf(stderr, "usage: quillwave-endurance [MINUTES]\n");
    return 2;
  }
  // The count means something only if allocations really come through here.
  g_inProcess = true;
  delete new volatile int(0);
  free(malloc(16));
  g_inProcess = false;
  if (g_processAllocations.exchange(0) != 2) {
    std::fprintf(stderr, "endurance: the allocation counter is not in effect\n");
    return 1;
  }

  const auto start = std::chrono::steady_clock::now();
  const long long totalFrames = (long long)(minutes * 60.0 * kSampleRate);

  g_transport.sampleRate = kSampleRate;
  g_transport.tempo = 124.0;
  g_transport.timeSigNumerator = g_transport.timeSigDenominator = 4;
  g_transport.flags = vst::kVstTransportPlaying | vst::kVstTempoValid | vst::kVstPpqPosValid |
                      vst::kVstTimeSigValid;

  vst::AEffect* e = IVstAdapter::CreateInstance(&HostCallback, &CreatePluginInstance);
  if (!e) {
    std::fprintf(stderr, "endurance: no instance\n");
    return 1;
  }
  auto dispatch = [e](vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                      void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
  };
  dispatch(vst::effOpen);
  dispatch(vst::effSetSampleRate, 0, 0, nullptr, float(kSampleRate));
  dispatch(vst::effSetBlockSize, 0, kMaxBlock);
  dispatch(vst::effMainsChanged, 0, 1);
  auto* plugin = &static_cast<Quillwave&>(IVstAdapter::FromEffect(e)->Core());
  IGraphics* editor = plugin->Graphics();
  if (!editor) {
    std::fprintf(stderr, "endurance: no editor\n");
    return 1;
  }

  std::mt19937 random(2026);
  auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
  };
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };

  // Input: two detuned saws with a slow swell and a little noise.
  std::vector<float> in[2], out[2];
  for (int c = 0; c < 2; ++c) in[c].resize(kMaxBlock), out[c].resize(kMaxBlock);
  float* inputs[2] = {in[0].data(), in[1].data()};
  float* outputs[2] = {out[0].data(), out[1].data()};
  double phase[2] = {0.0, 0.0};
  std::uniform_real_distribution<float> noise(-0.02f, 0.02f);

  long long frame = 0, nextProgram = 0, nextChunk = 0, nextTick = 0, nextDrag = 0;
  long long blocks = 0, programChanges = 0, roundTrips = 0, ticks = 0, redraws = 0, drags = 0;
  long long outOfBound = 0;
  float peak = 0.0f;
  Drag drag;
  std::vector<double> residentByMinute;
  int failures = 0;

  while (frame < totalFrames) {
    const int n = int(std::min<long long>(1 + pick(kMaxBlock), totalFrames - frame));
    for (int c = 0; c < 2; ++c) {
      const double step = (110.0 + 0.7 * c) / kSampleRate;
      for (int f = 0; f < n; ++f) {
        phase[c] += step;
        if (phase[c] >= 1.0) phase[c] -= 1.0;
        const double swell = 0.35 + 0.25 * std::sin(double(frame + f) * 6.283 / (7.0 * kSampleRate));
        in[c][size_t(f)] = float(swell * (2.0 * phase[c] - 1.0)) + noise(random);
      }
    }
    g_transport.samplePos = double(frame);
    g_transport.ppqPos = double(frame) / kSampleRate * g_transport.tempo / 60.0;

    // Automation: a few parameters per block, every one of them often.
    for (int k = pick(3); k >= 0; --k) e->setParameter(e, pick(e->numParams), float(uniform(0, 1)));

    g_inProcess = blocks > 0;
    e->processReplacing(e, inputs, outputs, n);
    g_inProcess = false;
    ++blocks;
    for (int c = 0; c < 2; ++c)
      for (int f = 0; f < n; ++f) {
        const float s = out[c][size_t(f)];
        if (!std::isfinite(s) || std::fabs(s) > kOutputBound) ++outOfBound;
        else peak = std::max(peak, std::fabs(s));
      }

    const long long minuteBefore = frame / (long long)(60 * kSampleRate);
    frame += n;

    if (frame >= nextProgram) {
      dispatch(vst::effSetProgram, 0, pick(e->numPrograms));
      ++programChanges;
      nextProgram = frame + (long long)(uniform(2.0, 6.0) * kSampleRate);
    }
    if (frame >= nextChunk) {
      const bool bank = pick(2) == 0;
      void* data = nullptr;
      const vst::VstIntPtr size = dispatch(vst::effGetChunk, bank ? 0 : 1, 0, &data);
      const std::vector<char> saved(static_cast<char*>(data), static_cast<char*>(data) + size);
      if (size <= 0 || dispatch(vst::effSetChunk, bank ? 0 : 1, size, (void*)saved.data()) != 1) {
        std::fprintf(stderr, "endurance: chunk round trip failed\n");
        ++failures;
      }
      ++roundTrips;
      nextChunk = frame + (long long)(uniform(2.0, 6.0) * kSampleRate);
    }
    // The editor's tick, as often as 40 ms of audio pass; a drag moves on
    // with each tick, under the instance lock as a window's events are.
    while (frame >= nextTick) {
      nextTick += kTickFrames;
      ++ticks;
      if (!drag.active && frame >= nextDrag) {
        const IControl* c = editor->GetControl(1 + pick(editor->ControlCount() - 1));
        const IRect r = c->DrawArea();
        drag = {true, (r.left + r.right) / 2, (r.top + r.bottom) / 2, pick(161) - 80, 0,
                2 + pick(12)};
        std::lock_guard<std::recursive_mutex> hold(plugin->Mutex());
        editor->HandleMouseDown(drag.x, drag.y, IMouseMods{true});
        ++drags;
      } else if (drag.active) {
        std::lock_guard<std::recursive_mutex> hold(plugin->Mutex());
        const int y = drag.y + drag.dy * ++drag.step / drag.steps;
        if (drag.step < drag.steps) {
          editor->HandleMouseDrag(drag.x, y, IMouseMods{true});
        } else {
          editor->HandleMouseUp(drag.x, y, IMouseMods{true});
          drag.active = false;
          nextDrag = frame + (long long)(uniform(0.5, 3.0) * kSampleRate);
        }
      }
      IRect area;
      if (editor->CollectDirtyArea(area)) {
        editor->Redraw(area);
        ++redraws;
      }
    }

    if (frame / (long long)(60 * kSampleRate) != minuteBefore || frame >= totalFrames) {
      residentByMinute.push_back(ResidentMegabytes());
      const double wall =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("minute %3zu: resident %.1f MB, process-call allocations %ld, output peak %.2f, "
                  "out of bound %lld, wall %.0f s\n",
                  residentByMinute.size(), residentByMinute.back(), g_processAllocations.load(),
                  double(peak), outOfBound, wall);
      std::fflush(stdout);
    }
  }
  dispatch(vst::effMainsChanged, 0, 0);
  dispatch(vst::effClose);

  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double growth = residentByMinute.back() - residentByMinute.front();
  std::printf("endurance: %.1f minutes of audio in %.0f s: %lld blocks, %lld program changes, "
              "%lld chunk round trips, %lld editor ticks (%lld redraws), %lld drags\n",
              minutes, wall, blocks, programChanges, roundTrips, ticks, redraws, drags);
  std::printf("endurance: resident %.1f MB in the first minute, %.1f MB in the last; "
              "%ld allocations in process calls after the first; %lld samples out of bound; "
              "peak %.2f\n",
              residentByMinute.front(), residentByMinute.back(), g_processAllocations.load(),
              outOfBound, double(peak));
  if (g_processAllocations.load() != 0) ++failures;
  if (outOfBound != 0) ++failures;
  if (growth > kFlatMegabytes) ++failures;
  std::printf("endurance: %s\n", failures == 0 ? "passed" : "FAILED");
  return failures == 0 ? 0 : 1;
}
