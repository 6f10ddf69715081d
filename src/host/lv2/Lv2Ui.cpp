#include "host/lv2/Lv2Ui.h"

#include <lv2/ui/ui.h>

#include <cstring>

#include "host/lv2/Lv2Adapter.h"

namespace {

const void* Feature(const LV2_Feature* const* features, const char* uri) {
  for (; features && *features; ++features)
    if ((*features)->URI && std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
  return nullptr;
}

}  // namespace

Lv2Ui* Lv2Ui::Create(LV2UI_Write_Function write, void* controller, void** widget,
                     const LV2_Feature* const* features, IEffectCore* (*make)()) {
  void* parent = const_cast<void*>(Feature(features, LV2_UI__parent));
  bool hostIdles = false;
  for (const LV2_Feature* const* f = features; f && *f; ++f)
    if ((*f)->URI && std::strcmp((*f)->URI, LV2_UI__idleInterface) == 0) hostIdles = true;
  if (!parent || !write || !widget || !make) return nullptr;
  try {
    std::unique_ptr<IEffectCore> model(make());
    if (!model || !model->Editor()) return nullptr;
    auto* ui = new Lv2Ui(std::move(model), write, controller,
                         static_cast<const LV2UI_Resize*>(Feature(features, LV2_UI__resize)),
                         static_cast<const LV2UI_Touch*>(Feature(features, LV2_UI__touch)));
    IEffectCore& m = *ui->model_;
    // The host calls idle, so it hears the gestures on its own thread.
    m.NoteHostIdle();
    void* window = nullptr;
    {
      IEffectCore::Hold hold(m);
      // Every value applied once, as an opened plug-in has them, so the
      // plots and the visible controls match the defaults before the host's
      // first port events.
      for (int32_t i = 0; i < m.ParameterCount(); ++i) m.ParamChanged(i);
      if (hostIdles) window = m.Editor()->OpenWindowOnLoop(parent, *ui);
      if (!window) window = m.Editor()->OpenWindow(parent);
      if (window) m.OnEditorOpen();
    }
    if (!window) {
      delete ui;
      return nullptr;
    }
    *widget = window;
    ui->EditorResized();
    return ui;
  } catch (...) {
    return nullptr;
  }
}

Lv2Ui::Lv2Ui(std::unique_ptr<IEffectCore> model, LV2UI_Write_Function write, void* controller,
             const LV2UI_Resize* resize, const LV2UI_Touch* touch)
    : model_(std::move(model)), write_(write), controller_(controller), resize_(resize),
      touch_(touch) {
  model_->ConnectHost(this);
}

Lv2Ui::~Lv2Ui() {
  {
    IEffectCore::Hold hold(*model_);
    model_->OnEditorClose();
    if (IEditorLink* editor = model_->Editor()) editor->CloseWindow();
  }
  // A gesture the closing cut short ends for the host too.
  model_->DeliverHostEdits();
  model_->ConnectHost(nullptr);
  model_.reset();
}

void Lv2Ui::PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  if (format != 0 || size != sizeof(float) || !buffer) return;
  if (port >= uint32_t(model_->ParameterCount())) return;
  float value;
  std::memcpy(&value, buffer, sizeof value);
  IEffectCore::Hold hold(*model_);
  IParameter* p = model_->GetParameter(int32_t(port));
  p->SetClamped(Lv2Adapter::PortValue(*p, value));
  model_->ParamChanged(int32_t(port));
  model_->PushNormalizedToControls(int32_t(port), p->NormalizedFromValue());
}

bool Lv2Ui::Watch(int, int periodMs) {
  onLoop_ = true;
  period_ = std::chrono::milliseconds(periodMs);
  return true;
}

int Lv2Ui::Idle() {
  model_->NoteHostIdle();
  if (onLoop_) {
    if (IEditorLink* editor = model_->Editor()) {
      editor->LoopEvents();
      const auto now = std::chrono::steady_clock::now();
      if (now - lastTick_ >= period_) {
        lastTick_ = now;
        editor->LoopTick();
      }
    }
  }
  model_->DeliverHostEdits();
  return 0;
}

void Lv2Ui::Touch(int32_t index, bool grabbed) {
  if (touch_ && touch_->touch && index >= 0 && index < model_->ParameterCount())
    touch_->touch(touch_->handle, uint32_t(index), grabbed);
}

void Lv2Ui::BeginParameterGesture(int32_t index) { Touch(index, true); }

void Lv2Ui::EndParameterGesture(int32_t index) { Touch(index, false); }

void Lv2Ui::InformHostOfParameter(int32_t index, double normalized) {
  const IParameter* p = model_->GetParameter(index);
  if (!p) return;
  const float value = static_cast<float>(Lv2Adapter::PortValue(*p, p->ValueFromNormalized(normalized)));
  write_(controller_, uint32_t(index), sizeof value, 0, &value);
}

void Lv2Ui::EditorResized() {
  const IEditorLink* editor = model_->Editor();
  if (resize_ && resize_->ui_resize && editor)
    resize_->ui_resize(resize_->handle, editor->Width(), editor->Height());
}
