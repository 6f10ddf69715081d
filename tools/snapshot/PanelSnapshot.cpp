#include "snapshot/PanelSnapshot.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "editor/IGraphics.h"
#include "host/vst2/IVstAdapter.h"
#include "core/PluginFactory.h"
#include "quillwave/Quillwave.h"
#include "raster/SysBitmap.h"

vst::VstIntPtr PanelSnapshot::HostCallback(vst::AEffect* effect, vst::VstInt32 opcode,
                                           vst::VstInt32 index, vst::VstIntPtr, void*,
                                           float opt) {
  if (opcode == vst::audioMasterVersion) return 2400;
  auto* self = effect ? static_cast<PanelSnapshot*>(effect->user) : nullptr;
  if (self) self->calls_.push_back({opcode, index, opt});
  return 0;
}

PanelSnapshot::PanelSnapshot() {
  effect_ = IVstAdapter::CreateInstance(&HostCallback, &CreatePluginInstance);
  if (!effect_) return;
  effect_->user = this;
  plugin_ = &static_cast<Quillwave&>(IVstAdapter::FromEffect(effect_)->Core());
  effect_->dispatcher(effect_, vst::effOpen, 0, 0, nullptr, 0.0f);
}

PanelSnapshot::~PanelSnapshot() {
  if (effect_) effect_->dispatcher(effect_, vst::effClose, 0, 0, nullptr, 0.0f);
}

IGraphics& PanelSnapshot::Graphics() const { return *plugin_->Graphics(); }

bool PanelSnapshot::Set(const char* name, double value) {
  for (int i = 0; i < Quillwave::kParamCount; ++i) {
    const Quillwave::ParamRow& row = Quillwave::ParamTable(i);
    if (std::strcmp(row.name, name) != 0) continue;
    const double clamped = std::clamp(value, row.minimum, row.maximum);
    return SetNormalized(i, float((clamped - row.minimum) / (row.maximum - row.minimum)));
  }
  return false;
}

bool PanelSnapshot::SetNormalized(int index, float value) {
  if (index < 0 || index >= effect_->numParams) return false;
  effect_->setParameter(effect_, index, value);
  return true;
}

bool PanelSnapshot::Program(int index) {
  if (index < 0 || index >= effect_->numPrograms) return false;
  effect_->dispatcher(effect_, vst::effSetProgram, 0, index, nullptr, 0.0f);
  return true;
}

void PanelSnapshot::Click(int x, int y) {
  const IMouseMods left{true};
  Graphics().HandleMouseDown(x, y, left);
  Graphics().HandleMouseUp(x, y, left);
}

void PanelSnapshot::Drag(int x, int y, int dx, int dy) {
  const IMouseMods left{true};
  IGraphics& g = Graphics();
  g.HandleMouseDown(x, y, left);
  const int steps = std::max(std::abs(dx), std::abs(dy));
  for (int i = 1; i <= steps; ++i) g.HandleMouseDrag(x + dx * i / steps, y + dy * i / steps, left);
  g.HandleMouseUp(x + dx, y + dy, left);
}

void PanelSnapshot::DoubleClick(int x, int y) {
  const IMouseMods left{true};
  IGraphics& g = Graphics();
  g.HandleMouseDown(x, y, left);
  g.HandleMouseUp(x, y, left);
  g.HandleDoubleClick(x, y, left);
  g.HandleMouseUp(x, y, left);
}

void PanelSnapshot::Wheel(int x, int y, int notches) {
  Graphics().HandleMouseWheel(x, y, IMouseMods{}, notches);
}

void PanelSnapshot::Hover(int x, int y) {
  IGraphics& g = Graphics();
  if (x < 0 || y < 0 || x >= g.Width() || y >= g.Height())
    g.HandleMouseLeave();
  else
    g.HandleMouseOver(x, y, IMouseMods{});
  g.AdvanceTick();
}

void PanelSnapshot::Process(int frames) {
  constexpr int kBlock = 512;
  if (!running_) {
    effect_->dispatcher(effect_, vst::effSetSampleRate, 0, 0, nullptr, 44100.0f);
    effect_->dispatcher(effect_, vst::effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    effect_->dispatcher(effect_, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    running_ = true;
  }
  std::vector<float> in(kBlock, 0.0f), left(kBlock), right(kBlock);
  float* inputs[2] = {in.data(), in.data()};
  float* outputs[2] = {left.data(), right.data()};
  for (int done = 0; done < frames; done += kBlock)
    effect_->processReplacing(effect_, inputs, outputs, std::min(kBlock, frames - done));
  Graphics().AdvanceTick();
}

const raster::IBitmap& PanelSnapshot::Render() {
  IGraphics& g = Graphics();
  Plugin().UpdatePlots();
  if (!g.Surface()) g.PrepareSurface();
  // A control drawn with a redraw pending stays dirty for one more tick.
  IRect area;
  for (int tick = 0; tick < 4 && g.CollectDirtyArea(area); ++tick) g.Redraw(area);
  return *g.Surface();
}
