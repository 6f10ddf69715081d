#pragma once

#include <memory>
#include <mutex>
#include <vector>

// Objects shared by every editor of the process, found by key. Entries are
// only ever added and live until the library is unloaded. Every search and
// addition holds the cache's own lock; callers make new objects outside it.
template <class Key, class T>
class ProcessCache {
 public:
  // The object cached under key, or null.
  T* Find(const Key& key) {
    std::lock_guard<std::mutex> hold(lock_);
    return FindLocked(key);
  }
  // Caches object under key and returns it; when another caller cached one
  // for key meanwhile, that one is returned and object is dropped. A null
  // object is not cached.
  T* Add(const Key& key, std::unique_ptr<T> object) {
    if (!object) return nullptr;
    std::lock_guard<std::mutex> hold(lock_);
    if (T* first = FindLocked(key)) return first;
    entries_.push_back({key, std::move(object)});
    return entries_.back().object.get();
  }
  int Count() {
    std::lock_guard<std::mutex> hold(lock_);
    return int(entries_.size());
  }

 private:
  struct Entry {
    Key key;
    std::unique_ptr<T> object;
  };
  T* FindLocked(const Key& key) const {
    for (const Entry& e : entries_)
      if (e.key == key) return e.object.get();
    return nullptr;
  }

  std::mutex lock_;
  std::vector<Entry> entries_;
};
