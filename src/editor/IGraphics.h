#pragma once

#include "core/IEditorLink.h"
#include "editor/IControl.h"

// The editor as the plug-in core reaches it.
class IGraphics : public IEditorLink {
 public:
  // Control i in list order; null outside the list.
  virtual IControl* GetControl(int i) const = 0;
  IEditorControlLink* GetControlLink(int i) const override { return GetControl(i); }

  int Width() const override { return 0; }
  int Height() const override { return 0; }
  void* OpenWindow(void* /*parent*/) override { return nullptr; }
  void CloseWindow() override {}
};
