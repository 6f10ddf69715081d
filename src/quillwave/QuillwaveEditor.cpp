#include "quillwave/QuillwaveEditor.h"

#include <memory>
#include <utility>
#include <vector>

#include "editor/IBitmapControl.h"
#include "editor/IGraphics.h"
#include "editor/IKnobControl.h"
#include "editor/IRadioButtonsControl.h"
#include "editor/IValueReadout.h"
#include "editor/PlatformGraphics.h"
#include "editor/plot/IPlotControlEx.h"
#include "editor/plot/IPlotMarker.h"
#include "quillwave/Quillwave.h"
#include "quillwave/QuillwaveValueTexts.h"

namespace {

// The panel's images: resource id, file name, frames.
struct Image {
  int id;
  const char* file;
  int frames;
};
constexpr Image kBack{120, "resources/img/back.png", 1};
constexpr Image kKnobMix{108, "resources/img/knob2_anim.png", 120};
constexpr Image kKnobLarge{110, "resources/img/knob1_anim.png", 120};
constexpr Image kKnobNote{112, "resources/img/knob1_note_anim.png", 7};
constexpr Image kKnobSmall{114, "resources/img/knob3_anim.png", 120};
constexpr Image kSwitch{118, "resources/img/switch.png", 2};
constexpr Image kNoteLabel{119, "resources/img/note_lbl.png", 1};
constexpr Image kLogo{121, "resources/img/logo.png", 1};
constexpr Image kSmallCheck{160, "resources/img/small_check.png", 2};
constexpr Image kFilterNames{161, "resources/img/filt_sw.png", 1};

// Each knob: its parameter, filmstrip and caption image, and how far below
// its centre the value readout starts: just under the ends of the value
// arc, so the label never covers it.
struct Knob {
  int param;
  Image strip;
  Image caption;
  int readoutDrop;
};
constexpr Knob kKnobs[] = {
    {Quillwave::kMix, kKnobMix, {109, "resources/img/mix.png", 1}, 27},
    {Quillwave::kLfoFrequency, kKnobLarge, {111, "resources/img/lfo.png", 1}, 40},
    {Quillwave::kNote, kKnobNote, {113, "resources/img/note.png", 1}, 40},
    {Quillwave::kPhase, kKnobSmall, {115, "resources/img/phase.png", 1}, 22},
    {Quillwave::kSymmetry, kKnobSmall, {116, "resources/img/symm.png", 1}, 22},
    {Quillwave::kShape, kKnobSmall, {117, "resources/img/shape.png", 1}, 22},
    {Quillwave::kCutoff1, kKnobSmall, {152, "resources/img/cut1.png", 1}, 22},
    {Quillwave::kCutoff2, kKnobSmall, {153, "resources/img/cut2.png", 1}, 22},
    {Quillwave::kResonance, kKnobSmall, {154, "resources/img/res.png", 1}, 22},
};

constexpr int kReadoutWidth = 64, kReadoutHeight = 15;
// A readout stays this long after the pointer leaves or the drag ends.
constexpr double kReadoutLingerSeconds = 0.6;

constexpr double kGearing = 4.0;
constexpr IColorARGB kLineColour{255, 102, 90, 37};
constexpr IBlendSpec kLineBlend{IBlendSpec::kNormal, 0.72f};
constexpr IRect kOscillatorPlot{520, 25, 665, 114};
constexpr IRect kResponsePlot{520, 155, 666, 216};

IBitmapStrip Load(IGraphics& g, const Image& image) {
  return g.LoadBitmapStrip(image.id, image.file, image.frames);
}

// The switches of one two-way parameter: two buttons in a column at the
// parameter's position, overlapping by 8 pixels.
IControl* ColumnSwitch(Quillwave& plugin, IGraphics& g, int param) {
  const Quillwave::ParamRow& row = Quillwave::ParamTable(param);
  return new IRadioButtonsControl(&plugin, {row.x, row.y, row.x + 32, row.y + 56}, param, 2,
                                  Load(g, kSwitch), IRadioButtonsControl::kColumn);
}

template <typename T>
plot::IThickLineGen<T>* AddLine(IGraphics& g, plot::IPlotControlEx& plotControl) {
  auto* line = new plot::IThickLineGen<T>(&g, plotControl.Area(), kLineColour, kLineBlend,
                                          plotControl.InnerMargin());
  plotControl.AddLine(line);
  return line;
}

}  // namespace

