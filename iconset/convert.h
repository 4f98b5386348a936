#pragma once
#include <optional>
#include <string>

#include "platform/os/files.h"

// The icon-set converter this build uses, by absolute path: the system's on macOS, elsewhere the
// project's own "iconutil" beside the running executable; empty when that cannot be located.
std::string converterPath();

// Runs `converter -c icns -o outputPath <absolute iconsetDirectory>`. Nothing when it exits 0;
// a launch failure as the process services report it (an empty converter cannot be started);
// otherwise ("icns", status, "iconutil failed: " + its standard error, or "unknown" when that is
// not UTF-8).
std::optional<IconError> convertIconset(const std::string& converter,
                                        const std::string& iconsetDirectory,
                                        const std::string& outputPath);
