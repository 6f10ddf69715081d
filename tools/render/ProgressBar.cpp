#include "ProgressBar.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kBarWidth = 30;
}

ProgressBar::ProgressBar(std::FILE* out, int64_t totalFrames, double sampleRate, bool enabled)
    : out_(out),
      total_(totalFrames),
      sampleRate_(sampleRate),
      enabled_(enabled && totalFrames > 0) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Format(char* buf, size_t size, int64_t done, int64_t total, double sampleRate) {
  done = std::clamp<int64_t>(done, 0, total);
  const double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
  const int filled = static_cast<int>(fraction * kBarWidth);
  char bar[kBarWidth + 1];
  std::memset(bar, '#', static_cast<size_t>(filled));
  std::memset(bar + filled, '.', static_cast<size_t>(kBarWidth - filled));
  bar[kBarWidth] = '\0';
  std::snprintf(buf, size, "[%s] %3d%%  %.1f / %.1f s", bar, static_cast<int>(fraction * 100.0),
                static_cast<double>(done) / sampleRate, static_cast<double>(total) / sampleRate);
}

void ProgressBar::Update(int64_t doneFrames) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  char buf[128];
  Format(buf, sizeof buf, doneFrames, total_, sampleRate_);
  std::fprintf(out_, "\r%s", buf);
  std::fflush(out_);
  drawn_ = true;
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  std::fprintf(out_, "\r%*s\r", 60, "");
  std::fflush(out_);
  drawn_ = false;
}
