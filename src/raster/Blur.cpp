#include "raster/Blur.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "raster/PixelBlend.h"

namespace raster {

namespace {

using blend::Eighth;
using blend::Half;
using blend::Quarter;

Pixel* RowOf(const IBitmap& bm, Pixel* bits, int y) {
  const int memRow = bm.IsFlipped() ? bm.GetHeight() - 1 - y : y;
  return bits + std::ptrdiff_t(memRow) * bm.GetRowSpan();
}

// Row with neighbours above and below.
void InnerRow(Pixel* out, const Pixel* c, const Pixel* up, const Pixel* down, int n) {
  out[0] = Half(c[0]) + Quarter(c[1]) + Eighth(down[0]) + Eighth(up[0]);
  for (int x = 1; x < n - 1; ++x)
    out[x] = Half(c[x]) + Eighth(c[x - 1]) + Eighth(c[x + 1]) + Eighth(up[x]) + Eighth(down[x]);
  out[n - 1] = Half(c[n - 1]) + Quarter(c[n - 2]) + Eighth(up[n - 1]) + Eighth(down[n - 1]);
}

// First or last row: the one vertical neighbour counts a quarter.
void EdgeRow(Pixel* out, const Pixel* c, const Pixel* v, int n) {
  out[0] = Half(c[0]) + Quarter(c[1]) + Quarter(v[0]);
  for (int x = 1; x < n - 1; ++x)
    out[x] = Half(c[x]) + Eighth(c[x - 1]) + Eighth(c[x + 1]) + Quarter(v[x]);
  out[n - 1] = Half(c[n - 1]) + Quarter(c[n - 2]) + Quarter(v[n - 1]);
}

}  // namespace

void Blur(IBitmap* destination, const IBitmap* source, int width, int height) {
  if (!destination || !source) return;
  width = std::min(width, source->GetWidth());
  height = std::min(height, source->GetHeight());
  const int count = std::min(destination->GetWidth(), width);
  const int rows = std::min(destination->GetHeight(), height);
  if (width < 1 || height < 1 || count < 2 || rows < 2) return;
  Pixel* dstBits = destination->GetBits();
  Pixel* srcBits = source->GetBits();
  if (!dstBits || !srcBits) return;

  const bool inPlace = dstBits == srcBits;
  if (!inPlace) {
    EdgeRow(RowOf(*destination, dstBits, 0), RowOf(*source, srcBits, 0), RowOf(*source, srcBits, 1),
            count);
    for (int y = 1; y < rows - 1; ++y)
      InnerRow(RowOf(*destination, dstBits, y), RowOf(*source, srcBits, y),
               RowOf(*source, srcBits, y - 1), RowOf(*source, srcBits, y + 1), count);
    EdgeRow(RowOf(*destination, dstBits, rows - 1), RowOf(*source, srcBits, rows - 1),
            RowOf(*source, srcBits, rows - 2), count);
    return;
  }

  // In place: each row is copied before it is overwritten, alternating
  // between two buffers so the previous row's original stays available.
  constexpr int kStackPixels = 1024;
  Pixel stackRows[2][kStackPixels];
  std::vector<Pixel> heapRows;
  Pixel* buffers[2] = {stackRows[0], stackRows[1]};
  if (count > kStackPixels) {
    heapRows.resize(std::size_t(count) * 2);
    buffers[0] = heapRows.data();
    buffers[1] = heapRows.data() + count;
  }
  const std::size_t rowBytes = std::size_t(count) * sizeof(Pixel);

  for (int y = 0; y < rows; ++y) {
    Pixel* row = RowOf(*destination, dstBits, y);
    Pixel* saved = buffers[y & 1];
    std::memcpy(saved, row, rowBytes);
    if (y == 0)
      EdgeRow(row, saved, RowOf(*source, srcBits, 1), count);
    else if (y == rows - 1)
      EdgeRow(row, saved, buffers[(y - 1) & 1], count);
    else
      InnerRow(row, saved, buffers[(y - 1) & 1], RowOf(*source, srcBits, y + 1), count);
  }
}

}  // namespace raster
