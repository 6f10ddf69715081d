#include "EditorHostSupport.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "snapshot/PanelSnapshot.h"
#include "quillwave/Quillwave.h"
#include "raster/IBitmap.h"
#include "raster/PngImage.h"

namespace qwtest {

Pixels PixelsOf(const raster::IBitmap& b) {
  Pixels out(std::size_t(b.GetWidth()) * std::size_t(b.GetHeight()));
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x)
      out[std::size_t(y) * std::size_t(b.GetWidth()) + std::size_t(x)] =
          b.GetBits()[std::ptrdiff_t(y) * b.GetRowSpan() + x] | 0xFF000000u;
  return out;
}

Pixels Golden(const char* name) {
  std::ifstream in(std::string(QW_GOLDEN_DIR) + "/" + name, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  const auto image = raster::LoadPNGFromMemory(bytes.data(), bytes.size());
  return image ? PixelsOf(*image) : Pixels{};
}

Pixels Reference(Instance& fx, int hoverX, int hoverY) {
  PanelSnapshot panel;
  for (int i = 0; i < Quillwave::kParamCount; ++i) panel.SetNormalized(i, fx.GetParameter(i));
  if (hoverX >= 0) panel.Hover(hoverX, hoverY);
  return PixelsOf(panel.Render());
}

void ProcessSilence(Instance& fx, int frames) {
  std::vector<std::vector<float>> in(2, std::vector<float>(1024)), out = in;
  for (int done = 0; done < frames; done += 1024)
    fx.ProcessReplacing(in, out, std::min(1024, frames - done));
}

Difference Compare(const Pixels& a, const Pixels& b, int width) {
  Difference d;
  if (a.size() != b.size()) return {int(a.size() > b.size() ? a.size() : b.size()), 0, 0};
  for (std::size_t i = 0; i < a.size(); ++i) {
    if ((a[i] & 0xFFFFFF) == (b[i] & 0xFFFFFF)) continue;
    if (d.count++ == 0) d.x = int(i % std::size_t(width)), d.y = int(i / std::size_t(width));
  }
  return d;
}

}  // namespace qwtest
