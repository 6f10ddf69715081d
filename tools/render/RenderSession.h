#pragma once

#include "RenderOptions.h"

#include <chrono>
#include <cstdio>

// One run of the tool: loads the plug-in, applies the settings, renders the
// input (a file or the test signal) to the output and reports. Every failure
// is a RenderError; nothing is left under the output's or the saved state's
// name unless the whole run succeeded.
class RenderSession {
 public:
  RenderSession(const RenderOptions& options, std::chrono::steady_clock::time_point started);
  void Run();

  // Ctrl-C / SIGTERM stop the render cleanly (the temporary file is removed).
  static void InstallInterruptHandler();

 private:
  const RenderOptions& options_;
  std::chrono::steady_clock::time_point started_;
};
