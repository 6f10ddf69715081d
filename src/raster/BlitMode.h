#pragma once
// The mode word shared by blits, fills, lines and text drawing.
// Bits 0-7 select the operation; bit 16 weights each pixel by the source
// pixel's alpha. Other bits are ignored.

#include <cstdint>

using BlitMode = std::uint32_t;

inline constexpr BlitMode BlitCopy = 0;
inline constexpr BlitMode BlitAdd = 1;
inline constexpr BlitMode BlitDodge = 2;
inline constexpr BlitMode BlitMultiply = 3;
inline constexpr BlitMode BlitOverlay = 4;
inline constexpr BlitMode BlitHSVAdjust = 5;
// 240..255: copy channel (byte & 3) of the source into channel
// ((byte >> 2) & 3) of the destination, channels numbered by byte index.
inline constexpr BlitMode BlitChannelCopy = 240;
inline constexpr BlitMode BlitUseSourceAlpha = 0x10000;

inline constexpr BlitMode BlitOperationMask = 0xFF;

namespace raster {

// Mode word copying source channel `from` into destination channel `to`.
constexpr BlitMode ChannelCopyMode(int from, int to) {
  return BlitChannelCopy | BlitMode((to & 3) << 2) | BlitMode(from & 3);
}

}  // namespace raster
