#pragma once
// Square RGBA canvases and their snapshots.
#include <cstdint>
#include <optional>

#include "platform/codecs/raster_image.h"
#include "platform/os/memory.h"

namespace platform {

struct CanvasPixels;

// A transparent square RGBA canvas of size x size pixels.
class Canvas {
 public:
  // Nothing when size is not in 1..kLimits.maxPictureEdge or memory fails.
  static std::optional<Canvas> create(int size);
  int size() const { return size_; }

 private:
  friend std::optional<RasterImage> snapshot(const Canvas& canvas);
  friend CanvasPixels canvasPixels(Canvas& canvas);
  explicit Canvas(int size) : size_(size) {}
  int size_;
  // RGBA premultiplied, 16 bits per channel, rows top to bottom; zero is transparent.
  Block<uint16_t> premultiplied_;
};

// The canvas pixels drawn so far, converted to straight alpha. Nothing only when memory fails.
std::optional<RasterImage> snapshot(const Canvas& canvas);

}  // namespace platform
