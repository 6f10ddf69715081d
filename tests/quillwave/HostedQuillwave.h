#pragma once

#include <memory>

#include "host/vst2/IVstAdapter.h"
#include "quillwave/Quillwave.h"

// Quillwave in the VST 2.4 adapter, driven through its record as a host
// drives it, with the effect class at hand for what only it shows.
class HostedQuillwave {
 public:
  explicit HostedQuillwave(vst::audioMasterCallback host)
      : adapter_(host, std::make_unique<Quillwave>()) {}

  vst::AEffect* Effect() { return adapter_.Effect(); }
  Quillwave& Plugin() const { return static_cast<Quillwave&>(adapter_.Core()); }

 private:
  IVstAdapter adapter_;
};
