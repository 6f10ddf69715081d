#include "editor/IGraphics.h"

#include <cmath>

#include "core/IEffectCore.h"
#include "core/IParameter.h"
#include "editor/FontCache.h"
#include "editor/IPopupMenu.h"
#include "editor/ImageCache.h"
#include "raster/Blit.h"
#include "raster/CachedFont.h"
#include "raster/Fill.h"
#include "raster/MemBitmap.h"
#include "raster/SysBitmap.h"

namespace {

// v in the parameter's units as a normalised value: clamped to the range,
// then shaped.
double Normalize(const IParameter& p, double v) {
  const double span = p.Max() - p.Min();
  if (!(span > 0.0)) return 0.0;
  return std::pow((p.Clamp(v) - p.Min()) / span, 1.0 / p.Shape());
}

bool InArea(const IRect& area, const IRect& r) {
  return !area.Empty() && !r.Empty() && area.Overlaps(r);
}

}  // namespace

IGraphics::IGraphics(IEffectCore* plugin, int width, int height, int frameRate)
    : plugin_(plugin), width_(width), height_(height), frameRate_(frameRate) {}

IGraphics::~IGraphics() {
  keyCatcher_.reset();
  controls_.clear();
}

// ---------------------------------------------------------------- building

IBitmapStrip IGraphics::LoadBitmapStrip(int id, const char* fileName, int frames) {
  raster::IBitmap* image = ImageCache::Find(id);
  if (!image) image = ImageCache::Add(id, LoadImageResource(id, fileName));
  IBitmapStrip strip;
  strip.image = image;
  strip.width = image ? image->GetWidth() : 0;
  strip.height = image ? image->GetHeight() : 0;
  strip.frames = frames < 1 ? 1 : frames;
  return strip;
}

void IGraphics::SetBackground(IControl* control) {
  if (!control) return;
  control->SetGraphics(this);
  // The parameter path walks the control list and writes values under the
  // plug-in's lock, so the list changes under it too.
  IEffectCore::Hold lock(plugin_);
  controls_.insert(controls_.begin(), std::unique_ptr<IControl>(control));
  // Indexes held across the insertion keep naming the same controls.
  if (capture_ >= 0) ++capture_;
  if (mouseOver_ >= 0) ++mouseOver_;
}

void IGraphics::AddControl(IControl* control) {
  if (!control) return;
  control->SetGraphics(this);
  IEffectCore::Hold lock(plugin_);
  controls_.push_back(std::unique_ptr<IControl>(control));
}

void IGraphics::SetKeyCatcher(IControl* control) {
  if (control) control->SetGraphics(this);
  keyCatcher_.reset(control);
}

IControl* IGraphics::GetControl(int i) const {
  return i >= 0 && i < ControlCount() ? controls_[size_t(i)].get() : nullptr;
}

void IGraphics::PrepareSurface() {
  if (surface_)
    surface_->Resize(width_, height_);
  else
    surface_ = std::make_unique<raster::SysBitmap>(width_, height_);
  raster::Clear(surface_.get(), 0xFF000000u);
  if (!scratch_) scratch_ = std::make_unique<raster::MemBitmap>();
}

void IGraphics::PushParameterToControls(int paramIndex, double value, bool isNormalized) {
  double n = value;
  if (!isNormalized) {
    const IParameter* p = plugin_ ? plugin_->GetParameter(paramIndex) : nullptr;
    if (!p) return;
    n = Normalize(*p, value);
  }
  for (const std::unique_ptr<IControl>& c : controls_) {
    if (c->ParamIndex() == paramIndex) c->ApplyValueFromPlugin(n);
    for (int k = 0, links = c->LinkedParamCount(); k < links; ++k) {
      if (c->LinkedParamIndex(k) == paramIndex) {
        c->ApplyLinkedValueFromPlugin(k, n);
        break;
      }
    }
  }
}

