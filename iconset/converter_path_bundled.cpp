#include "iconset/convert.h"

// No system converter here: the project's own iconutil is installed beside badgewright. A bare
// name is never returned, so nothing is looked up in the working directory or PATH.
std::string converterPath() {
  const std::optional<std::string> directory = platform::executableDirectory();
  return directory ? platform::joinPath(*directory, "iconutil") : "";
}
