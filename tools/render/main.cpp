// quillwave-render: renders audio files through a VST 2.4 plug-in, as a host
// would drive it.

#include "RenderError.h"
#include "RenderOptions.h"
#include "RenderSession.h"

#include <chrono>
#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
  const auto started = std::chrono::steady_clock::now();
  try {
    const RenderOptions options = ParseRenderOptions(argc, argv);
    if (options.help) {
      std::fputs(RenderUsage(), stdout);
      return 0;
    }
    RenderSession::InstallInterruptHandler();
    RenderSession(options, started).Run();
    return 0;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "quillwave-render: %s (see --help)\n", e.what());
    return 2;
  } catch (const RenderError& e) {
    std::fprintf(stderr, "quillwave-render: %s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillwave-render: unexpected failure: %s\n", e.what());
    return 1;
  }
}