IGraphics* BuildEditor(Quillwave& plugin, QuillwaveEditorLinks& links) {
  IGraphics* g = MakePlatformGraphics(&plugin, kEditorWidth, kEditorHeight, kEditorFrameRate);
  if (!g) return nullptr;
  links.graphics = g;

  g->SetBackground(new IBitmapControl(&plugin, 0, 0, -1, Load(*g, kBack),
                                      {IBlendSpec::kOpaque, 1.0f}));
  g->SetHandleMouseOver(true);
  auto owned = std::make_unique<QuillwaveValueTexts>();
  QuillwaveValueTexts* texts = owned.get();
  g->SetValueTexts(std::move(owned));

  // Controls in parameter order: later ones lie on top and take the mouse.
  std::vector<std::pair<IControl*, const Knob*>> knobs;
  auto addKnob = [&](int param) {
    for (const Knob& k : kKnobs) {
      if (k.param != param) continue;
      const Quillwave::ParamRow& row = Quillwave::ParamTable(param);
      const IBitmapStrip caption = Load(*g, k.caption);
      auto* knob = new IKnobMultiControlCap(&plugin, row.x, row.y, param, Load(*g, k.strip),
                                            &caption, kGearing);
      knob->SetValueEntryDisabled(false);
      g->AddControl(knob);
      knobs.emplace_back(knob, &k);
    }
  };
  for (int param = 0; param < Quillwave::kParamCount; ++param) {
    const Quillwave::ParamRow& row = Quillwave::ParamTable(param);
    switch (param) {
      case Quillwave::kPrefix: {
        const IBitmapStrip caption = Load(*g, kNoteLabel);
        auto* prefix = new IRadioButtonCap(&plugin, {row.x, row.y, row.x + 84, row.y + 32}, param,
                                           3, Load(*g, kSwitch), IRadioButtonsControl::kRow,
                                           &caption, 5, -48);
        g->AddControl(prefix);
        texts->SetPrefixControl(prefix);
        break;
      }
      case Quillwave::kTempoSync:
      case Quillwave::kOnOff:
      case Quillwave::kMode:
        g->AddControl(ColumnSwitch(plugin, *g, param));
        break;
      case Quillwave::kFilterMode: {
        // Beside the names of the three filters.
        g->AddControl(new IBitmapControl(&plugin, 536, 133, -1, Load(*g, kFilterNames)));
        const int count = static_cast<int>(row.maximum) + 1;
        g->AddControl(new IRadioButtonsControl(&plugin,
                                               {row.x, row.y, row.x + 39 * count, row.y + 28},
                                               param, count, Load(*g, kSmallCheck),
                                               IRadioButtonsControl::kRow));
        break;
      }
      default:
        addKnob(param);
        break;
    }
  }

  links.logo = new IBitmapControl(&plugin, 174, 297, -1, Load(*g, kLogo));
  g->AddControl(links.logo);

  links.oscillatorPlot = new plot::IPlotControlEx(&plugin, g, kOscillatorPlot);
  links.oscillatorLine = AddLine<double>(*g, *links.oscillatorPlot);
  g->AddControl(links.oscillatorPlot);
  // Where the sweep is now, on the oscillator's curve.
  auto* marker = new plot::IPlotMarker(&plugin, kOscillatorPlot,
                                       links.oscillatorPlot->InnerMargin(),
                                       &plugin.SweepPosition());
  g->AddControl(marker);
  g->AddTicking(marker);

  links.responsePlot = new plot::IPlotControlEx(&plugin, g, kResponsePlot);
  for (auto*& line : links.responseLines) {
    line = AddLine<float>(*g, *links.responsePlot);
    line->SetFillUnderCurve(true);
    line->SetDrawOutline(true);
    line->SetBaselineLevel(0.0f);
  }
  g->AddControl(links.responsePlot);
  // Where the cutoff is now, across the responses.
  auto* cutoff = new plot::IPlotMarker(&plugin, kResponsePlot, links.responsePlot->InnerMargin(),
                                       &plugin.CutoffPosition(), plot::IPlotMarker::kVerticalLine);
  g->AddControl(cutoff);
  g->AddTicking(cutoff);

  // The readouts lie on top of everything.
  const int linger = int(kReadoutLingerSeconds * kEditorFrameRate + 0.5);
  for (const auto& [knob, k] : knobs) {
    const Quillwave::ParamRow& row = Quillwave::ParamTable(k->param);
    const int left = row.x - kReadoutWidth / 2, top = row.y + k->readoutDrop;
    auto* readout = new IValueReadout(
        &plugin, {left, top, left + kReadoutWidth, top + kReadoutHeight}, knob, texts, linger);
    g->AddControl(readout);
    g->AddTicking(readout);
  }

  plugin.AttachEditor(g);
  return g;
}
