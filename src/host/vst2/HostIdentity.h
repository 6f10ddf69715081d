#pragma once

#include <cstdint>

// Recognising the host from its product string and version answers.
namespace host_identity {

// Identifier of a known host whose name occurs in text (letter case ignored,
// at most the first 255 characters); 0 for a host not in the list.
int32_t IdentifyHostByName(const char* text);

// The host's decimal version (major * 10000 + minor * 100 + patch) as a
// version word: major in bits 16 and up, minor in bits 8-15, patch in 0-7.
int32_t VersionWordFromDecimal(int64_t decimal);

// The inverse direction, for reporting our own version word as a decimal.
int32_t DecimalFromVersionWord(int32_t word);

}  // namespace host_identity
