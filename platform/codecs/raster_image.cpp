#include "platform/codecs/raster_image.h"

namespace platform {

PixelBuffer allocatePixels(int width, int height) {
  // Zero pages on first touch: a decoder that stops early has not paid for the pages it did not
  // reach, whatever size its file declared.
  return allocateArray<uint8_t>(static_cast<size_t>(width) * height * 4, true, false);
}

RasterImage::RasterImage(int width, int height, PixelBuffer rgba)
    : width_(width), height_(height), pixels_(std::move(rgba)) {}

}  // namespace platform
