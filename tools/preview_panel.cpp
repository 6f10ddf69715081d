// Composes the editor panel from the image files the way the editor lays
// it out, for looking at the artwork without a host:
//
//   qw_preview_panel [--images DIR] [--set NAME=VALUE ...] OUT.png
//
// VALUE is in the parameter's own units (--set TempoSync=1 --set Note=2).
// Knobs show the frame their value selects, switches their selected button,
// controls hidden by the tempo-sync state are left out, and the two plots
// are drawn from a Quillwave instance set to the same values.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "artwork/PngWriter.h"
#include "quillwave/Quillwave.h"
#include "raster/Blit.h"
#include "raster/Blur.h"
#include "raster/Fill.h"
#include "raster/Line.h"
#include "raster/MemBitmap.h"
#include "raster/PngImage.h"

namespace {

constexpr int kWidth = 689, kHeight = 369;
constexpr BlitMode kNormal = BlitCopy | BlitUseSourceAlpha;
constexpr BlitMode kOpaque = BlitCopy;

struct Rect {
  int l, t, r, b;
};

vst::VstIntPtr NoHost(vst::AEffect*, vst::VstInt32, vst::VstInt32, vst::VstIntPtr, void*, float) {
  return 0;
}

std::string g_images = "resources/img";

std::unique_ptr<raster::MemBitmap> Image(const char* name) {
  const std::string path = g_images + "/" + name;
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  auto bitmap = raster::LoadPNGFromMemory(bytes.data(), bytes.size());
  if (!bitmap) {
    std::fprintf(stderr, "qw_preview_panel: cannot load %s\n", path.c_str());
    std::exit(1);
  }
  return bitmap;
}

// The source offset of frame `frame` (1-based) of an n-frame vertical strip.
int FrameOffset(const raster::IBitmap& strip, int frames, int frame) {
  if (frame <= 1 || frames < 2) return 0;
  return int(double(strip.GetHeight()) * (frame - 1) / frames + 0.5);
}

void Draw(raster::IBitmap& surface, const raster::IBitmap& image, int x, int y, int srcY, int w,
          int h, BlitMode mode) {
  const raster::BlitRect src{0, srcY, w, srcY + h};
  raster::Blit(&surface, &image, x, y, &src, 1.0f, mode);
}

class Panel {
 public:
  explicit Panel(Quillwave& effect) : effect_(effect), surface_(kWidth, kHeight) {}

  double Normalised(int index) const {
    const Quillwave::ParamRow& row = Quillwave::ParamTable(index);
    return (effect_.GetParameter(index)->Value() - row.minimum) / (row.maximum - row.minimum);
  }

  // A filmstrip knob with its caption, both centred on the parameter's centre.
  void Knob(int index, const char* strip, int frames, const char* caption) {
    const Quillwave::ParamRow& row = Quillwave::ParamTable(index);
    auto cap = Image(caption);
    Draw(surface_, *cap, row.x - cap->GetWidth() / 2, row.y - cap->GetHeight() / 2, 0,
         cap->GetWidth(), cap->GetHeight(), kNormal);
    auto knob = Image(strip);
    const int w = knob->GetWidth(), h = knob->GetHeight() / frames;
    int frame = int((frames - 1) * Normalised(index)) + 1;
    frame = std::min(std::max(frame, 1), frames);
    Draw(surface_, *knob, row.x - knob->GetWidth() / 2, row.y - knob->GetHeight() / (2 * frames),
         FrameOffset(*knob, frames, frame), w, h, kNormal);
  }

  // n radio buttons laid out in rect, in a row or a column; the selected one
  // shows the strip's second frame.
  void Radio(int index, Rect rect, int n, const char* strip, bool row) {
    auto image = Image(strip);
    const int w = image->GetWidth(), fh = image->GetHeight() / 2;
    const int gap = row ? int(double(rect.r - n * w - rect.l) / (n - 1))
                        : int(double(rect.b - n * fh - rect.t) / (n - 1));
    const int selected = std::min(n - 1, std::max(0, int((n - 1) * Normalised(index) + 0.5)));
    for (int i = 0; i < n; ++i) {
      const int x = row ? rect.l + i * (w + gap) : rect.l;
      const int y = row ? rect.t : rect.t + i * (fh + gap);
      Draw(surface_, *image, x, y, i == selected ? FrameOffset(*image, 2, 2) : 0, w, fh, kNormal);
    }
  }

  void Picture(const char* name, int x, int y, BlitMode mode) {
    auto image = Image(name);
    Draw(surface_, *image, x, y, 0, image->GetWidth(), image->GetHeight(), mode);
  }

