#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "editor/plot/IBasePlotLine.h"

namespace plot {

// A plot line drawn from an array of samples of type T (float or double):
// 0 is the bottom and 1 the top of the inner rectangle.
//
// The effect hands new samples over under the plug-in's lock, possibly on
// the host's parameter thread, while the editor renders on its own thread
// without that lock. So the line keeps its own copy of the samples in
// relaxed atomics: a render overlapping an update may draw a mixture of old
// and new samples (the redraw that follows the update draws the new ones),
// but never reads freed or half-written memory.
template <typename T>
class IPlotLineGen : public IBasePlotLine {
 public:
  // A snapshot of the sample storage for one render.
  struct Samples {
    const std::atomic<T>* values = nullptr;
    int count = 0;
    T operator[](int i) const { return values[i].load(std::memory_order_relaxed); }
  };

  // Samples beyond this magnitude are drawn at it: far outside the plot, yet
  // small enough for the integer pixel arithmetic of the fills.
  static constexpr T kSampleLimit = T(1e4);

  using IBasePlotLine::IBasePlotLine;
  ~IPlotLineGen() override;

  // Copies samples into the line. Storage is allocated only when more
  // samples arrive than ever before and is kept until the line goes, so
  // updates of an unchanged length never allocate. A sample that is not a
  // number is drawn as 0; infinities and huge values are limited to
  // +-kSampleLimit.
  void SetData(const std::vector<T>& samples);

  // The samples as the renderer sees them.
  Samples Data() const;

 private:
  struct Store {
    int capacity = 0;
    std::unique_ptr<std::atomic<T>[]> values;
  };

  std::atomic<const Store*> current_{nullptr};
  std::atomic<int> count_{0};
  // Every store ever made, the current one last; only SetData and the
  // destructor touch the list.
  std::vector<std::unique_ptr<Store>> stores_;
};

extern template class IPlotLineGen<float>;
extern template class IPlotLineGen<double>;

}  // namespace plot
