#pragma once

#include "core/StateChunk.h"

// One preset: whether it holds values, its name and its saved program state
// (the parameter values as SerializeParams writes them).
class IPresetSlot {
 public:
  static constexpr int kNameSize = 256;

  IPresetSlot();
  IPresetSlot(const IPresetSlot&) = delete;
  IPresetSlot& operator=(const IPresetSlot&) = delete;

  bool Initialized() const { return initialized_; }
  void SetInitialized(bool initialized) { initialized_ = initialized; }
  const char* Name() const { return name_; }
  // Copies the name, cut to 255 characters; null counts as empty.
  void SetName(const char* name);
  StateChunk& State() { return state_; }
  const StateChunk& State() const { return state_; }

 private:
  bool initialized_ = false;
  char name_[kNameSize];
  StateChunk state_;
};
