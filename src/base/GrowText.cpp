#include "base/GrowText.h"

#include <cstring>
#include <limits>

bool GrowText::SetAt(int32_t position, const char* source, int32_t length) {
  if (length == 0) {
    if (position != 0) return false;
    auto* p = static_cast<char*>(buffer_.Resize(1, false));
    if (!p || buffer_.Size() != 1) return false;
    p[0] = 0;
    return true;
  }
  if (length < 0 || position < 0 || !source) return false;
  const int64_t needed64 = int64_t(position) + length + 1;
  if (needed64 > std::numeric_limits<int32_t>::max()) return false;
  const int32_t needed = static_cast<int32_t>(needed64);

  const int32_t oldUsed = buffer_.Size();
  auto* old = static_cast<char*>(buffer_.Data());
  // The source may lie inside this text's own block (also past the text's
  // end, where an earlier longer text left characters); the block can move.
  const bool inside = old && source >= old && source < old + buffer_.Allocated();
  const int64_t offset = inside ? source - old : 0;

  if (oldUsed < needed) buffer_.Resize(needed, false);
  if (buffer_.Size() < needed) return false;
  auto* data = static_cast<char*>(buffer_.Data());
  if (inside) source = data + offset;

  // Characters between the old end and position were never written; they
  // are cleared after the copy, whose source may lie there.
  std::memmove(data + position, source, size_t(length));
  if (position > oldUsed) std::memset(data + oldUsed, 0, size_t(position - oldUsed));
  data[needed - 1] = 0;
  if (needed < oldUsed) buffer_.Resize(needed, false);
  return true;
}

bool GrowText::Set(const char* source) {
  const size_t n = source ? std::strlen(source) : 0;
  if (n >= size_t(std::numeric_limits<int32_t>::max())) return false;
  return SetAt(0, source, static_cast<int32_t>(n));
}

const char* GrowText::Get() const {
  const auto* p = static_cast<const char*>(buffer_.Data());
  return p ? p : "";
}
