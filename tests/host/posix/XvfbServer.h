#pragma once
// A private X server (Xvfb) for one test program: started on a display
// number the server picks itself (so it never collides with another server
// on the machine), ended with the object, and killed by the kernel if the
// test program dies first.

#include <sys/types.h>

#include <string>
#include <vector>

namespace qwtest {

class XvfbServer {
 public:
  // screen is WIDTHxHEIGHTxDEPTH; extra arguments go to Xvfb as they are.
  explicit XvfbServer(const std::string& screen = "1280x800x24",
                      const std::vector<std::string>& extra = {});
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool Ok() const { return !display_.empty(); }
  // ":N", ready for connections.
  const std::string& Display() const { return display_; }
  const std::string& Error() const { return error_; }
  pid_t Pid() const { return pid_; }
  // Points DISPLAY at this server (for everything in the process).
  void Export() const;

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace qwtest
