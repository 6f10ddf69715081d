#include "host/vst3/Vst3Factory.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/TextCut.h"
#include "core/IEffectCore.h"
#include "core/PluginFactory.h"
#include "host/vst3/Vst3Plugin.h"
#include "host/vst3/Vst3Text.h"

using namespace vst3;

#ifndef QW_VST3_CLASS_ID
#error "QW_VST3_CLASS_ID gives the class id as four 32-bit words"
#endif
#ifndef QW_VST3_SUBCATEGORIES
#error "QW_VST3_SUBCATEGORIES names the plug-in's kind, e.g. Fx|Filter"
#endif

namespace {

constexpr Uid kClassId(QW_VST3_CLASS_ID);
constexpr const char* kCategory = "Audio Module Class";
constexpr const char* kSdkVersion = "VST 3.7.14";

// Instances are made one at a time, as the other formats make them. A
// mutex at namespace scope is built at compile time: a function's static
// would be guarded at its first use, and on Windows that guard leaves
// per-thread handles behind each time a host unloads the module.
std::mutex constructionLock;

void VersionText(char* text, size_t size) {
  const int32_t v = IEffectCore::kVersion;
  std::snprintf(text, size, "%d.%d.%d", (v >> 16) & 0xFFFF, (v >> 8) & 0xFF, v & 0xFF);
}

}  // namespace

Vst3Factory& Vst3Factory::Instance() {
  static Vst3Factory factory;
  return factory;
}

const Uid& Vst3Factory::ClassId() { return kClassId; }

tresult Vst3Factory::queryInterface(const char* id, void** obj) {
  if (!obj) return kInvalidArgument;
  if (iid::kFUnknown.Is(id) || iid::kPluginFactory.Is(id) || iid::kPluginFactory2.Is(id) ||
      iid::kPluginFactory3.Is(id)) {
    *obj = static_cast<IPluginFactory3*>(this);
    addRef();
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

tresult Vst3Factory::getFactoryInfo(PFactoryInfo* info) {
  if (!info) return kInvalidArgument;
  std::memset(info, 0, sizeof *info);
  CopyTextCut(info->vendor, IEffectCore::kVendorName, sizeof info->vendor);
  info->flags = kFactoryUnicode;
  return kResultOk;
}

tresult Vst3Factory::getClassInfo(int32_t index, PClassInfo* info) {
  if (!info || index != 0) return kInvalidArgument;
  std::memset(info, 0, sizeof *info);
  std::memcpy(info->cid, kClassId.bytes, 16);
  info->cardinality = kManyInstances;
  CopyTextCut(info->category, kCategory, sizeof info->category);
  CopyTextCut(info->name, IEffectCore::kEffectName, sizeof info->name);
  return kResultOk;
}

tresult Vst3Factory::getClassInfo2(int32_t index, PClassInfo2* info) {
  if (!info || index != 0) return kInvalidArgument;
  std::memset(info, 0, sizeof *info);
  std::memcpy(info->cid, kClassId.bytes, 16);
  info->cardinality = kManyInstances;
  CopyTextCut(info->category, kCategory, sizeof info->category);
  CopyTextCut(info->name, IEffectCore::kEffectName, sizeof info->name);
  info->classFlags = 0;
  CopyTextCut(info->subCategories, QW_VST3_SUBCATEGORIES, sizeof info->subCategories);
  CopyTextCut(info->vendor, IEffectCore::kVendorName, sizeof info->vendor);
  VersionText(info->version, sizeof info->version);
  CopyTextCut(info->sdkVersion, kSdkVersion, sizeof info->sdkVersion);
  return kResultOk;
}

tresult Vst3Factory::getClassInfoUnicode(int32_t index, PClassInfoW* info) {
  if (!info || index != 0) return kInvalidArgument;
  std::memset(info, 0, sizeof *info);
  std::memcpy(info->cid, kClassId.bytes, 16);
  info->cardinality = kManyInstances;
  CopyTextCut(info->category, kCategory, sizeof info->category);
  CopyUtf16(info->name, IEffectCore::kEffectName, 64);
  info->classFlags = 0;
  CopyTextCut(info->subCategories, QW_VST3_SUBCATEGORIES, sizeof info->subCategories);
  CopyUtf16(info->vendor, IEffectCore::kVendorName, 64);
  char version[64];
  VersionText(version, sizeof version);
  CopyUtf16(info->version, version, 64);
  CopyUtf16(info->sdkVersion, kSdkVersion, 64);
  return kResultOk;
}

tresult Vst3Factory::createInstance(const char* cid, const char* id, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!kClassId.Is(cid)) return kNoInterface;
  Vst3Plugin* plugin = nullptr;
  {
    std::lock_guard<std::mutex> lock(constructionLock);
    plugin = Vst3Plugin::Create(&CreatePluginInstance);
  }
  if (!plugin) return kInternalError;
  const tresult result = plugin->queryInterface(id, obj);
  plugin->release();  // the creation reference; the answer holds its own
  return result;
}
