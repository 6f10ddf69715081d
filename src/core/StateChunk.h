#pragma once

#include <cstdint>

#include "base/GrowBuffer.h"

// The byte stream that state and presets are serialised into. Multi-byte
// values are little-endian whatever the machine. Positions are byte offsets;
// a read that does not fit returns -1 and leaves the destination untouched.
class StateChunk {
 public:
  StateChunk() : buffer_(4096) {}

  // Appends n bytes; returns the new size (unchanged when n is not positive
  // or the block could not grow).
  int32_t Put(const void* bytes, int32_t n);
  // Copies n bytes from position into destination; returns position + n, or
  // -1 when fewer than n bytes lie at position (or position is negative).
  int32_t Get(void* destination, int32_t n, int32_t position) const;

  // Length as a signed 32-bit integer, then the characters without the zero.
  int32_t PutString(const char* text);

  int32_t PutInt32(int32_t v);
  int32_t PutUInt32(uint32_t v);
  int32_t PutDouble(double v);
  int32_t PutByte(uint8_t v) { return Put(&v, 1); }
  int32_t GetInt32(int32_t* v, int32_t position) const;
  int32_t GetUInt32(uint32_t* v, int32_t position) const;
  int32_t GetDouble(double* v, int32_t position) const;
  int32_t GetByte(uint8_t* v, int32_t position) const { return Get(v, 1, position); }

  // True when n bytes lie at position.
  bool Holds(int64_t position, int64_t n) const {
    return position >= 0 && n >= 0 && position + n <= buffer_.Size();
  }

  void Clear() { buffer_.Resize(0, true); }
  int32_t Size() const { return buffer_.Size(); }
  uint8_t* Data() const { return static_cast<uint8_t*>(buffer_.Data()); }

 private:
  GrowBuffer buffer_;
};
