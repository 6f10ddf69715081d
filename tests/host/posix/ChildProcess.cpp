#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace qwtest {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& logPath) {
  // Everything the child needs is made before fork: it only execs.
  std::vector<std::string> args = argv, vars;
  for (char** e = environ; *e; ++e) vars.push_back(*e);
  for (const std::string& v : env) {
    const std::string name = v.substr(0, v.find('=') + 1);
    for (auto it = vars.begin(); it != vars.end();)
      it = it->rfind(name, 0) == 0 ? vars.erase(it) : it + 1;
    vars.push_back(v);
  }
  std::vector<char*> a, e;
  for (auto& s : args) a.push_back(s.data());
  a.push_back(nullptr);
  for (auto& s : vars) e.push_back(s.data());
  e.push_back(nullptr);
  const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    if (log >= 0) {
      dup2(log, 1);
      dup2(log, 2);
    }
    execvpe(a[0], a.data(), e.data());
    _exit(127);
  }
  if (log >= 0) close(log);
  if (pid_ > 0) setpgid(pid_, pid_);  // either side may get there first
}

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Wait(int timeoutMs, int& status) {
  if (pid_ <= 0 || reaped_) return false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      reaped_ = true;
      return true;
    }
    if (r < 0 || std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool ChildProcess::Running() {
  int status = 0;
  return pid_ > 0 && !reaped_ && !Wait(0, status);
}

void ChildProcess::Stop(int graceMs) {
  if (pid_ <= 0) return;
  int status = 0;
  if (reaped_) return;
  kill(-pid_, SIGTERM);
  if (!Wait(graceMs, status)) {
    kill(-pid_, SIGKILL);
    Wait(10000, status);
  }
  // Whatever else is left in its group goes too.
  kill(-pid_, SIGKILL);
}

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    pclose(p);
  }
  return out;
}

}  // namespace qwtest
