// PNG images are compiled into the library as a table generated from
// resources/img at build time.
#include "raster/ImageResource.h"

#include "raster/posix/EmbeddedResources.h"

namespace raster {

ResourceBytes FindPNGResource(std::uint16_t id) {
  for (std::size_t i = 0; i < kEmbeddedResourceCount; ++i) {
    const EmbeddedResource& r = kEmbeddedResources[i];
    if (r.id == id) return {r.data, r.length};
  }
  return {};
}

}  // namespace raster
