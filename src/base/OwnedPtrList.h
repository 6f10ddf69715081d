#pragma once

#include <cstdint>

#include "base/GrowBuffer.h"

// Untyped part of OwnedPtrList: a GrowBuffer of pointers, one per 8 bytes.
class PtrListStore {
 public:
  PtrListStore() : buffer_(4096) {}

  bool Append(void* p);
  void* At(int32_t i) const;
  int32_t Count() const { return buffer_.Size() / 8; }
  // Drops the last element's place (the caller has deleted it).
  void DropLast();
  void Release() { buffer_.Resize(0, false); }

 private:
  static_assert(sizeof(void*) <= 8, "one pointer per 8 bytes");
  GrowBuffer buffer_;
};

// An ordered list of owning pointers. Elements are deleted from the last to
// the first when the list is cleared or goes.
template <class T>
class OwnedPtrList {
 public:
  OwnedPtrList() = default;
  ~OwnedPtrList() { Clear(); }
  OwnedPtrList(const OwnedPtrList&) = delete;
  OwnedPtrList& operator=(const OwnedPtrList&) = delete;

  // Takes ownership of p. When the list cannot grow, p is deleted (it was
  // handed over and no one else holds it) and false is returned.
  bool Add(T* p) {
    if (store_.Append(p)) return true;
    delete p;
    return false;
  }
  // Null for an index outside 0 .. Count() - 1.
  T* Get(int32_t i) const { return static_cast<T*>(store_.At(i)); }
  int32_t Count() const { return store_.Count(); }

  void Clear() {
    for (int32_t i = Count() - 1; i >= 0; --i) {
      delete Get(i);
      store_.DropLast();
    }
    store_.Release();
  }

 private:
  PtrListStore store_;
};
