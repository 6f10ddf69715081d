#pragma once
// Building plot lines and reading their bitmaps in tests.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "editor/plot/IThickLineGen.h"
#include "raster/IBitmap.h"

namespace plottest {

// The line colour and blends of the editor's plots.
inline constexpr IColorARGB kColour{255, 102, 90, 37};
inline constexpr IBlendSpec kLineBlend{IBlendSpec::kNormal, 0.72f};
// The oscillator plot (145 x 89) and the response plot (146 x 61), margin 3.
inline constexpr IRect kOscArea{0, 0, 145, 89};
inline constexpr IRect kRespArea{0, 0, 146, 61};
inline constexpr int kMargin = 3;

// The sample types plot lines come in.
using Precisions = ::testing::Types<float, double>;

template <typename T>
std::unique_ptr<plot::IThickLineGen<T>> MakeLine(const IRect& area) {
  return std::make_unique<plot::IThickLineGen<T>>(nullptr, area, kColour, kLineBlend, kMargin);
}

inline Pixel At(const raster::IBitmap& b, int x, int y) {
  return b.GetBits()[y * b.GetRowSpan() + x];
}
inline int AlphaAt(const raster::IBitmap& b, int x, int y) { return int(At(b, x, y) >> 24); }

// Pixels of b whose alpha is not 0.
inline int Covered(const raster::IBitmap& b) {
  int n = 0;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) n += AlphaAt(b, x, y) != 0;
  return n;
}

// Rows with a covered pixel in columns x0..x1, top to bottom.
inline std::vector<int> CoveredRows(const raster::IBitmap& b, int x0, int x1) {
  std::vector<int> rows;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = x0; x <= x1; ++x)
      if (AlphaAt(b, x, y) != 0) {
        rows.push_back(y);
        break;
      }
  return rows;
}

// Columns with a covered pixel in row y, left to right.
inline std::vector<int> CoveredColumns(const raster::IBitmap& b, int y) {
  std::vector<int> columns;
  for (int x = 0; x < b.GetWidth(); ++x)
    if (AlphaAt(b, x, y) != 0) columns.push_back(x);
  return columns;
}

// Row of the largest alpha in column x (the upper one on a tie).
inline int BrightestRow(const raster::IBitmap& b, int x) {
  int best = 0;
  for (int y = 1; y < b.GetHeight(); ++y)
    if (AlphaAt(b, x, y) > AlphaAt(b, x, best)) best = y;
  return best;
}

}  // namespace plottest
