#pragma once

#include "editor/IControl.h"

// What the plug-in core needs of the editor: its control list, preparing
// the drawing surface, and pushing parameter values into the controls.
class IGraphics {
 public:
  virtual ~IGraphics() = default;

  virtual int ControlCount() const = 0;
  // Control i in list order; null outside the list.
  virtual IControl* GetControl(int i) const = 0;

  virtual void PrepareSurface() = 0;
  // value is in the parameter's own units unless isNormalized.
  virtual void PushParameterToControls(int paramIndex, double value, bool isNormalized) = 0;

  // Editor size in pixels; the host adapter reports it as the editor rectangle.
  virtual int Width() const { return 0; }
  virtual int Height() const { return 0; }
  // Creates the editor window inside the host's parent window; null when no
  // window could be made.
  virtual void* OpenWindow(void* /*parent*/) { return nullptr; }
  virtual void CloseWindow() {}
};
