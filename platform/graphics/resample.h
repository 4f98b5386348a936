#pragma once
// Internal to the drawing services: the Lanczos-3 resampler and the halving pyramid it draws
// pictures from.
#include <memory>
#include <vector>

#include "platform/codecs/raster_image.h"
#include "platform/graphics/canvas_pixels.h"
#include "platform/graphics/geometry.h"
#include "platform/os/memory.h"

namespace platform {

struct Level {
  int width = 0, height = 0;
  Block<Pixel4> pixels;  // premultiplied, rows top to bottom
};

// A picture and its successive Lanczos-3 halvings, each built once, when first needed.
class Pyramid {
 public:
  explicit Pyramid(RasterImage base) : base_(std::move(base)) {}
  const RasterImage& base() const { return base_; }
  // The smallest halving at least width x height, or nullptr when that is the picture itself.
  const Level* levelFor(double width, double height);

 private:
  RasterImage base_;
  std::vector<std::unique_ptr<Level>> levels_;
};

// Draws the whole picture of the pyramid scaled into the rectangle, source-over at full
// opacity, from the smallest halving at least the rectangle's size.
void drawPicture(CanvasPixels px, Pyramid& pyramid, Rect rect);

}  // namespace platform
