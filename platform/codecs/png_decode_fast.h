#pragma once
// Internal to the PNG decoder: the libdeflate path for 8-bit, non-interlaced files without
// tRNS, which is what this project writes and most icons hold.
#include <optional>
#include <span>

#include "platform/codecs/raster_image.h"

namespace platform {

struct FastPng {
  enum Outcome { kDecoded, kBroken, kNotHandled } outcome;
  std::optional<RasterImage> image;
  int width = 0, height = 0;
};

// kNotHandled leaves the file to libpng; kBroken means no decoder could read it.
FastPng tryDecodePngFast(std::span<const uint8_t> bytes);
// The same without keeping pixels: inflates and checks each row's filter, which is all decoding
// such a file can fail on.
FastPng tryCheckPngFast(std::span<const uint8_t> bytes);

}  // namespace platform
