#pragma once
// Internal to the file and process services: error values and an owned descriptor.
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>

#include "platform/os/files.h"

namespace platform {

inline IconError posixError(int code, const std::string& what) {
  return IconError{"posix", code, what + ": " + std::strerror(code)};
}

// Closes the descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~Fd() { reset(); }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

}  // namespace platform
