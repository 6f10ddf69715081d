#pragma once

#include <cstdint>

#include "base/GrowBuffer.h"
#include "base/GrowText.h"

// A legal pair of input and output channel counts.
struct ChannelIOConfig {
  int32_t inputs = 0;
  int32_t outputs = 0;
};

// One audio channel of the instance: whether the host connected it, the slot
// in the block's data pointer array that it fills, a 64-bit scratch buffer
// of block-size samples and a label. Output bindings also hold the host's
// 32-bit destination during a 32-bit process call.
struct ChannelBinding {
  enum Form { kInput, kOutput };

  ChannelBinding(Form form, double** slot) : form(form), slot(slot) {}
  ChannelBinding(const ChannelBinding&) = delete;
  ChannelBinding& operator=(const ChannelBinding&) = delete;

  double* Scratch() const { return static_cast<double*>(scratch.Data()); }
  // Samples the scratch buffer holds.
  int32_t ScratchFrames() const { return scratch.Size() / int32_t(sizeof(double)); }

  const Form form;
  bool connected = false;
  double** const slot;
  float* destination32 = nullptr;  // output form only
  GrowBuffer scratch{4096};
  GrowText label;
};