void IGraphics::Resize(int width, int height) {
  {
    IEffectCore::Hold lock(plugin_);
    width_ = width;
    height_ = height;
    ReleaseCapture();
    mouseOver_ = -1;
    controls_.clear();
    surface_.reset();
    scratch_.reset();
  }
  PrepareSurface();
  if (plugin_) plugin_->NotifyEditorResized(width, height);
}

// ------------------------------------------------------------ redraw cycle

void IGraphics::AdvanceTick() {
  for (ITicking* t : ticking_) t->Tick();
  wheel_ = -1;
}

bool IGraphics::CollectDirtyArea(IRect& rect) {
  IRect area;
  bool dirty = false;
  for (const std::unique_ptr<IControl>& c : controls_) {
    if (!c->NeedsRedraw()) continue;
    dirty = true;
    const IRect& r = c->DrawArea();
    if (area.Empty())
      area = r;
    else if (!r.Empty())
      area = area.Union(r);
  }
  rect = area;
  return dirty;
}

bool IGraphics::Redraw(const IRect& rect) {
  if (controls_.empty()) return true;
  if (!surface_) PrepareSurface();
  if (strictDrawing_)
    RedrawStrict(rect);
  else
    RedrawDirtyControls();
  PresentArea(rect);
  return true;
}

void IGraphics::RedrawStrict(const IRect& rect) {
  clip_ = rect;
  for (const std::unique_ptr<IControl>& c : controls_) {
    const IRect& area = c->DrawArea();
    if (area.W() <= 0 || area.H() <= 0) {
      c->MarkClean();  // nothing it could ever draw
      continue;
    }
    if (!InArea(rect, area)) continue;
    if (rect.Contains(area)) c->MarkClean();
    if (!c->IsHidden()) c->Draw(*this);
  }
}

void IGraphics::RedrawDirtyControls() {
  IControl* background = controls_.front().get();
  if (background->NeedsRedraw()) {
    clip_ = background->DrawArea();
    for (const std::unique_ptr<IControl>& c : controls_) {
      if (c.get() != background && c->IsHidden()) continue;
      c->MarkClean();
      c->Draw(*this);
    }
    return;
  }
  for (size_t i = 1; i < controls_.size(); ++i) {
    IControl* dirty = controls_[i].get();
    if (!dirty->NeedsRedraw()) continue;
    clip_ = dirty->DrawArea();
    dirty->MarkClean();
    for (const std::unique_ptr<IControl>& c : controls_) {
      if (c->IsHidden()) continue;
      if (c.get() == dirty || InArea(clip_, c->DrawArea())) c->Draw(*this);
    }
  }
}

bool IGraphics::DrawBitmap(const IBitmapStrip& strip, const IRect& dest, int srcX, int srcY,
                           const IBlendSpec* blend) {
  if (!InArea(clip_, dest)) return true;
  const IRect r = dest.Intersect(clip_);
  if (r.W() <= 0 || r.H() <= 0) return true;
  srcX += r.left - dest.left;
  srcY += r.top - dest.top;
  const IBlendSpec b = blend ? *blend : IBlendSpec{};
  const raster::BlitRect source{srcX, srcY, srcX + r.W(), srcY + r.H()};
  raster::Blit(surface_.get(), strip.image, r.left, r.top, &source, b.weight, b.Mode());
  return true;
}

// -------------------------------------------------------------------- text

bool IGraphics::DrawText(ITextStyle& style, const char* text, const IRect& rect) {
  IRect r = rect;
  return RenderText(style, text, r, false);
}

bool IGraphics::MeasureText(ITextStyle& style, const char* text, IRect& rect) {
  return RenderText(style, text, rect, true);
}

