#pragma once

#include "HostTransport.h"
#include "PluginInstance.h"
#include "PluginLibrary.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// One stereo plug-in instance at 44.1 kHz as a host runs it: opened, told the
// stream format and the process precision, resumed, then fed blocks. The
// input is a function of the transport frame, so instances started at
// different places in the song hear the same signal at the same time.
class PluginRig {
 public:
  static constexpr double kSampleRate = 44100.0;

  struct Setup {
    int maxBlock = 512;           // what effSetBlockSize announces
    bool doubles = false;         // processDoubleReplacing instead of processReplacing
    std::optional<double> tempo;  // playing at this tempo, else stopped
    int numerator = 4;            // time signature over quarter notes
    int64_t startFrame = 0;       // where the transport starts
  };
  using Input = std::function<double(int64_t frame)>;

  // Throws RenderError unless the plug-in has two inputs and two outputs
  // and the requested process call.
  PluginRig(const PluginLibrary& library, const Setup& setup, Input input);

  // A host's automation: effect->setParameter with a normalised value.
  void Set(int index, double normalized);
  vst::VstIntPtr Dispatch(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                          void* ptr = nullptr);

  // One process call of `frames` frames (at most the announced block size)
  // at the transport's position; the output is appended to Left()/Right().
  void Process(int frames);
  // Process calls of `block` frames until `frames` more frames are done
  // (the last call may be shorter).
  void Run(int64_t frames, int block);

  int64_t Position() const { return transport_.Position(); }
  // Output since the start, indexed from the start frame.
  const std::vector<double>& Left() const { return out_[0]; }
  const std::vector<double>& Right() const { return out_[1]; }
  int64_t StartFrame() const { return start_; }

 private:
  HostTransport transport_;
  PluginInstance plugin_;
  Input input_;
  bool doubles_;
  int maxBlock_;
  int64_t start_;
  std::vector<double> in64_[2], out64_[2];
  std::vector<float> in32_[2], out32_[2];
  std::vector<double> out_[2];
};
