#pragma once
// The platform half of SysBitmap: the device context and the pixel storage.
// Implemented once per platform (win/, posix/).

#include "raster/Pixel.h"

namespace raster::sysbitmap {

// A context to select storage into, or null on failure.
void* CreateContext();
void DestroyContext(void* context);
// What GetDC hands out for a context (null where there is no such thing).
void* PublicContext(void* context);

// Creates top-down (or bottom-up when flipped) 32-bit storage of
// width x height pixels and selects it into the context. Returns false and
// leaves the outputs null on failure.
bool CreateSection(void* context, int width, int height, bool flipped, Pixel** bits, void** section,
                   void** previous);
// Restores the previous object into the context and frees the storage.
void DestroySection(void* context, void* section, void* previous);

}  // namespace raster::sysbitmap
