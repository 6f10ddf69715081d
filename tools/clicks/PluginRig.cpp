#include "PluginRig.h"

#include "RenderError.h"

#include <algorithm>
#include <string>

namespace {
// Placed before the plug-in exists: it may ask for the time while opening.
HostTransport MakeTransport(const PluginRig::Setup& setup) {
  HostTransport t(PluginRig::kSampleRate, setup.tempo);
  t.SetTimeSignature(setup.numerator, 4);
  t.StartAt(setup.startFrame);
  return t;
}
}  // namespace

PluginRig::PluginRig(const PluginLibrary& library, const Setup& setup, Input input)
    : transport_(MakeTransport(setup)),
      plugin_(library, kSampleRate, setup.maxBlock, &transport_),
      input_(std::move(input)),
      doubles_(setup.doubles),
      maxBlock_(setup.maxBlock),
      start_(setup.startFrame) {
  vst::AEffect& fx = plugin_.Effect();
  if (fx.numInputs != 2 || fx.numOutputs != 2)
    throw RenderError("plug-in has " + std::to_string(fx.numInputs) + " inputs and " +
                      std::to_string(fx.numOutputs) + " outputs; stereo is needed");
  if (setup.doubles ? !(fx.flags & vst::effFlagsCanDoubleReplacing) || !fx.processDoubleReplacing
                    : !(fx.flags & vst::effFlagsCanReplacing) || !fx.processReplacing)
    throw RenderError(std::string("plug-in has no ") + (setup.doubles ? "64" : "32") +
                      "-bit replacing process call");
  plugin_.SetStreamFormat(kSampleRate, setup.maxBlock);
  plugin_.Dispatch(vst::effSetProcessPrecision, 0,
                   setup.doubles ? vst::kVstProcessPrecision64 : vst::kVstProcessPrecision32);
  plugin_.Resume();
  for (int c = 0; c < 2; ++c) {
    in64_[c].resize(static_cast<size_t>(maxBlock_));
    out64_[c].resize(static_cast<size_t>(maxBlock_));
    in32_[c].resize(static_cast<size_t>(maxBlock_));
    out32_[c].resize(static_cast<size_t>(maxBlock_));
  }
}

void PluginRig::Set(int index, double normalized) {
  vst::AEffect& fx = plugin_.Effect();
  fx.setParameter(&fx, index, static_cast<float>(normalized));
}

vst::VstIntPtr PluginRig::Dispatch(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                                   void* ptr) {
  return plugin_.Dispatch(opcode, index, value, ptr);
}

void PluginRig::Process(int frames) {
  const int64_t at = transport_.Position();
  const size_t n = static_cast<size_t>(frames);
  for (size_t i = 0; i < n; ++i) {
    const double x = input_(at + static_cast<int64_t>(i));
    in64_[0][i] = in64_[1][i] = x;
    in32_[0][i] = in32_[1][i] = static_cast<float>(x);
  }
  if (doubles_) {
    double* in[2] = {in64_[0].data(), in64_[1].data()};
    double* out[2] = {out64_[0].data(), out64_[1].data()};
    plugin_.Process(in, out, frames);
    for (int c = 0; c < 2; ++c) out_[c].insert(out_[c].end(), out[c], out[c] + n);
  } else {
    float* in[2] = {in32_[0].data(), in32_[1].data()};
    float* out[2] = {out32_[0].data(), out32_[1].data()};
    plugin_.Process(in, out, frames);
    for (int c = 0; c < 2; ++c) out_[c].insert(out_[c].end(), out[c], out[c] + n);
  }
}

void PluginRig::Run(int64_t frames, int block) {
  while (frames > 0) {
    const int n = static_cast<int>(std::min<int64_t>({frames, block, maxBlock_}));
    Process(n);
    frames -= n;
  }
}
