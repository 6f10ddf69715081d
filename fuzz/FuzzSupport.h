#pragma once
// What the fuzz targets share: a plug-in instance made through the library's
// factory for a host whose answers the target controls, its chunks, a
// checked process call, and the report of a broken promise.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "host/vst2/IVstAdapter.h"
#include "core/PluginFactory.h"
#include "host/vst2/VstAbi.h"

namespace fuzz {

// A broken promise of the plug-in: print it and abort, which libFuzzer
// reports as a crash with the input that caused it.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz: %s\n", what);
  std::abort();
}

// Reads the fuzzer's bytes front to back, each value from a fixed number of
// little-endian bytes (1, 2, 4 or 8, by the width of its range), so inputs
// can also be written by hand or by a program (zeros once the bytes run
// out).
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : at_(data), left_(size), size_(size) {}

  size_t remaining_bytes() const { return left_; }
  // Offset of the next byte read, to find a value in the input by hand.
  size_t Position() const { return size_ - left_; }
  // The next byte as it stands (0 once the bytes run out), left unread.
  uint8_t PeekByte() const { return left_ > 0 ? *at_ : 0; }

  template <class T>
  T ConsumeIntegralInRange(T lo, T hi) {
    const uint64_t range = uint64_t(hi) - uint64_t(lo);
    const uint64_t raw = Raw(Width(range));
    return T(uint64_t(lo) + (range == UINT64_MAX ? raw : raw % (range + 1)));
  }
  template <class T>
  T ConsumeIntegral() {
    return ConsumeIntegralInRange(std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
  }
  bool ConsumeBool() { return Raw(1) & 1; }
  // 0..1 in steps of 1/65535.
  template <class T>
  T ConsumeProbability() {
    return T(Raw(2)) / T(65535);
  }
  // Any bit pattern: infinities and NaNs included.
  template <class T>
  T ConsumeFloatingPoint() {
    static_assert(std::is_same_v<T, double>);
    const uint64_t raw = Raw(8);
    double v;
    std::memcpy(&v, &raw, sizeof v);
    return v;
  }
  template <class T>
  T ConsumeFloatingPointInRange(T lo, T hi) {
    return lo + (hi - lo) * T(Raw(4)) / T(UINT32_MAX);
  }
  template <class T, size_t N>
  T PickValueInArray(const T (&values)[N]) {
    return values[ConsumeIntegralInRange<size_t>(0, N - 1)];
  }
  std::string ConsumeRandomLengthString(size_t max) {
    const size_t n = std::min(ConsumeIntegralInRange<size_t>(0, max), left_);
    std::string s(reinterpret_cast<const char*>(at_), n);
    at_ += n, left_ -= n;
    return s;
  }

  // Bytes a value over range takes.
  static int Width(uint64_t range) {
    return range < 0x100 ? 1 : range < 0x10000 ? 2 : range <= UINT32_MAX ? 4 : 8;
  }

 private:
  uint64_t Raw(int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes && left_ > 0; ++i, ++at_, --left_) v |= uint64_t(*at_) << (8 * i);
    return v;
  }

  const uint8_t* at_;
  size_t left_;
  size_t size_;
};

// The host side of one instance: answers the plug-in's requests from a
// transport record the target may fill with anything, and can make one
// request back into the instance from inside the next time query (as a
// careless host does from its audio callback).
struct Host {
  vst::VstTimeInfo time{};
  bool answerTime = true;
  struct Reentry {
    bool pending = false;
    vst::VstInt32 opcode = 0;
    vst::VstIntPtr value = 0;
    float opt = 0.0f;
  } reentry;
  bool closedFromInside = false;

  Host() {
    time.sampleRate = 44100.0;
    time.tempo = 120.0;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    time.flags = vst::kVstTransportPlaying | vst::kVstTempoValid | vst::kVstPpqPosValid |
                 vst::kVstTimeSigValid;
  }

  static vst::VstIntPtr Callback(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32,
                                 vst::VstIntPtr, void*, float) {
    if (opcode == vst::audioMasterVersion) return 2400;
    Host* self = effect ? static_cast<Host*>(effect->user) : nullptr;
    if (!self || opcode != vst::audioMasterGetTime) return 0;
    if (self->reentry.pending) {
      self->reentry.pending = false;
      if (self->reentry.opcode == vst::effClose) self->closedFromInside = true;
      effect->dispatcher(effect, self->reentry.opcode, 0, self->reentry.value, nullptr,
                         self->reentry.opt);
    }
    return self->answerTime ? reinterpret_cast<vst::VstIntPtr>(&self->time) : 0;
  }
};

// One opened instance, closed on destruction unless the host closed it.
class Instance {
 public:
  Instance() {
    effect_ = IVstAdapter::CreateInstance(&Host::Callback, &CreatePluginInstance);
    if (!effect_) Fail("the factory made no instance");
    effect_->user = &host_;
    Dispatch(vst::effOpen);
  }
  ~Instance() {
    if (Effect()) Dispatch(vst::effClose);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  // Null once the host closed the instance.
  vst::AEffect* Effect() const { return host_.closedFromInside ? nullptr : effect_; }
  // The host closed the instance itself: nothing more is sent to it.
  void Forget() { effect_ = nullptr; }
  IVstAdapter& Adapter() const { return *IVstAdapter::FromEffect(effect_); }
  Host& HostSide() { return host_; }

  vst::VstIntPtr Dispatch(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
  }

  // The program (bank false) or bank chunk, copied out of the plug-in.
  std::vector<uint8_t> GetChunk(bool bank) {
    void* data = nullptr;
    const vst::VstIntPtr size = Dispatch(vst::effGetChunk, bank ? 0 : 1, 0, &data);
    if (size <= 0 || !data) Fail("effGetChunk gave no chunk");
    const auto* bytes = static_cast<const uint8_t*>(data);
    return {bytes, bytes + size};
  }
  bool SetChunk(bool bank, const uint8_t* data, size_t size) {
    return Dispatch(vst::effSetChunk, bank ? 0 : 1, vst::VstIntPtr(size),
                    const_cast<uint8_t*>(data)) == 1;
  }

  std::vector<float> Parameters() {
    std::vector<float> v(size_t(effect_->numParams));
    for (int i = 0; i < effect_->numParams; ++i) v[size_t(i)] = effect_->getParameter(effect_, i);
    return v;
  }

  // One stereo block of a fixed test signal through the replacing 32-bit
  // path; every output sample must be a number of plausible size.
  void CheckedBlock(int frames) {
    std::vector<float> in[2], out[2];
    float* inputs[2];
    float* outputs[2];
    for (int c = 0; c < 2; ++c) {
      in[c].resize(size_t(frames));
      out[c].assign(size_t(frames), 0.0f);
      for (int f = 0; f < frames; ++f) in[c][size_t(f)] = 0.5f * std::sin(0.05f * float(f + c));
      inputs[c] = in[c].data();
      outputs[c] = out[c].data();
    }
    effect_->processReplacing(effect_, inputs, outputs, frames);
    for (int c = 0; c < 2; ++c)
      for (float s : out[c])
        if (!std::isfinite(s) || std::fabs(s) > kOutputBound) Fail("output not finite or too loud");
  }

  // Far above anything a resonant filter makes of a signal within ±1.
  static constexpr float kOutputBound = 64.0f;

 private:
  Host host_;
  vst::AEffect* effect_ = nullptr;
};

}  // namespace fuzz
