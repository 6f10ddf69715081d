#include "core/ChunkHeader.h"

namespace chunk_header {

bool Write(StateChunk& chunk) {
  chunk.Clear();
  chunk.PutUInt32(kMagic);
  return chunk.PutUInt32(kVersion) == kSize;
}

int32_t StatePosition(const StateChunk& chunk) {
  uint32_t magic = 0;
  if (chunk.GetUInt32(&magic, 0) < 0 || magic != kMagic) return 0;
  return chunk.Size() >= kSize ? kSize : -1;
}

}  // namespace chunk_header
