#pragma once

#include <cstddef>

// Texts between the effect (UTF-8) and VST 3's UTF-16 fields.

// Copies text into units 16-bit units, the zero included; a longer text is
// cut between characters. Bytes that are not UTF-8 become U+FFFD.
void CopyUtf16(char16_t* destination, const char* text, size_t units);

// Copies a zero-terminated UTF-16 text into bytes bytes of UTF-8, the zero
// included, cut between characters.
void CopyFromUtf16(char* destination, const char16_t* text, size_t bytes);
