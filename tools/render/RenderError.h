#pragma once

#include <stdexcept>
#include <string>

// A failure the user has to fix (bad argument, unreadable file, a plug-in
// that does not load). The program prints its message on one line and exits
// non-zero.
class RenderError : public std::runtime_error {
 public:
  explicit RenderError(const std::string& message) : std::runtime_error(message) {}
};

// A command line that cannot be parsed; exits with the usage status.
class UsageError : public RenderError {
 public:
  explicit UsageError(const std::string& message) : RenderError(message) {}
};
