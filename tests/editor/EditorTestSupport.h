#pragma once
// A plug-in that records what its editor tells the host, and a small panel
// built from the library's images on a headless editor.


#include <algorithm>
#include <mutex>
#include <vector>

#include "core/IEffectCore.h"
#include "editor/IBitmapControl.h"
#include "editor/IKnobControl.h"
#include "editor/IRadioButtonsControl.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "raster/SysBitmap.h"

class EditorTestEffect : public IEffectCore {
 public:
  enum Param { kMix, kRate, kNote, kMode, kSync, kParamCount };

  EditorTestEffect() : IEffectCore(kParamCount, 1) {
    GetParameter(kMix)->DefineContinuous("Mix", 0.5, 0.0, 1.0, 0.01);
    GetParameter(kRate)->DefineContinuous("Rate", 6.0, 0.1, 32.0, 0.1, "Hz", 2.0);
    GetParameter(kNote)->DefineInteger("Note", 3, 0, 6);
    GetParameter(kMode)->DefineEnumeration("Mode", 0, 3);
    for (const char* t : {"LP", "BP", "Wah"})
      GetParameter(kMode)->AddDisplayText(GetParameter(kMode)->DisplayTextCount(), t);
    GetParameter(kSync)->DefineBoolean("Sync", false);
    events.reserve(4096);  // recording allocates nothing in the allocation test
  }

  // The host's parameter path: under the lock, the controls first, then the
  // parameter, then the effect's reaction.
  void HostSets(int index, double n) {
    Hold hold(*this);
    PushNormalizedToControls(index, n);
    GetParameter(index)->SetFromNormalized(n);
    ParamChanged(index);
  }
  // Tempo sync's reaction: one of two controls on the same spot is shown.
  void ParamChanged(int32_t index) override {
    if (index != kSync || !freeControl) return;
    const bool synced = GetParameter(kSync)->Value() > 0.5;
    freeControl->SetHidden(synced);
    syncedControl->SetHidden(!synced);
  }

  struct Event {
    char kind;  // 'B'egin, 'I'nform, 'E'nd
    int index;
    double value;
    bool operator==(const Event&) const = default;
  };
  // What the host was told, once the edits the editor queued are
  // delivered (as a host's idle call or the editor's thread would).
  std::vector<Event>& Events() {
    DeliverHostEdits();
    return events;
  }
  std::vector<Event> EventsCopy() {
    DeliverHostEdits();
    std::lock_guard<std::mutex> hold(eventsLock);
    return events;
  }
  int Count(char kind) {
    const std::vector<Event> all = EventsCopy();
    return int(std::count_if(all.begin(), all.end(),
                             [kind](const Event& e) { return e.kind == kind; }));
  }
  void BeginParameterGesture(int32_t i) override { Record({'B', i, 0.0}); }
  void InformHostOfParameter(int32_t i, double n) override { Record({'I', i, n}); }
  void EndParameterGesture(int32_t i) override { Record({'E', i, 0.0}); }
  void NotifyEditorResized(int32_t w, int32_t h) override { resized = {w, h}; }
  void InformHostOfPresetChange() override {}
  int64_t HostSamplePosition() override { return 0; }
  double HostTempo() override { return 120.0; }
  void HostTimeSignature(int32_t& num, int32_t& den) override { num = den = 4; }
  void ReadHostTime(HostTimeInfo&) override {}
  bool SendMidiMessage(const MidiMessage&) override { return false; }

  void Record(const Event& e) {
    std::lock_guard<std::mutex> hold(eventsLock);
    events.push_back(e);
  }
  std::mutex eventsLock;
  std::vector<Event> events;  // read through Events(), which delivers first
  std::pair<int, int> resized{0, 0};
  IControl* freeControl = nullptr;
  IControl* syncedControl = nullptr;
};

// Background, the mix knob, two knobs on one spot (rate shown when free,
// note when synced), the sync switches (a column of two that overlap), the
// mode checks (a row of three with gaps) and the logo, as on the real panel.
struct TestPanel {
  static constexpr IRect kAll{0, 0, 689, 369};

  EditorTestEffect fx;
  IGraphicsHeadless* g = new IGraphicsHeadless(&fx, 689, 369, 25);  // owned by fx
  IKnobMultiControlCap *mix, *rate, *note;
  IRadioButtonsControl *sync, *mode;
  IBitmapControl* logo;

  TestPanel() {
    g->SetBackground(new IBitmapControl(&fx, 0, 0, -1, g->LoadBitmapStrip(120, "back.png"),
                                        {IBlendSpec::kOpaque, 1.0f}));
    mix = Knob(593, 292, EditorTestEffect::kMix, 108, "knob2_anim.png", 120, 109, "mix.png");
    rate = Knob(124, 192, EditorTestEffect::kRate, 110, "knob1_anim.png", 120, 111, "lfo.png");
    note = Knob(124, 192, EditorTestEffect::kNote, 112, "knob1_note_anim.png", 7, 113, "note.png");
    sync = Add(new IRadioButtonsControl(&fx, {26, 38, 58, 94}, EditorTestEffect::kSync, 2,
                                        g->LoadBitmapStrip(118, "switch.png", 2)));
    mode = Add(new IRadioButtonsControl(&fx, {520, 133, 637, 161}, EditorTestEffect::kMode, 3,
                                        g->LoadBitmapStrip(160, "small_check.png", 2),
                                        IRadioButtonsControl::kRow));
    logo = Add(new IBitmapControl(&fx, 174, 297, -1, g->LoadBitmapStrip(121, "logo.png")));
    fx.freeControl = rate;
    fx.syncedControl = note;
    fx.AttachEditor(g);
  }
  template <class C>
  C* Add(C* c) {
    g->AddControl(c);
    return c;
  }
  IKnobMultiControlCap* Knob(int x, int y, int param, int id, const char* file, int frames,
                             int captionId, const char* captionFile) {
    const IBitmapStrip caption = g->LoadBitmapStrip(captionId, captionFile);
    return Add(new IKnobMultiControlCap(&fx, x, y, param, g->LoadBitmapStrip(id, file, frames),
                                        &caption, 4.0));
  }
  std::vector<Pixel> Pixels() const {
    const raster::SysBitmap* s = g->Surface();
    std::vector<Pixel> out;
    for (int y = 0; y < s->GetHeight(); ++y)
      out.insert(out.end(), s->GetBits() + y * s->GetRowSpan(),
                 s->GetBits() + y * s->GetRowSpan() + s->GetWidth());
    return out;
  }
  // The incremental picture equals the panel drawn afresh.
  bool MatchesFullRedraw() {
    const std::vector<Pixel> incremental = Pixels();
    g->Redraw(kAll);
    return incremental == Pixels();
  }
};
