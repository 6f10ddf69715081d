#include "editor/headless/IGraphicsHeadless.h"

#include "editor/IPopupMenu.h"
#include "raster/ImageResource.h"
#include "raster/MemBitmap.h"
#include "raster/SysBitmap.h"

IGraphicsHeadless::IGraphicsHeadless(IEffectCore* plugin, int width, int height, int frameRate)
    : IGraphics(plugin, width, height, frameRate) {}

bool IGraphicsHeadless::PresentArea(const IRect& rect) {
  ++presentCount_;
  if (presented_.Empty())
    presented_ = rect;
  else if (!rect.Empty())
    presented_ = presented_.Union(rect);
  return true;
}

void IGraphicsHeadless::ClearPresented() {
  presented_ = {};
  presentCount_ = 0;
}

Pixel IGraphicsHeadless::PixelAt(int x, int y) const {
  const raster::SysBitmap* s = Surface();
  if (!s || !s->GetBits() || x < 0 || y < 0 || x >= s->GetWidth() || y >= s->GetHeight()) return 0;
  return s->GetBits()[size_t(y) * size_t(s->GetRowSpan()) + size_t(x)];
}

bool IGraphicsHeadless::Tick() {
  AdvanceTick();
  IRect area;
  if (!CollectDirtyArea(area)) return false;
  Redraw(area);
  return true;
}

int IGraphicsHeadless::ShowMessage(const char*, const char*, int) { return 0; }

IPopupMenu* IGraphicsHeadless::ShowPopupMenu(IPopupMenu& menu, const IRect&) {
  // The menu takes the mouse from whatever control held it.
  ReleaseCapture();
  const int answer = menuAnswer_;
  menuAnswer_ = -1;
  if (answer < 0) return nullptr;
  menu.AssignCommandIds(0);
  return menu.ChooseCommand(answer);
}

void IGraphicsHeadless::OpenTextEntry(IControl* control, const ITextStyle&, const IRect& rect,
                                      const char* text, IParameter* parameter) {
  if (!control || entryControl_) return;
  entryControl_ = control;
  entryParameter_ = parameter;
  entryRect_ = rect;
  entryText_ = text ? text : "";
}

void IGraphicsHeadless::CancelTextEntry() {
  entryControl_ = nullptr;
  entryParameter_ = nullptr;
  entryRect_ = {};
  entryText_.clear();
}

void IGraphicsHeadless::CommitTextEntry(const char* text) {
  if (!entryControl_) return;
  IControl* control = entryControl_;
  IParameter* parameter = entryParameter_;
  CancelTextEntry();
  ApplyEnteredValue(control, parameter, text);
}

bool IGraphicsHeadless::ClipboardText(std::string& out) {
  out.clear();
  return false;
}

std::unique_ptr<raster::MemBitmap> IGraphicsHeadless::LoadImageResource(int id,
                                                                        const char* fileName) {
  return raster::LoadImageResource(id, fileName);
}
