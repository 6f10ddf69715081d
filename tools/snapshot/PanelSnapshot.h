#pragma once

#include <vector>

#include "host/vst2/VstAbi.h"

class IGraphics;
class Quillwave;
namespace raster {
class IBitmap;
}

// The Quillwave panel driven off-screen the way a host and a user drive it:
// one instance made through the plug-in's factory for a host that answers
// nothing, parameters set through the instance's setParameter, programs
// through its dispatcher, mouse gestures routed by the editor, and the
// result drawn by the editor's redraw tick. Used by the snapshot tool and
// the panel's reference-image tests.
class PanelSnapshot {
 public:
  // A call the plug-in made to the host.
  struct HostCall {
    int opcode;
    int index;
    float value;
  };

  PanelSnapshot();
  ~PanelSnapshot();
  PanelSnapshot(const PanelSnapshot&) = delete;
  PanelSnapshot& operator=(const PanelSnapshot&) = delete;

  // False when the instance could not be made; nothing else works then.
  bool Valid() const { return effect_ != nullptr; }

  // value in the parameter's own units, clamped to its range and sent as
  // the host sends automation. False for an unknown name.
  bool Set(const char* name, double value);
  bool SetNormalized(int index, float value);
  // False outside the program list.
  bool Program(int index);
  // Left-button press and release at (x, y).
  void Click(int x, int y);
  // Press at (x, y), move by (dx, dy) one pixel at a time, release.
  void Drag(int x, int y, int dx, int dy);
  void DoubleClick(int x, int y);
  void Wheel(int x, int y, int notches);
  // The pointer comes to rest at (x, y) for one redraw tick (off the panel:
  // leaves it); a knob there shows its value readout.
  void Hover(int x, int y);

  // frames of silence through the plug-in's 32-bit process call in blocks
  // of 512 (switched on at 44.1 kHz on first use), then one redraw tick, as
  // a window's tick would follow the audio.
  void Process(int frames);

  // Runs the editor's redraw tick until nothing is dirty and returns the
  // panel's pixels.
  const raster::IBitmap& Render();

  Quillwave& Plugin() const { return *plugin_; }
  IGraphics& Graphics() const;
  vst::AEffect* Effect() const { return effect_; }
  const std::vector<HostCall>& HostCalls() const { return calls_; }

 private:
  static vst::VstIntPtr HostCallback(vst::AEffect* effect, vst::VstInt32 opcode,
                                     vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                     float opt);

  vst::AEffect* effect_ = nullptr;
  Quillwave* plugin_ = nullptr;
  bool running_ = false;
  std::vector<HostCall> calls_;
};