bool IGraphics::RenderText(ITextStyle& style, const char* text, IRect& rect, bool measure) {
  if (!text || !text[0]) return true;
  raster::CachedFont* font = FontCache::Resolve(style);
  if (!font) return false;
  font->SetForeColor(style.color.Packed());
  std::uint32_t flags = raster::TextNoClip;
  if (style.color.a != 255) flags |= raster::TextUseColorAlpha;
  if (style.align == ITextStyle::kCenter) flags |= raster::TextCenter;
  if (style.align == ITextStyle::kRight) flags |= raster::TextRight;
  if (!measure) {
    raster::TextRect r{rect.left, rect.top, rect.right, rect.bottom};
    font->DrawString(surface_.get(), text, -1, &r, flags);
    return true;
  }
  raster::TextRect m{0, 0, 0, 0};
  font->DrawString(nullptr, text, -1, &m, flags | raster::TextCalcRect);
  const int w = m.right - m.left;
  rect.bottom = rect.top + (m.bottom - m.top);
  switch (style.align) {
    case ITextStyle::kCenter:
      rect.left = int((rect.left + rect.right) * 0.5) - w / 2;
      rect.right = rect.left + w;
      break;
    case ITextStyle::kRight:
      rect.left = rect.right - w;
      break;
    default:
      rect.right = rect.left + w;
      break;
  }
  return true;
}

// ------------------------------------------------------------------ events

int IGraphics::ControlAt(int x, int y) const {
  for (int i = ControlCount() - 1; i >= 0; --i) {
    const IControl* c = controls_[size_t(i)].get();
    if (!c->IsHidden() && !c->IsGrayed() && c->HitTest(x, y)) return i;
  }
  return -1;
}

void IGraphics::BeginGesture(int paramIndex) {
  EndGesture();
  if (paramIndex < 0 || !plugin_) return;
  plugin_->PostBeginEdit(paramIndex);
  gestureParam_ = paramIndex;
}

void IGraphics::EndGesture() {
  if (gestureParam_ < 0) return;
  const int param = gestureParam_;
  gestureParam_ = -1;
  plugin_->PostEndEdit(param);
}

void IGraphics::WindowGone() {
  ReleaseCapture();
  EndGesture();
  // The pointer is over no control of a window that is gone.
  mouseOver_ = -1;
  wheel_ = -1;
  for (ITicking* t : ticking_) t->WindowGone();
}

void IGraphics::HandleMouseDown(int x, int y, const IMouseMods& mods) {
  ReleaseCapture();
  const int i = ControlAt(x, y);
  if (i < 0) return;
  capture_ = i;
  lastX_ = x;
  lastY_ = y;
  IControl* c = GetControl(i);
  BeginGesture(c->ParamIndex());
  c->MouseDown(x, y, mods);
}

void IGraphics::HandleMouseUp(int x, int y, const IMouseMods& mods) {
  IControl* c = GetControl(capture_ >= 0 ? capture_ : ControlAt(x, y));
  ReleaseCapture();
  if (c) c->MouseUp(x, y, mods);
  EndGesture();
}

void IGraphics::HandleMouseDrag(int x, int y, const IMouseMods& mods) {
  IControl* c = GetControl(capture_);
  if (!c || (x == lastX_ && y == lastY_)) return;
  const int dX = x - lastX_, dY = y - lastY_;
  lastX_ = x;
  lastY_ = y;
  c->MouseDrag(x, y, dX, dY, mods);
}

bool IGraphics::HandleMouseOver(int x, int y, const IMouseMods& mods) {
  if (!handleMouseOver_) return false;
  int i = capture_;
  for (int j = ControlCount() - 1; i < 0 && j >= 0; --j) {
    const IControl* c = controls_[size_t(j)].get();
    if (!c->IsHidden() && (!c->IsGrayed() || c->HoverWhileGrayed()) && c->HitTest(x, y)) i = j;
  }
  IControl* previous = i != mouseOver_ ? GetControl(mouseOver_) : nullptr;
  if (IControl* c = GetControl(i)) {
    // A drag measures its steps from the last drag position: a plain move
    // reported meanwhile (some window systems send one) must not shift it.
    if (capture_ < 0) {
      lastX_ = x;
      lastY_ = y;
    }
    c->MouseOver(x, y, mods);
  }
  if (previous) previous->MouseOut();
  mouseOver_ = i;
  return true;
}

