#pragma once
// Images stored inside the library as PNG resources, addressed by id.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "raster/MemBitmap.h"

namespace raster {

// The bytes of the library's PNG resource with this id, or an empty block.
// The memory belongs to the library image and stays valid while it is loaded.
struct ResourceBytes {
  const void* data = nullptr;
  std::size_t length = 0;
};
ResourceBytes FindPNGResource(std::uint16_t id);

// Loads resource (id & 0xFFFF) of type "PNG". Only names ending in ".png"
// (any case) are loadable; resources of 7 bytes or fewer are refused.
std::unique_ptr<MemBitmap> LoadImageResource(int id, const char* fileName);

}  // namespace raster
