// The audio and parameter callbacks stored in the AEffect record. Each runs
// under the instance lock, and nothing they call may throw past them.
#include <algorithm>
#include <cmath>

#include "host/DenormalGuard.h"
#include "host/vst2/IVstAdapter.h"

namespace {
IVstAdapter* Instance(vst::AEffect* effect) {
  return effect ? static_cast<IVstAdapter*>(effect->object) : nullptr;
}

// The host's buffers and the scratch buffers never overlap, which lets the
// compiler convert several samples per step.
void Widen(const float* __restrict in, double* __restrict out, int32_t frames) {
  for (int32_t f = 0; f < frames; ++f) out[f] = in[f];
}
void Narrow(const double* __restrict in, float* __restrict out, int32_t frames) {
  for (int32_t f = 0; f < frames; ++f) out[f] = static_cast<float>(in[f]);
}
void NarrowAdd(const double* __restrict in, float* __restrict out, int32_t frames) {
  for (int32_t f = 0; f < frames; ++f) out[f] += static_cast<float>(in[f]);
}
}  // namespace

template <class Block>
void IVstAdapter::RunProcess(vst::AEffect* effect, Block block) {
  IVstAdapter* plug = Instance(effect);
  if (!plug) return;
  bool close = false;
  try {
    IEffectCore::Hold hold(*plug->core_);
    ++plug->processDepth_;
    try {
      block(*plug);
    } catch (...) {
    }
    if (--plug->processDepth_ == 0) {
      close = plug->closeDeferred_;
      if (!close) plug->ApplyDeferredRequests();
    }
  } catch (...) {
  }
  if (close) Destroy(effect);
}

void IVstAdapter::VSTProcessAccumulating(vst::AEffect* effect, float** inputs, float** outputs,
                                         vst::VstInt32 frames) {
  RunProcess(effect,
             [&](IVstAdapter& plug) { plug.ProcessFloatBlock(inputs, outputs, frames, true); });
}

void IVstAdapter::VSTProcessFloats(vst::AEffect* effect, float** inputs, float** outputs,
                                   vst::VstInt32 frames) {
  RunProcess(effect,
             [&](IVstAdapter& plug) { plug.ProcessFloatBlock(inputs, outputs, frames, false); });
}

void IVstAdapter::VSTProcessDoubles(vst::AEffect* effect, double** inputs, double** outputs,
                                    vst::VstInt32 frames) {
  RunProcess(effect, [&](IVstAdapter& plug) { plug.ProcessDoubleBlock(inputs, outputs, frames); });
}

template <class Sample>
void IVstAdapter::SilenceHostOutputs(Sample** outputs, int32_t frames) {
  if (!outputs || frames <= 0) return;
  int32_t cursor = 0;
  for (int32_t i = 0; i < core_->OutputCount(); ++i) {
    if (!core_->OutputBinding(i)->connected) continue;
    if (Sample* out = outputs[cursor]) std::fill(out, out + frames, Sample(0));
    ++cursor;
  }
}

void IVstAdapter::ProcessDoubleBlock(double** inputs, double** outputs, int32_t frames) {
  if (processDepth_ > 1) {
    SilenceHostOutputs(outputs, frames);
    return;
  }
  DenormalGuard denormals;
  if (core_->UsesMidi()) CallHost(vst::audioMasterWantMidi);
  // The host's buffers hold the whole block, but a channel the host left out
  // works on its own scratch buffer of block-size length: a longer block is
  // processed in slices that fit it.
  int32_t capacity = INT32_MAX;
  for (int32_t i = 0; i < core_->InputCount(); ++i) {
    const ChannelBinding* b = core_->InputBinding(i);
    if (!b->connected && b->ScratchFrames() > 0) capacity = std::min(capacity, b->ScratchFrames());
  }
  for (int32_t i = 0; i < core_->OutputCount(); ++i) {
    const ChannelBinding* b = core_->OutputBinding(i);
    if (!b->connected && b->ScratchFrames() > 0) capacity = std::min(capacity, b->ScratchFrames());
  }
  int32_t done = 0;
  do {
    const int32_t n = std::min(capacity, frames - done);
    BindDoubles(inputs, outputs, done);
    core_->SetHostSlice({done, frames});
    core_->ProcessDoubles(core_->InputData(), core_->OutputData(), n);
    done += n;
  } while (done < frames);
  core_->SetHostSlice({});
}

