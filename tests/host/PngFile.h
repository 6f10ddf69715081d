#pragma once
// Pictures the editor tests read back from a window, written as PNG files
// for a person to look at.

#include <cstdint>
#include <string>
#include <vector>

namespace qwtest {

// Writes 0x..RRGGBB pixels (the top byte ignored), row by row, as an RGB
// PNG; false on failure.
bool WritePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width,
              int height);

}  // namespace qwtest
