#include "AtomicOutput.h"

#include "RenderError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

AtomicOutput::AtomicOutput(std::string target) : target_(std::move(target)) {
  struct stat st {};
  if (stat(target_.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    throw RenderError("output '" + target_ + "' is a directory");
  if (BaseName(target_).empty()) throw RenderError("output '" + target_ + "' names no file");

  // Beside the target, so the final rename stays on one file system.
  std::string pattern = DirectoryOf(target_) + "/." + BaseName(target_) + ".XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  fd_ = mkstemp(buf.data());
  if (fd_ < 0) throw RenderError("cannot create output '" + target_ + "': " + std::strerror(errno));
  temp_ = buf.data();
  // mkstemp makes the file private; give it the permissions a plain create would.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd_, 0666 & ~mask);
}

AtomicOutput::~AtomicOutput() {
  if (fd_ >= 0) close(fd_);
  if (!committed_ && !temp_.empty()) unlink(temp_.c_str());
}

int AtomicOutput::ReleaseDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void AtomicOutput::WriteAll(const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd_, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw RenderError("cannot write '" + target_ + "': " + std::strerror(errno));
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) throw RenderError("cannot write '" + target_ + "': " + std::strerror(errno));
}

void AtomicOutput::Commit() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (rename(temp_.c_str(), target_.c_str()) != 0)
    throw RenderError("cannot move the result to '" + target_ + "': " + std::strerror(errno));
  committed_ = true;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  const bool aExists = stat(a.c_str(), &sa) == 0, bExists = stat(b.c_str(), &sb) == 0;
  if (aExists && bExists) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (aExists || bExists) return false;
  // Neither exists yet: the same name in the same directory, however the
  // directory is spelled, is the same file once written.
  if (BaseName(a) != BaseName(b)) return false;
  if (stat(DirectoryOf(a).c_str(), &sa) != 0 || stat(DirectoryOf(b).c_str(), &sb) != 0)
    return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
