#pragma once

#include <atomic>

#include "host/vst3/Vst3Abi.h"

// The module's factory: one audio module class, the plug-in this library
// carries, whose instances are both component and controller. Identity
// comes from the plug-in core's constants and the build (class id, sub
// categories). One object for the module's life; counting references never
// ends it.
class Vst3Factory final : public vst3::IPluginFactory3 {
 public:
  static Vst3Factory& Instance();

  vst3::tresult queryInterface(const char* iid, void** obj) override;
  uint32_t addRef() override { return ++references_; }
  uint32_t release() override { return --references_; }

  vst3::tresult getFactoryInfo(vst3::PFactoryInfo* info) override;
  int32_t countClasses() override { return 1; }
  vst3::tresult getClassInfo(int32_t index, vst3::PClassInfo* info) override;
  vst3::tresult createInstance(const char* cid, const char* iid, void** obj) override;
  vst3::tresult getClassInfo2(int32_t index, vst3::PClassInfo2* info) override;
  vst3::tresult getClassInfoUnicode(int32_t index, vst3::PClassInfoW* info) override;
  vst3::tresult setHostContext(vst3::FUnknown*) override { return vst3::kResultOk; }

  // The class id of the plug-in, in this platform's byte order.
  static const vst3::Uid& ClassId();

 private:
  Vst3Factory() = default;
  std::atomic<uint32_t> references_{1};
};