  // A glowing line over `data` inside plot rectangle r, drawn the way the
  // editor's plot lines draw: the curve at weight 0.72 into a clear bitmap,
  // blurred, laid over itself, blurred again and laid over the panel.
  template <class T>
  void PlotLine(Rect r, const std::vector<T>& data, bool fill) {
    const int w = r.r - r.l, h = r.b - r.t, m = 3;
    const Pixel colour = raster::MakePixel(255, 102, 90, 37);
    const float weight = 0.72f;
    raster::MemBitmap work(w, h), main(w, h);
    raster::Clear(&work, colour & 0x00FFFFFFu);
    raster::Clear(&main, colour & 0x00FFFFFFu);
    const T L = T(m), B = T(h - m), W = T(w - 2 * m), H = T(h - 2 * m);
    const std::size_t n = data.size();
    const T step = W / T(n - 1);
    const auto X = [&](std::size_t i) { return T(i) * step + L; };
    const auto Y = [&](std::size_t i) { return B - H * data[i]; };
    const std::size_t last = std::size_t(W / step);
    T px = X(0), py = Y(0), edge = X(0);
    for (std::size_t i = 0; i <= last && i < n; ++i) {
      raster::ThickLineAA(&work, float(px), float(py), float(X(i)), float(Y(i)), 2.0f, colour,
                          weight, kNormal);
      if (fill && X(i) - 1 > edge) {
        const int xs[4] = {int(edge), int(X(i) - 1), int(X(i) - 1), int(edge)};
        const int ys[4] = {int(py), int(Y(i)), int(B), int(B)};
        raster::FillConvexQuad(&work, xs, ys, colour, weight * 0.6f, kNormal);
        edge = X(i);
      }
      px = X(i);
      py = Y(i);
    }
    if (fill) {
      raster::ThickLineAA(&work, float(px), float(py), float(px), float(B), 2.0f, colour, weight,
                          kNormal);
      raster::ThickLineAA(&work, float(px), float(B), float(L), float(B), 2.0f, colour, weight,
                          kNormal);
      raster::ThickLineAA(&work, float(L), float(B), float(L), float(B - H * data[0]), 2.0f, colour,
                          weight, kNormal);
    }
    raster::Blur(&main, &work, w, h);
    raster::Blit(&work, &main, 0, 0, nullptr, 1.0f, kNormal);
    raster::Blur(&main, &work, w, h);
    raster::Blit(&surface_, &main, r.l, r.t, nullptr, weight, kNormal);
  }

  void Compose() {
    const bool sync = effect_.GetParameter(Quillwave::kTempoSync)->Value() != 0;
    Picture("back.png", 0, 0, kOpaque);
    Knob(Quillwave::kMix, "knob2_anim.png", 120, "mix.png");
    if (!sync) Knob(Quillwave::kLfoFrequency, "knob1_anim.png", 120, "lfo.png");
    if (sync) Knob(Quillwave::kNote, "knob1_note_anim.png", 7, "note.png");
    Knob(Quillwave::kPhase, "knob3_anim.png", 120, "phase.png");
    Knob(Quillwave::kSymmetry, "knob3_anim.png", 120, "symm.png");
    Knob(Quillwave::kShape, "knob3_anim.png", 120, "shape.png");
    if (sync) {
      Picture("note_lbl.png", 153, 272, kNormal);
      Radio(Quillwave::kPrefix, {148, 320, 232, 352}, 3, "switch.png", true);
    }
    Radio(Quillwave::kTempoSync, {26, 38, 58, 94}, 2, "switch.png", false);
    Radio(Quillwave::kOnOff, {26, 298, 58, 354}, 2, "switch.png", false);
    Radio(Quillwave::kMode, {196, 38, 228, 94}, 2, "switch.png", false);
    Knob(Quillwave::kCutoff1, "knob3_anim.png", 120, "cut1.png");
    Knob(Quillwave::kCutoff2, "knob3_anim.png", 120, "cut2.png");
    Knob(Quillwave::kResonance, "knob3_anim.png", 120, "res.png");
    Picture("filt_sw.png", 536, 133, kNormal);
    Radio(Quillwave::kFilterMode, {520, 133, 637, 161}, 3, "small_check.png", true);
    if (!sync) Picture("logo.png", 174, 297, kNormal);
    PlotLine(Rect{520, 25, 665, 114}, effect_.OscillatorCurve(), false);
    PlotLine(Rect{520, 155, 666, 216}, effect_.ResponseProfile(0), true);
    PlotLine(Rect{520, 155, 666, 216}, effect_.ResponseProfile(1), true);
  }

  bool WritePng(const char* path) const {
    const Pixel* bits = surface_.GetBits();
    const std::size_t span = std::size_t(surface_.GetRowSpan());
    return art::WritePng(path, kWidth, kHeight, false, [&](int y, unsigned char* bytes) {
      for (std::size_t x = 0; x < std::size_t(kWidth); ++x) {
        const Pixel p = bits[std::size_t(y) * span + x];
        bytes[x * 3 + 0] = (unsigned char)raster::PixelR(p);
        bytes[x * 3 + 1] = (unsigned char)raster::PixelG(p);
        bytes[x * 3 + 2] = (unsigned char)raster::PixelB(p);
      }
    });
  }

 private:
  Quillwave& effect_;
  raster::MemBitmap surface_;
};

int Usage() {
  std::fprintf(stderr, "usage: qw_preview_panel [--images DIR] [--set NAME=VALUE ...] OUT.png\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Quillwave effect(&NoHost);
  vst::AEffect* e = effect.Effect();
  e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);

  const char* out = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--images" && i + 1 < argc) {
      g_images = argv[++i];
    } else if (arg == "--set" && i + 1 < argc) {
      const std::string kv = argv[++i];
      const std::size_t eq = kv.find('=');
      int index = -1;
      for (int p = 0; p < Quillwave::kParamCount && eq != std::string::npos; ++p)
        if (kv.compare(0, eq, Quillwave::ParamTable(p).name) == 0 &&
            std::strlen(Quillwave::ParamTable(p).name) == eq)
          index = p;
      if (index < 0) {
        std::fprintf(stderr, "qw_preview_panel: unknown parameter in %s\n", kv.c_str());
        return 2;
      }
      const Quillwave::ParamRow& row = Quillwave::ParamTable(index);
      const double v = std::strtod(kv.c_str() + eq + 1, nullptr);
      e->setParameter(e, index, float((v - row.minimum) / (row.maximum - row.minimum)));
    } else if (!out && arg[0] != '-') {
      out = argv[i];
    } else {
      return Usage();
    }
  }
  if (!out) return Usage();

  Panel panel(effect);
  panel.Compose();
  if (!panel.WritePng(out)) {
    std::fprintf(stderr, "qw_preview_panel: cannot write %s\n", out);
    return 1;
  }
  return 0;
}
