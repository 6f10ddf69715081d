#include "core/HostEditQueue.h"

void HostEditQueue::Push(const HostEdit& e) {
  std::lock_guard<std::mutex> hold(lock_);
  const int room = e.kind == HostEdit::kAutomate ? kCapacity - kGestureReserve : kCapacity;
  if (count_ < room) {
    ring_[size_t((head_ + count_) % kCapacity)] = e;
    ++count_;
    return;
  }
  // Full: the newest value of a parameter still gets through in place of
  // the one right before it.
  HostEdit& last = ring_[size_t((head_ + count_ - 1) % kCapacity)];
  if (e.kind == HostEdit::kAutomate && last.kind == HostEdit::kAutomate && last.index == e.index)
    last.value = e.value;
}

bool HostEditQueue::Pop(HostEdit& e) {
  std::lock_guard<std::mutex> hold(lock_);
  if (count_ == 0) return false;
  e = ring_[size_t(head_)];
  head_ = (head_ + 1) % kCapacity;
  --count_;
  return true;
}

bool HostEditQueue::Empty() const {
  std::lock_guard<std::mutex> hold(lock_);
  return count_ == 0;
}
