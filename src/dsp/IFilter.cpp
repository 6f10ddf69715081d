#include "dsp/IFilter.h"

#include <algorithm>
#include <stdexcept>

void IProcessor::ProcessVector(const std::vector<double>& input, std::vector<double>& output) {
  const size_t n = std::min(input.size(), output.size());
  Process(input.data(), output.data(), static_cast<int>(n));
}

void IFilter::ThrowIncompatibleSizes(const char* message) { throw std::invalid_argument(message); }
