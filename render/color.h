#pragma once
#include <string_view>

#include "platform/graphics/geometry.h"

using Color = platform::Color;

// Parses "RRGGBB" after trimming whitespace and one optional leading "#". Any text that is not
// six characters or does not parse as an unsigned 32-bit hexadecimal value gives the fallback
// blue (0.15, 0.39, 0.92). Never fails.
Color colorFromHex(std::string_view text);
