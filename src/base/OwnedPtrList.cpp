#include "base/OwnedPtrList.h"

#include <cstring>

bool PtrListStore::Append(void* p) {
  const int32_t old = buffer_.Size();
  auto* data = static_cast<uint8_t*>(buffer_.Resize(old + 8, false));
  if (!data || buffer_.Size() != old + 8) return false;
  std::memset(data + old, 0, 8);
  std::memcpy(data + old, &p, sizeof p);
  return true;
}

void* PtrListStore::At(int32_t i) const {
  if (i < 0 || i >= Count()) return nullptr;
  void* p;
  std::memcpy(&p, static_cast<const uint8_t*>(buffer_.Data()) + 8 * int64_t(i), sizeof p);
  return p;
}

void PtrListStore::DropLast() {
  if (Count() > 0) buffer_.Resize(buffer_.Size() - 8, false);
}