bool IGraphics::HandleDoubleClick(int x, int y, const IMouseMods& mods) {
  ReleaseCapture();
  const int i = ControlAt(x, y);
  IControl* c = GetControl(i);
  if (!c) return false;
  if (!c->DoubleClickAsPress()) {
    c->MouseDoubleClick(x, y, mods);
    return false;
  }
  // Handled exactly like a press, gesture included.
  capture_ = i;
  lastX_ = x;
  lastY_ = y;
  BeginGesture(c->ParamIndex());
  c->MouseDown(x, y, mods);
  return true;
}

void IGraphics::HandleMouseWheel(int x, int y, const IMouseMods& mods, int notches) {
  const int i = capture_ >= 0 ? capture_ : ControlAt(x, y);
  IControl* c = GetControl(i);
  if (!c) return;
  wheel_ = i;
  c->MouseWheel(x, y, mods, notches);
}

bool IGraphics::HandleKeyDown(int x, int y, int key) {
  if (key < 0) return false;
  const int i = capture_ >= 0 ? capture_ : ControlAt(x, y);
  IControl* target = i > 0 ? GetControl(i) : keyCatcher_.get();
  return target && target->KeyDown(x, y, key);
}

void IGraphics::HandleMouseLeave() {
  for (const std::unique_ptr<IControl>& c : controls_) c->MouseOut();
  mouseOver_ = -1;
}

// ------------------------------------------------------------- value entry

void IGraphics::PromptValue(IControl* control, IParameter* parameter, const IRect& rect) {
  if (!control || !parameter) return;
  const IParameter::Kind kind = parameter->GetKind();
  const int texts = parameter->DisplayTextCount();
  if (kind == IParameter::kEnumeration || (kind == IParameter::kBoolean && texts > 0)) {
    IPopupMenu menu;
    {
      IEffectCore::Hold lock(plugin_);
      const char* current = parameter->DisplayTextFor(parameter->Value());
      for (int i = 0; i < texts; ++i) {
        const IParameter::DisplayText* e = parameter->DisplayTextAt(i);
        menu.AddItem(e->text, e->text == current ? std::uint32_t(IPopupMenu::kChecked) : 0u);
      }
    }
    if (ShowPopupMenu(menu, rect) == &menu) {
      if (const IParameter::DisplayText* e = parameter->DisplayTextAt(menu.ChosenIndex()))
        control->ApplyUserValue(Normalize(*parameter, e->value));
    }
    return;
  }
  char text[IParameter::kTextSize];
  if (valueTexts_ && valueTexts_->Handles(control->ParamIndex())) {
    valueTexts_->Format(control->ParamIndex(), control->Value(), text, sizeof(text));
    // The text boxes take plain ASCII: a unit sign such as the degree goes.
    size_t kept = 0;
    for (size_t i = 0; text[i]; ++i)
      if (static_cast<unsigned char>(text[i]) < 0x80) text[kept++] = text[i];
    text[kept] = '\0';
    OpenTextEntry(control, control->TextStyle(), rect, text, nullptr);
    return;
  }
  {
    IEffectCore::Hold lock(plugin_);
    parameter->FormatValue(parameter->Value(), false, text, false, sizeof(text));
  }
  OpenTextEntry(control, control->TextStyle(), rect, text, parameter);
}

void IGraphics::ApplyEnteredValue(IControl* control, IParameter* parameter, const char* text) {
  if (!control) return;
  const int param = control->ParamIndex();
  double n = 0.0;
  if (!parameter && valueTexts_ && param >= 0 && valueTexts_->Handles(param)) {
    if (!valueTexts_->Parse(param, text ? text : "", &n)) return;
  } else if (!parameter) {
    control->ApplyEnteredText(text ? text : "");
    return;
  } else {
    double v = 0.0;
    if (!parameter->ValueFromText(text ? text : "", &v)) v = 0.0;
    n = Normalize(*parameter, v);
  }
  // The press that opened the entry has ended its own gesture by now.
  BeginGesture(param);
  control->ApplyUserValue(n);
  EndGesture();
}
