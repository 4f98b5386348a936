#pragma once
// The picture type every codec and drawing service exchanges.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/os/memory.h"

namespace platform {

// Storage for width * height RGBA pixels, zeroed; the caller checks the edges first.
using PixelBuffer = Block<uint8_t>;
PixelBuffer allocatePixels(int width, int height);

// An immutable picture of 8-bit RGBA pixels with straight alpha, rows top to bottom. Copies
// share the pixels.
class RasterImage {
 public:
  RasterImage(int width, int height, PixelBuffer rgba);
  int width() const { return width_; }
  int height() const { return height_; }
  std::span<const uint8_t> rgba() const {
    return {pixels_.get(), static_cast<size_t>(width_) * height_ * 4};
  }
  // Whether the two share their pixels (a copy of one picture).
  bool sharesPixelsWith(const RasterImage& other) const { return pixels_ == other.pixels_; }

 private:
  int width_, height_;
  std::shared_ptr<const uint8_t[]> pixels_;
};

}  // namespace platform
