#pragma once
#include <optional>
#include <string>
#include <vector>

#include "iconset/rendered_entry.h"
#include "platform/os/files.h"

// Stages one PNG per entry, named by its size and scale, in an "icon.iconset" directory inside
// a fresh scratch directory and has the converter build the container at outputPath. Entries
// sharing one picture (RasterImage copies) share its encoding. The scratch directory is removed on
// every way out once the icon-set directory exists. Nothing on success, else the first error.
std::optional<IconError> writeIcns(const std::vector<RenderedEntry>& cgImages,
                                   const std::string& outputPath);

// The same with the converter executable given; writeIcns passes converterPath().
std::optional<IconError> writeIcnsWith(const std::vector<RenderedEntry>& cgImages,
                                       const std::string& outputPath, const std::string& converter);
