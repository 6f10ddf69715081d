// PNG images are resources of type "PNG" in the library's own module.
#include "raster/ImageResource.h"

#include <windows.h>

#include "base/ModuleHandle.h"

namespace raster {

ResourceBytes FindPNGResource(std::uint16_t id) {
  HMODULE module = static_cast<HMODULE>(module::Handle());
  HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
  if (!res) return {};
  const DWORD length = SizeofResource(module, res);
  if (length <= 7) return {nullptr, length};
  HGLOBAL loaded = LoadResource(module, res);
  if (!loaded) return {};
  const void* data = LockResource(loaded);
  if (!data) return {};
  return {data, length};
}

}  // namespace raster
