#include "editor/plot/IPlotLineGen.h"

#include <algorithm>
#include <cmath>

namespace plot {

template <typename T>
IPlotLineGen<T>::~IPlotLineGen() = default;

template <typename T>
void IPlotLineGen<T>::SetData(const std::vector<T>& samples) {
  const int count = static_cast<int>(std::min<size_t>(samples.size(), size_t(1) << 30));
  const Store* store = current_.load(std::memory_order_relaxed);
  if (!store || store->capacity < count) {
    auto grown = std::make_unique<Store>();
    grown->capacity = count;
    grown->values = std::make_unique<std::atomic<T>[]>(size_t(count));
    store = grown.get();
    stores_.push_back(std::move(grown));
  }
  for (int i = 0; i < count; ++i) {
    const T v = samples[size_t(i)];
    const T drawn = std::isnan(v) ? T(0) : std::clamp(v, -kSampleLimit, kSampleLimit);
    store->values[i].store(drawn, std::memory_order_relaxed);
  }
  // Release: a renderer that sees a new store also sees it constructed.
  current_.store(store, std::memory_order_release);
  count_.store(count, std::memory_order_relaxed);
  this->MarkChanged();
}

template <typename T>
typename IPlotLineGen<T>::Samples IPlotLineGen<T>::Data() const {
  const Store* store = current_.load(std::memory_order_acquire);
  if (!store) return {};
  // The count may already belong to a larger store published later.
  return {store->values.get(), std::min(count_.load(std::memory_order_relaxed), store->capacity)};
}

template class IPlotLineGen<float>;
template class IPlotLineGen<double>;

}  // namespace plot
