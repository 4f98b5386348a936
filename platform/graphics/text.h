#pragma once
// Styled text of the drawing services: one line, set in the built-in heavy face.
#include <string>

#include "platform/graphics/geometry.h"

namespace platform {

struct Font {
  double pointSize = 12;
};

// The heavy system font (Inter ExtraBold, built in) at the given size, not rounded. Characters
// it lacks are set in the machine's fonts.
Font heavySystemFont(double pointSize);

struct StyledText {
  std::string text;  // UTF-8
  Font font;
  Color color;
};

// Width and line height of the text set on one line.
Size measureText(const StyledText& text);

}  // namespace platform
