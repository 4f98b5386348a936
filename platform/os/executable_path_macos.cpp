#include <mach-o/dyld.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/os/files.h"

namespace platform {

std::optional<std::string> executableDirectory() {
  char raw[PATH_MAX];
  uint32_t size = sizeof raw;
  if (_NSGetExecutablePath(raw, &size) != 0) return std::nullopt;
  char resolved[PATH_MAX];
  if (!::realpath(raw, resolved)) return std::nullopt;
  const std::string path = resolved;
  return parentDirectory(path);
}

}  // namespace platform
