#pragma once
// Text for the artwork through FreeType with the DejaVu faces of
// fonts-dejavu-core, read from their fixed Debian paths so that no other
// installed font can change the result.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

#include "Canvas.h"

namespace art {

enum class Align { Left, Centre, Right };

struct TextStyle {
  int px = 11;  // pixel size (em height)
  bool bold = false;
  double tracking = 0;  // extra pixels after every character
  Color color;
};

class Typeface {
 public:
  Typeface();
  ~Typeface();
  Typeface(const Typeface&) = delete;
  Typeface& operator=(const Typeface&) = delete;

  // Advance width of UTF-8 text s.
  double Width(const std::string& s, const TextStyle& style);

  // Height of the capital letters above the baseline.
  double CapHeight(const TextStyle& style);

  // Draws UTF-8 text s with its baseline at y; x is the left end, the
  // centre or the right end as align says.
  void Draw(Canvas& canvas, const std::string& s, double x, double y, const TextStyle& style,
            Align align = Align::Left);

 private:
  FT_Face Face(const TextStyle& style);

  FT_Library lib_ = nullptr;
  FT_Face regular_ = nullptr;
  FT_Face bold_ = nullptr;
};

}  // namespace art
