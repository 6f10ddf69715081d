#pragma once
// A program started by a test in a process group of its own, with its output
// in a log file; killed with the whole group when the object goes or the
// test program dies.

#include <sys/types.h>

#include <string>
#include <vector>

namespace qwtest {

class ChildProcess {
 public:
  // argv[0] is looked up in PATH; env entries (NAME=value) are added to
  // this program's environment.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& logPath);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // Waits up to timeoutMs for the program to end; true when it did, with
  // its wait status in status.
  bool Wait(int timeoutMs, int& status);
  bool Running();
  // SIGTERM to the group, then SIGKILL after graceMs.
  void Stop(int graceMs = 3000);

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
};

// Runs a shell command line and returns what it printed (stdout).
std::string Capture(const std::string& command);

}  // namespace qwtest
