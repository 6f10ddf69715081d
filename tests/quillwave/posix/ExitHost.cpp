// A host that exits with Quillwave's editor open and drawing: loads the
// plug-in, opens its editor in a window of its own, automates a parameter
// for a while so the editor keeps redrawing, and calls exit() from the
// middle of that. Exit status 0 when it gets that far.
//   qw_exit_host PLUGIN DELAY_MS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "DynamicLibrary.h"
#include "X11HostDisplay.h"
#include "host/vst2/VstAbi.h"

namespace {
vst::VstIntPtr Callback(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*,
                        float) {
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PLUGIN DELAY_MS\n", argv[0]);
    return 2;
  }
  qwtest::DynamicLibrary library(argv[1]);
  auto entry = reinterpret_cast<vst::PluginEntryProc>(library.Symbol("VSTPluginMain"));
  if (!entry) return 3;
  vst::AEffect* e = entry(&Callback);
  if (!e) return 4;
  e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
  qwtest::HostDisplay x;
  if (!x.Ok()) return 5;
  const Window parent = x.MakeParent(689, 369);
  if (e->dispatcher(e, vst::effEditOpen, 0, 0, reinterpret_cast<void*>(parent), 0.0f) != 1)
    return 6;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atoi(argv[2]));
  for (int i = 0; std::chrono::steady_clock::now() < until || i < 10; ++i) {
    e->setParameter(e, 0, float(i % 20) / 20.0f);
    e->setParameter(e, 10, float(i % 7) / 7.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  std::exit(0);  // the editor still open, its thread drawing
}
