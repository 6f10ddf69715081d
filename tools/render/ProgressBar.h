#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

// A one-line progress bar redrawn in place (carriage return) at most ten
// times a second, then erased by Finish().
class ProgressBar {
 public:
  ProgressBar(std::FILE* out, int64_t totalFrames, double sampleRate, bool enabled);
  ~ProgressBar();

  void Update(int64_t doneFrames);
  void Finish();

  // The bar's text for a state, without the leading carriage return.
  static void Format(char* buf, size_t size, int64_t done, int64_t total, double sampleRate);

 private:
  std::FILE* out_;
  int64_t total_;
  double sampleRate_;
  bool enabled_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};