void IVstAdapter::BindDoubles(double** inputs, double** outputs, int32_t offset) {
  int32_t cursor = 0;
  for (int32_t i = 0; i < core_->InputCount(); ++i) {
    ChannelBinding* b = core_->InputBinding(i);
    if (!b->connected) {
      // Its own buffer, wherever the last block size change put it.
      *b->slot = b->Scratch();
      continue;
    }
    double* in = inputs ? inputs[cursor] : nullptr;
    *b->slot = in ? in + offset : nullptr;
    ++cursor;
  }
  cursor = 0;
  for (int32_t i = 0; i < core_->OutputCount(); ++i) {
    ChannelBinding* b = core_->OutputBinding(i);
    if (!b->connected) {
      *b->slot = b->Scratch();
      continue;
    }
    double* out = outputs ? outputs[cursor] : nullptr;
    *b->slot = out ? out + offset : nullptr;
    ++cursor;
  }
}

void IVstAdapter::ProcessFloatBlock(float** inputs, float** outputs, int32_t frames,
                                    bool accumulate) {
  if (processDepth_ > 1) {
    if (!accumulate) SilenceHostOutputs(outputs, frames);
    return;
  }
  DenormalGuard denormals;
  if (core_->UsesMidi()) CallHost(vst::audioMasterWantMidi);
  if (frames <= 0) return;

  // The scratch buffers hold one block; a longer call is processed in slices
  // so nothing is written past them and every output frame is produced.
  int32_t capacity = core_->BlockSize();
  for (int32_t i = 0; i < core_->InputCount(); ++i)
    capacity = std::min(capacity, core_->InputBinding(i)->ScratchFrames());
  for (int32_t i = 0; i < core_->OutputCount(); ++i)
    capacity = std::min(capacity, core_->OutputBinding(i)->ScratchFrames());
  if (capacity <= 0) {
    // No scratch room at all (block size 0): replacing calls still owe the
    // host a defined output.
    if (!accumulate) SilenceHostOutputs(outputs, frames);
    return;
  }
  for (int32_t done = 0; done < frames;) {
    const int32_t n = std::min(capacity, frames - done);
    core_->SetHostSlice({done, frames});
    ProcessFloatSlice(inputs, outputs, done, n, accumulate);
    done += n;
  }
  core_->SetHostSlice({});
}

void IVstAdapter::ProcessFloatSlice(float** inputs, float** outputs, int32_t offset, int32_t frames,
                                    bool accumulate) {
  int32_t cursor = 0;
  for (int32_t i = 0; i < core_->InputCount(); ++i) {
    ChannelBinding* b = core_->InputBinding(i);
    if (!b->connected) {
      // Its own buffer, wherever the last block size change put it.
      *b->slot = b->Scratch();
      continue;
    }
    double* scratch = b->Scratch();
    const float* in = inputs ? inputs[cursor] : nullptr;
    if (in) {
      Widen(in + offset, scratch, frames);
    } else {
      std::fill(scratch, scratch + frames, 0.0);
    }
    *b->slot = scratch;
    ++cursor;
  }
  cursor = 0;
  for (int32_t i = 0; i < core_->OutputCount(); ++i) {
    ChannelBinding* b = core_->OutputBinding(i);
    *b->slot = b->Scratch();
    if (!b->connected) continue;
    float* out = outputs ? outputs[cursor] : nullptr;
    b->destination32 = out ? out + offset : nullptr;
    ++cursor;
  }

  core_->ProcessDoubles(core_->InputData(), core_->OutputData(), frames);

  for (int32_t i = 0; i < core_->OutputCount(); ++i) {
    ChannelBinding* b = core_->OutputBinding(i);
    if (!b->connected || !b->destination32) continue;
    const double* result = *b->slot;
    float* out = b->destination32;
    if (!result) continue;
    if (accumulate) {
      NarrowAdd(result, out, frames);
    } else {
      Narrow(result, out, frames);
    }
  }
}

void IVstAdapter::VSTSetParameter(vst::AEffect* effect, vst::VstInt32 index, float value) {
  IVstAdapter* plug = Instance(effect);
  if (!plug) return;
  try {
    IEffectCore::Hold hold(*plug->core_);
    IParameter* p = plug->core_->GetParameter(index);
    // A value that is not a number would poison the parameter and every
    // derived coefficient: ignore it.
    if (!p || !std::isfinite(value)) return;
    // Host values are normalised: one outside 0..1 would leave the
    // parameter below its minimum (the normalised mapping clamps only at
    // the top), where the effect was never meant to run and where a saved
    // state could not bring it back (state values are clamped on loading).
    value = std::clamp(value, 0.0f, 1.0f);
    plug->core_->PushNormalizedToControls(index, value);
    p->SetFromNormalized(value);
    plug->core_->ParamChanged(index);
  } catch (...) {
  }
}

float IVstAdapter::VSTGetParameter(vst::AEffect* effect, vst::VstInt32 index) {
  IVstAdapter* plug = Instance(effect);
  if (!plug) return 0.0f;
  try {
    IEffectCore::Hold hold(*plug->core_);
    IParameter* p = plug->core_->GetParameter(index);
    return p ? static_cast<float>(p->NormalizedFromValue()) : 0.0f;
  } catch (...) {
    return 0.0f;
  }
}
