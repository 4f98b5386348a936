#pragma once
// Drawing into a canvas.
#include "platform/graphics/canvas.h"
#include "platform/graphics/geometry.h"
#include "platform/graphics/image.h"
#include "platform/graphics/text.h"

namespace platform {

// Every fill is composited source-over onto what is in the canvas. The canvas must outlive the
// context.
class DrawingContext {
 public:
  explicit DrawingContext(Canvas& canvas) : canvas_(&canvas) {}
  void setFillColor(Color color) { fill_ = color; }
  // Fills the ellipse inscribed in the rectangle, anti-aliased.
  void fillOval(Rect rect);
  // Draws the whole image scaled into the rectangle at full opacity, resampled with a
  // premultiplied Lanczos-3 filter (the high-quality interpolation).
  void drawImage(const Image& image, Rect rect);
  // Sets the text on one line centred in the rectangle, its line box at the rectangle's top,
  // clipped only by the canvas.
  void drawText(const StyledText& text, Rect rect);

 private:
  Canvas* canvas_;
  Color fill_{0, 0, 0, 1};
};

}  // namespace platform
