#pragma once

#include "HostTransport.h"
#include "PluginLibrary.h"
#include "host/vst2/VstAbi.h"

#include <cstdint>
#include <string>
#include <vector>

// One plug-in instance driven the way a host drives it: created through the
// entry point with this host's callback, opened, configured, processed,
// closed. The callback answers the host requests a plug-in may make: version,
// vendor and product strings, sample rate and block size, time info from the
// attached transport, and the process level.
class PluginInstance {
 public:
  // Calls the entry point and effOpen. The stream format and transport are
  // what the callback reports from the first request on (a plug-in may ask
  // before they are sent to it); SetStreamFormat sends them. Throws
  // RenderError when the entry point returns null or a record without the
  // VST magic number.
  PluginInstance(const PluginLibrary& library, double sampleRate, int maxBlockFrames,
                 HostTransport* transport = nullptr);
  ~PluginInstance();  // effClose
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  vst::AEffect& Effect() { return *effect_; }
  vst::VstIntPtr Dispatch(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f);

  int NumParams() const { return effect_->numParams; }
  int NumPrograms() const { return effect_->numPrograms; }
  std::string ParamName(int index);
  std::string ParamDisplay(int index);
  std::string ParamLabel(int index);
  std::string EffectName();

  void SetStreamFormat(double sampleRate, int maxBlockFrames);

  std::vector<uint8_t> GetProgramChunk();
  bool SetProgramChunk(const std::vector<uint8_t>& data);

  void Resume();   // effMainsChanged 1, effStartProcess
  void Suspend();  // effStopProcess, effMainsChanged 0

  // One process call of `frames` frames; the transport is moved past them
  // afterwards. The time spent inside the plug-in is accumulated.
  void Process(float** inputs, float** outputs, int frames);
  void Process(double** inputs, double** outputs, int frames);
  double ProcessSeconds() const { return processSeconds_; }

 private:
  static vst::VstIntPtr HostCallback(vst::AEffect* effect, vst::VstInt32 opcode,
                                     vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                     float opt);
  vst::VstIntPtr OnRequest(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                           void* ptr, float opt);

  vst::AEffect* effect_ = nullptr;
  HostTransport* transport_ = nullptr;
  double sampleRate_ = 44100.0;
  int blockFrames_ = 512;
  bool processing_ = false;
  bool resumed_ = false;
  double processSeconds_ = 0.0;
};
