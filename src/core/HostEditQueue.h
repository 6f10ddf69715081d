#pragma once

#include <array>
#include <cstdint>
#include <mutex>

// One thing the editor tells the host: a gesture's begin or end, or a
// parameter's new normalised value.
struct HostEdit {
  enum Kind : std::uint8_t { kBegin, kAutomate, kEnd };
  Kind kind = kAutomate;
  std::int32_t index = 0;
  double value = 0.0;
};

// The editor's edits waiting for the host, in order. Fixed storage behind a
// lock of its own, so editor threads can post and deliver without the
// instance lock.
class HostEditQueue {
 public:
  static constexpr int kCapacity = 256;
  // Room kept for begin and end edits: a flood of values never costs a
  // gesture its end.
  static constexpr int kGestureReserve = 32;

  // Appends e. When the host has not taken the edits for so long that no
  // room is left, a value replaces a value of the same parameter right
  // before it, or is dropped (the parameter keeps it; the host misses that
  // point).
  void Push(const HostEdit& e);
  // Takes the oldest edit; false when there is none.
  bool Pop(HostEdit& e);
  bool Empty() const;

 private:
  mutable std::mutex lock_;
  std::array<HostEdit, kCapacity> ring_{};
  int head_ = 0;   // oldest
  int count_ = 0;
};
