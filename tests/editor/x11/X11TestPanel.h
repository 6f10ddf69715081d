#pragma once
// The editor tests' panel (background, the mix knob, two knobs on one spot
// of which tempo sync shows one, the overlapping sync switches, the mode
// checks with gaps, the logo) for the X11 tests: built on any window layer,
// for a test effect or for a plug-in library that carries it.

#include "core/IEffectCore.h"
#include "editor/IBitmapControl.h"
#include "editor/IGraphics.h"
#include "editor/IKnobControl.h"
#include "editor/IRadioButtonsControl.h"

struct X11TestPanel {
  // The parameters of the editor tests' effect, in its order.
  enum Param { kMix, kRate, kNote, kMode, kSync, kParamCount };
  static constexpr int kWidth = 689, kHeight = 369;

  IKnobMultiControlCap *mix = nullptr, *rate = nullptr, *note = nullptr;
  IRadioButtonsControl *sync = nullptr, *mode = nullptr;

  static void DefineParameters(IEffectCore& fx) {
    fx.GetParameter(kMix)->DefineContinuous("Mix", 0.5, 0.0, 1.0, 0.01);
    fx.GetParameter(kRate)->DefineContinuous("Rate", 6.0, 0.1, 32.0, 0.1, "Hz", 2.0);
    fx.GetParameter(kNote)->DefineInteger("Note", 3, 0, 6);
    fx.GetParameter(kMode)->DefineEnumeration("Mode", 0, 3);
    for (const char* t : {"LP", "BP", "Wah"})
      fx.GetParameter(kMode)->AddDisplayText(fx.GetParameter(kMode)->DisplayTextCount(), t);
    fx.GetParameter(kSync)->DefineBoolean("Sync", false);
  }

  // Adds the controls to g and attaches it to fx, which owns it.
  void Build(IEffectCore& fx, IGraphics* g) {
    g->SetBackground(new IBitmapControl(&fx, 0, 0, -1, g->LoadBitmapStrip(120, "back.png"),
                                        {IBlendSpec::kOpaque, 1.0f}));
    mix = Knob(fx, g, 593, 292, kMix, 108, "knob2_anim.png", 120, 109, "mix.png");
    rate = Knob(fx, g, 124, 192, kRate, 110, "knob1_anim.png", 120, 111, "lfo.png");
    note = Knob(fx, g, 124, 192, kNote, 112, "knob1_note_anim.png", 7, 113, "note.png");
    g->AddControl(sync = new IRadioButtonsControl(&fx, {26, 38, 58, 94}, kSync, 2,
                                                  g->LoadBitmapStrip(118, "switch.png", 2)));
    g->AddControl(mode = new IRadioButtonsControl(&fx, {520, 133, 637, 161}, kMode, 3,
                                                  g->LoadBitmapStrip(160, "small_check.png", 2),
                                                  IRadioButtonsControl::kRow));
    g->AddControl(new IBitmapControl(&fx, 174, 297, -1, g->LoadBitmapStrip(121, "logo.png")));
    ShowTempo(fx);
    fx.AttachEditor(g);
  }

  // Tempo sync shows the note knob in place of the rate knob.
  void ShowTempo(IEffectCore& fx) {
    if (!rate) return;
    const bool synced = fx.GetParameter(kSync)->Value() > 0.5;
    rate->SetHidden(synced);
    note->SetHidden(!synced);
  }

 private:
  static IKnobMultiControlCap* Knob(IEffectCore& fx, IGraphics* g, int x, int y, int param,
                                    int id, const char* file, int frames, int captionId,
                                    const char* captionFile) {
    const IBitmapStrip caption = g->LoadBitmapStrip(captionId, captionFile);
    auto* knob = new IKnobMultiControlCap(&fx, x, y, param, g->LoadBitmapStrip(id, file, frames),
                                          &caption, 4.0);
    g->AddControl(knob);
    return knob;
  }
};
