#pragma once

#include <cstddef>
#include <vector>

// Sample processing over blocks; input and output may be the same array.
class IProcessor {
 public:
  virtual ~IProcessor() = default;
  virtual void Process(const double* input, double* output, int count) = 0;
  // Runs Process over the shorter of the two vectors.
  void ProcessVector(const std::vector<double>& input, std::vector<double>& output);
};

// A processor that can also report its magnitude response (linear gain).
class IFilter : public IProcessor {
 public:
  // profile[i] = |H(frequencies[i])|. Throws std::invalid_argument with the
  // class's own message when the sizes differ, leaving profile untouched.
  virtual void GetFRProfile(std::vector<float>& profile,
                            const std::vector<float>& frequencies) const = 0;

 protected:
  // Shared body of GetFRProfile: size check, then response per frequency.
  template <class ResponseFn>
  static void FillProfile(std::vector<float>& profile, const std::vector<float>& frequencies,
                          const char* message, ResponseFn response);
  [[noreturn]] static void ThrowIncompatibleSizes(const char* message);
};

template <class ResponseFn>
void IFilter::FillProfile(std::vector<float>& profile, const std::vector<float>& frequencies,
                          const char* message, ResponseFn response) {
  if (profile.size() != frequencies.size()) ThrowIncompatibleSizes(message);
  for (std::size_t i = 0; i < profile.size(); ++i)
    profile[i] = static_cast<float>(response(static_cast<double>(frequencies[i])));
}
