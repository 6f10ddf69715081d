#include "core/StateChunk.h"

#include <cstring>
#include <limits>

int32_t StateChunk::Put(const void* bytes, int32_t n) {
  const int32_t old = buffer_.Size();
  if (n <= 0 || !bytes) return old;
  if (int64_t(old) + n > std::numeric_limits<int32_t>::max()) return old;
  const int32_t wanted = old + n;
  auto* data = static_cast<uint8_t*>(buffer_.Resize(wanted, true));
  if (!data || buffer_.Size() != wanted) return buffer_.Size();
  std::memcpy(data + old, bytes, static_cast<size_t>(n));
  return wanted;
}

int32_t StateChunk::Get(void* destination, int32_t n, int32_t position) const {
  if (n < 0 || !Holds(position, n)) return -1;
  if (n > 0) std::memcpy(destination, Data() + position, static_cast<size_t>(n));
  return position + n;
}

int32_t StateChunk::PutString(const char* text) {
  const size_t len = text ? std::strlen(text) : 0;
  const int32_t n =
      len > size_t(std::numeric_limits<int32_t>::max() / 2) ? 0 : static_cast<int32_t>(len);
  PutInt32(n);
  return Put(text, n);
}

int32_t StateChunk::PutUInt32(uint32_t v) {
  const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  return Put(b, 4);
}

int32_t StateChunk::PutInt32(int32_t v) { return PutUInt32(static_cast<uint32_t>(v)); }

int32_t StateChunk::PutDouble(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = uint8_t(bits >> (8 * i));
  return Put(b, 8);
}

int32_t StateChunk::GetUInt32(uint32_t* v, int32_t position) const {
  uint8_t b[4];
  const int32_t next = Get(b, 4, position);
  if (next >= 0)
    *v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return next;
}

int32_t StateChunk::GetInt32(int32_t* v, int32_t position) const {
  uint32_t u = 0;
  const int32_t next = GetUInt32(&u, position);
  if (next >= 0) *v = static_cast<int32_t>(u);
  return next;
}

int32_t StateChunk::GetDouble(double* v, int32_t position) const {
  uint8_t b[8];
  const int32_t next = Get(b, 8, position);
  if (next >= 0) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t(b[i]) << (8 * i);
    std::memcpy(v, &bits, 8);
  }
  return next;
}
