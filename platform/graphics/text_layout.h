#pragma once
// Internal to the drawing services: text set on one line, and its rasterisation.
#include <string>
#include <vector>

#include "platform/graphics/canvas_pixels.h"
#include "platform/graphics/fonts.h"

namespace platform {

struct PlacedGlyph {
  FontFace* face;
  unsigned glyph;
  double x, y;   // pen position in points from the line start, on the baseline, y up
  bool visible;  // false for the glyph of a character that shows nothing (a control, say)
};

struct TextLine {
  std::vector<PlacedGlyph> glyphs;
  double pointSize = 0;
  double width = 0, ascent = 0, descent = 0, gap = 0;
};

// The text shaped on one line at pointSize, each character in the face that has it.
TextLine layoutLine(const std::string& text, double pointSize);

// Fills the line's glyph outlines, anti-aliased, source-over in color; the line starts at startX
// on the baseline, in canvas coordinates (y up).
void drawLine(CanvasPixels px, const TextLine& line, double startX, double baseline, Pixel4 color);

}  // namespace platform
