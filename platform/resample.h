#pragma once
// Internal to the drawing services: premultiplied float pictures and the halving pyramid that
// image drawing resamples from.
#include <memory>
#include <vector>

#include "platform/canvas_access.h"
#include "platform/memory.h"

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

}  // namespace platform
