#pragma once
// Writing 8-bit RGB or RGBA PNG files row by row with libpng.

#include <functional>
#include <string>

namespace art {

// Writes a width x height image; row(y, bytes) fills one row of 3 (RGB) or
// 4 (RGBA) bytes a pixel. Unfiltered rows at the highest compression: the
// filmstrips repeat whole runs between rows, which deflate then finds.
// False if the file cannot be written.
bool WritePng(const std::string& path, int width, int height, bool alpha,
              const std::function<void(int y, unsigned char* bytes)>& row);

}  // namespace art
