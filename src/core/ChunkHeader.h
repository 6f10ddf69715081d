#pragma once

#include <cstdint>

#include "core/StateChunk.h"

// The 8-byte header at the start of every chunk handed to the host: the
// magic "tffp" and the format version, both 32-bit little-endian.
namespace chunk_header {

constexpr uint32_t kMagic = 0x70666674;
constexpr uint32_t kVersion = 0x00010000;
constexpr int32_t kSize = 8;

// Empties the chunk and writes the header; false when it could not be written.
bool Write(StateChunk& chunk);

// Where the state starts: 8 after a complete header, 0 when the chunk does
// not start with the magic (it is read as if it had no header), -1 when the
// magic is there but the header is cut short.
int32_t StatePosition(const StateChunk& chunk);

}  // namespace chunk_header
