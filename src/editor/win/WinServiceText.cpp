#include "editor/win/WinServiceText.h"

#include <cstring>

namespace winui {

namespace {
// Calls f(begin, length) for each space-separated word of list.
template <typename F>
void ForEachWord(const char* list, F f) {
  if (!list) return;
  const char* p = list;
  while (*p) {
    while (*p == ' ') ++p;
    const char* start = p;
    while (*p && *p != ' ') ++p;
    if (p > start && !f(start, std::size_t(p - start))) return;
  }
}
}  // namespace

std::string FilterPattern(const char* extensions) {
  std::string pattern;
  ForEachWord(extensions, [&](const char* word, std::size_t n) {
    if (!pattern.empty()) pattern += ';';
    pattern += "*.";
    pattern.append(word, n);
    return true;
  });
  return pattern;
}

std::string FilterList(const char* extensions) {
  const std::string pattern = FilterPattern(extensions);
  if (pattern.empty()) return {};
  std::string list = pattern;
  list += '\0';
  list += pattern;
  list += '\0';
  list += '\0';
  return list;
}

std::string DefaultExtension(const char* extensions) {
  std::string first;
  ForEachWord(extensions, [&](const char* word, std::size_t n) {
    first.assign(word, n);
    return false;
  });
  return first;
}

std::string FolderOfPath(const char* path) {
  if (!path) return {};
  const char* last = std::strrchr(path, '\\');
  if (!last || last[1] == 0) return {};
  return std::string(path, std::size_t(last - path) + 1);
}

}  // namespace winui
