#pragma once

#include <string>

namespace qwtest {

// Loads a shared library (dlopen / LoadLibrary) and looks up its symbols.
class DynamicLibrary {
 public:
  explicit DynamicLibrary(const std::string& path);
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  bool Loaded() const { return handle_ != nullptr; }
  const std::string& Error() const { return error_; }
  void* Symbol(const char* name) const;
  // The platform's module handle (HMODULE on Windows).
  void* Handle() const { return handle_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace qwtest
