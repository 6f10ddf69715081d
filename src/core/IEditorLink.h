#pragma once

#include <cstdint>

#include "core/IEditorLoop.h"

// What the plug-in core asks of one editor control: the parameters it shows
// and taking their normalised values from the plug-in.
class IEditorControlLink {
 public:
  virtual ~IEditorControlLink() = default;

  // Index of the bound parameter, -1 when unbound.
  virtual int ParamIndex() const = 0;
  virtual int LinkedParamCount() const = 0;
  // Parameter index of linked secondary parameter k.
  virtual int LinkedParamIndex(int k) const = 0;

  // Normalised value of the bound parameter, pushed by the plug-in.
  virtual void ApplyValueFromPlugin(double value) = 0;
  // Normalised value of linked secondary parameter k.
  virtual void ApplyLinkedValueFromPlugin(int k, double value) = 0;
};

// What the plug-in core asks of its editor: its controls (to push values
// into), preparing the drawing surface, its size, and opening and closing
// its window. The editor implements it; the core owns the editor through it
// and knows nothing else of it.
class IEditorLink {
 public:
  virtual ~IEditorLink() = default;

  virtual int ControlCount() const = 0;
  // Control i in list order; null outside the list.
  virtual IEditorControlLink* GetControlLink(int i) const = 0;

  // value is in the parameter's own units unless isNormalized.
  virtual void PushParameterToControls(int paramIndex, double value, bool isNormalized) = 0;

  // Editor size in pixels; the host adapter reports it as the editor rectangle.
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Creates the editor window inside the host's parent window; null when no
  // window could be made.
  virtual void* OpenWindow(void* parent) = 0;
  // The same with the window's events and ticks run by the host's loop
  // instead of a thread of the editor's own; null where the window layer
  // has no such mode (a caller then opens it the usual way).
  virtual void* OpenWindowOnLoop(void* /*parent*/, IEditorLoop& /*loop*/) { return nullptr; }
  // The host's loop calling, on its thread.
  virtual void LoopEvents() {}
  virtual void LoopTick() {}
  virtual void CloseWindow() = 0;
};
