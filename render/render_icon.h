#pragma once
#include <optional>
#include <string_view>

#include "platform/graphics/drawing.h"
#include "render/color.h"

using platform::Image;
using platform::RasterImage;

// One size x size variant: the base stretched over the square and, for a non-empty label, a
// white ring, a disc in the badge colour and the label's text in white at the bottom right.
// Nothing when no canvas, context or snapshot can be made.
std::optional<RasterImage> renderIcon(const Image& base, int size, std::string_view label,
                                      const Color& badge);
