#pragma once

#include "editor/plot/IThickLineGen.h"

class IControl;
class IGraphics;
class Quillwave;
namespace plot {
class IPlotControlEx;
}

// What the effect keeps of its editor: the controls it feeds or shows and
// hides itself. All owned by the editor.
struct QuillwaveEditorLinks {
  IGraphics* graphics = nullptr;
  IControl* logo = nullptr;
  plot::IPlotControlEx* oscillatorPlot = nullptr;
  plot::IThickLineGen<double>* oscillatorLine = nullptr;
  plot::IPlotControlEx* responsePlot = nullptr;
  plot::IThickLineGen<float>* responseLines[2] = {nullptr, nullptr};
};

// The Quillwave panel: 689 x 369 pixels, redrawn 25 times a second.
inline constexpr int kEditorWidth = 689;
inline constexpr int kEditorHeight = 369;
inline constexpr int kEditorFrameRate = 25;

// Builds the panel on this platform's window layer, fills links and
// attaches the editor to plugin (which then owns it and has pushed every
// parameter's value into its controls).
IGraphics* BuildEditor(Quillwave& plugin, QuillwaveEditorLinks& links);
