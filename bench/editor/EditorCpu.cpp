// CPU time of a host process with Quillwave's editor open on X11: first
// idle for 10 seconds, then for 10 seconds while the host automates the Mix
// parameter (the knob redraws at every tick). Runs its own Xvfb and loads
// the built library through its exported entry, like a host. Prints each
// as a share of one core, for this process and for the X server.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "TestHost.h"
#include "X11HostDisplay.h"
#include "XvfbServer.h"

namespace {

using Clock = std::chrono::steady_clock;

double ProcessSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// CPU seconds another process has used (its /proc stat, in clock ticks).
double ProcessSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string skip;
  for (int i = 0; i < 11; ++i) fields >> skip;  // state .. cmajflt
  long utime = 0, stime = 0;
  fields >> utime >> stime;
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

struct Share {
  double host = 0, server = 0;
};

template <class During>
Share Measure(pid_t server, double seconds, During during) {
  const double host0 = ProcessSeconds(), server0 = ProcessSeconds(server);
  const auto start = Clock::now();
  during(start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  return {100.0 * (ProcessSeconds() - host0) / wall,
          100.0 * (ProcessSeconds(server) - server0) / wall};
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  qwtest::XvfbServer server("1280x800x24");
  if (!server.Ok()) {
    std::fprintf(stderr, "no X server: %s\n", server.Error().c_str());
    return 1;
  }
  server.Export();
  qwtest::TestHost host;
  qwtest::Instance fx(host);
  if (!fx) {
    std::fprintf(stderr, "cannot load %s: %s\n", qwtest::PluginPath().c_str(), host.Error().c_str());
    return 1;
  }
  fx.Start(48000.0f, 1024);
  qwtest::HostDisplay display;
  const Window parent = display.MakeParent(689, 369);
  if (!fx.OpenEditor(reinterpret_cast<void*>(parent))) {
    std::fprintf(stderr, "the editor did not open\n");
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));  // first drawing done

  const Share idle = Measure(server.Pid(), seconds, [](Clock::time_point end) {
    std::this_thread::sleep_until(end);
  });
  int moves = 0;
  const Share automated = Measure(server.Pid(), seconds, [&](Clock::time_point end) {
    // A slow sweep up and down, one value every 10 ms as a host's
    // automation lane sends it.
    for (int i = 0; Clock::now() < end; ++i, ++moves) {
      const int step = i % 200;
      fx.SetParameter(0, float(step < 100 ? step : 200 - step) / 100.0f);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  fx.CloseEditor();

  std::printf("editor open, %.0f s each, share of one core:\n", seconds);
  std::printf("  idle:                  host process %6.3f %%   X server %6.3f %%\n", idle.host,
              idle.server);
  std::printf("  Mix automated (%d values): host process %6.3f %%   X server %6.3f %%\n", moves,
              automated.host, automated.server);
  return 0;
}
