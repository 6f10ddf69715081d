#pragma once

#include <string>

// A file written under a temporary name in the target's directory and moved
// into place only by Commit(), so an interrupted or failed run never leaves a
// truncated file under the target's name. Without Commit() the destructor
// removes the temporary file.
class AtomicOutput {
 public:
  // Throws RenderError when the target is a directory or the directory does
  // not accept a new file.
  explicit AtomicOutput(std::string target);
  ~AtomicOutput();
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  // The open descriptor of the temporary file; the caller takes ownership
  // (and must close it before Commit).
  int ReleaseDescriptor();
  const std::string& TempPath() const { return temp_; }
  const std::string& Target() const { return target_; }

  // Writes all of `data` to the temporary file (when the descriptor was not
  // released) and closes it.
  void WriteAll(const void* data, size_t size);

  // Renames the temporary file onto the target. Throws RenderError.
  void Commit();

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
  bool committed_ = false;
};

// True when both names lead to the same file (same device and inode, so
// links and different spellings of one path are caught), or, when neither
// exists yet, name the same entry of the same directory. False when only
// one exists.
bool SameFile(const std::string& a, const std::string& b);
