#pragma once
// Window-system font handles: an HFONT on Windows, a FreeType face chosen
// through fontconfig elsewhere. Fonts take these through SetFromFontHandle.

namespace raster {

using FontHandle = void*;

struct FontRequest {
  const char* face = "Verdana";
  // Negative: character (em) height in pixels; positive: cell height.
  int height = -12;
  int weight = 400;  // 400 normal, 700 bold
  bool italic = false;
  bool antialiased = true;
};

// Null when no font could be made.
FontHandle CreateFontHandle(const FontRequest& request);
void DeleteFontHandle(FontHandle font);

}  // namespace raster
