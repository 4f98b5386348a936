#include <unistd.h>

#include <string>

#include "platform/os/files.h"

namespace platform {

std::optional<std::string> executableDirectory() {
  std::string path(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0 || static_cast<size_t>(n) >= path.size()) return std::nullopt;
  path.resize(static_cast<size_t>(n));
  return parentDirectory(path);
}

}  // namespace platform
