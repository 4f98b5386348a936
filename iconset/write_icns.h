#pragma once
#include <optional>
#include <string>
#include <vector>

#include "iconset/rendered_entry.h"
#include "platform/files.h"

// The icon-set file name of an entry: "icon_PxP[@2x].png" with P = size / scale.
std::string iconsetFileName(int size, int scale);

// Stages one PNG per entry in an "icon.iconset" directory inside a fresh scratch directory and
// has the converter build the container at outputPath. The scratch directory is removed on every
// way out once the icon-set directory exists. Nothing on success, else the first error.
std::optional<IconError> writeIcns(const std::vector<RenderedEntry>& cgImages,
                                   const std::string& outputPath);

// The same with the converter executable given; writeIcns passes converterPath().
std::optional<IconError> writeIcnsWith(const std::vector<RenderedEntry>& cgImages,
                                       const std::string& outputPath, const std::string& converter);
