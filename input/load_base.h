#pragma once
// The base icon from the input file: an ICNS container with every resolution it stores, or a
// single picture in any format the codecs read. The format is recognised by content.
#include <optional>
#include <span>
#include <string>

#include "platform/graphics/image.h"

// Loads the file at path (relative to the working directory). Nothing when it is missing,
// unreadable or not a decodable image.
std::optional<platform::Image> loadBaseImage(const std::string& path);

// The same from the bytes of a whole file.
std::optional<platform::Image> decodeBaseImage(std::span<const uint8_t> bytes);
