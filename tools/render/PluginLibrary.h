#pragma once

#include "host/vst2/VstAbi.h"

#include <string>

// A VST 2.4 plug-in library loaded with dlopen, with its entry point
// (VSTPluginMain, or the older name main). Throws RenderError when the
// library does not load or has no entry point.
class PluginLibrary {
 public:
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  const std::string& Path() const { return path_; }
  vst::PluginEntryProc Entry() const { return entry_; }

  // Quillwave.so in the directory of the running executable.
  static std::string DefaultPath();

 private:
  std::string path_;
  void* handle_ = nullptr;
  vst::PluginEntryProc entry_ = nullptr;
};
