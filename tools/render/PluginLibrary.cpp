#include "PluginLibrary.h"

#include "RenderError.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    throw RenderError("cannot load plug-in '" + path + "': " + std::strerror(errno));
  // dlopen searches the library path for names without a slash; a file name
  // given on the command line means that file.
  const std::string name = path.find('/') == std::string::npos ? "./" + path : path;
  dlerror();
  handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* e = dlerror();
    throw RenderError("cannot load plug-in '" + path + "': " + (e ? e : "unknown error"));
  }
  void* sym = dlsym(handle_, "VSTPluginMain");
  if (!sym) sym = dlsym(handle_, "main");
  if (!sym) {
    dlclose(handle_);
    handle_ = nullptr;
    throw RenderError("plug-in '" + path + "' has no VSTPluginMain entry point");
  }
  entry_ = reinterpret_cast<vst::PluginEntryProc>(sym);
}

PluginLibrary::~PluginLibrary() {
  if (handle_) dlclose(handle_);
}

std::string PluginLibrary::DefaultPath() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "Quillwave.so";
  std::string exe(buf, static_cast<size_t>(n));
  const auto slash = exe.find_last_of('/');
  return (slash == std::string::npos ? std::string(".") : exe.substr(0, slash)) + "/Quillwave.so";
}
