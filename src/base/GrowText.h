#pragma once

#include <cstdint>

#include "base/GrowBuffer.h"

// A zero-terminated text in a GrowBuffer with granularity 128. An empty text
// has used size 0 or holds only the zero.
class GrowText {
 public:
  GrowText() : buffer_(128) {}

  // Writes length characters of source at position and ends the text after
  // them. Returns false when nothing changed (negative arguments, a non-zero
  // position with length 0, or no memory).
  bool SetAt(int32_t position, const char* source, int32_t length);
  bool Set(const char* source, int32_t length) { return SetAt(0, source, length); }
  // Whole zero-terminated source (null counts as empty).
  bool Set(const char* source);

  // The characters; an empty text when nothing is stored.
  const char* Get() const;
  int32_t Size() const { return buffer_.Size(); }

 private:
  GrowBuffer buffer_;
};
