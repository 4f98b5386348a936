#include "iconset/convert.h"

#include "platform/unicode/unicode.h"

std::optional<IconError> convertIconset(const std::string& converter,
                                        const std::string& iconsetDirectory,
                                        const std::string& outputPath) {
  if (converter.empty())
    return IconError{"posix", 2, "could not run iconutil: the executable's directory is unknown"};
  Result<platform::ChildExit> child = platform::runChild(
      converter, {"-c", "icns", "-o", outputPath, platform::absolutePath(iconsetDirectory)});
  if (!child.ok()) return child.error();
  const platform::ChildExit& exit = child.value();
  if (exit.status == 0) return std::nullopt;
  const std::string& text = exit.standardError;
  return IconError{"icns", exit.status,
                   "iconutil failed: " + (platform::isValidUtf8(text) ? text : "unknown")};
}
