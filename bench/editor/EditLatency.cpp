// Time from a pointer move on Quillwave's knob to the host's automate call,
// for a host that calls the editor's idle request every 40 ms on its GUI
// thread (where the editor's edits then reach it) and for one that never
// does (the editor's own thread delivers them). Runs its own Xvfb and loads
// the built library through its exported entry, like a host.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "TestHost.h"
#include "X11HostDisplay.h"
#include "XvfbServer.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
  double median = 0, p95 = 0, worst = 0;
};

Figures Measure(qwtest::TestHost& host, qwtest::HostDisplay& display, Window parent, bool idle,
                int moves) {
  qwtest::Instance fx(host);
  fx.Start(48000.0f, 1024);
  std::atomic<int> automated{0};
  host.SetEditHook([&](vst::AEffect*, vst::VstInt32 opcode) {
    if (opcode == vst::audioMasterAutomate) ++automated;
  });
  std::atomic<bool> stop{false};
  std::thread gui([&] {
    while (idle && !stop) {
      fx.Dispatch(vst::effEditIdle);
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
  });
  fx.OpenEditor(reinterpret_cast<void*>(parent));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const auto children = display.Children(parent);
  std::vector<double> ms;
  if (children.size() == 1) {
    const Window editor = children.front();
    display.MovePointer(editor, 593, 292);
    display.Button(1, true);
    display.Sync();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (int i = 1; i <= moves; ++i) {
      const int before = automated;
      const auto t0 = Clock::now();
      display.MovePointer(editor, 593, 292 - (i % 60));
      display.Sync();
      while (automated == before && Clock::now() - t0 < std::chrono::seconds(2))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      // Pauses spread over a whole idle period, so moves fall anywhere
      // between two idle calls.
      std::this_thread::sleep_for(std::chrono::milliseconds((i * 17) % 41));
    }
    display.Button(1, false);
    display.Sync();
  }
  stop = true;
  gui.join();
  fx.CloseEditor();
  host.SetEditHook(nullptr);
  Figures f;
  if (ms.empty()) return f;
  std::sort(ms.begin(), ms.end());
  f.median = ms[ms.size() / 2];
  f.p95 = ms[ms.size() * 95 / 100];
  f.worst = ms.back();
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const int moves = argc > 1 ? std::atoi(argv[1]) : 200;
  qwtest::XvfbServer server("1280x800x24");
  if (!server.Ok()) {
    std::fprintf(stderr, "no X server: %s\n", server.Error().c_str());
    return 1;
  }
  server.Export();
  qwtest::TestHost host;
  if (!host.Loaded()) {
    std::fprintf(stderr, "cannot load %s: %s\n", qwtest::PluginPath().c_str(), host.Error().c_str());
    return 1;
  }
  qwtest::HostDisplay display;
  const Window parent = display.MakeParent(689, 369);
  const Figures idle = Measure(host, display, parent, true, moves);
  const Figures none = Measure(host, display, parent, false, moves);
  std::printf("pointer move to the host's automate call, %d moves (ms):\n", moves);
  std::printf("  host calls idle every 40 ms:  median %6.2f  95%% %6.2f  worst %6.2f\n",
              idle.median, idle.p95, idle.worst);
  std::printf("  host never calls idle:        median %6.2f  95%% %6.2f  worst %6.2f\n",
              none.median, none.p95, none.worst);
  return 0;
}
