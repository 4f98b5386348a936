#pragma once
// Picture codecs. Each decoder works on the bytes of a whole file, checks every declared size
// against kLimits before allocating, and returns straight-alpha RGBA, or nothing.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/codecs/limits.h"
#include "platform/codecs/raster_image.h"

namespace platform {

enum class PictureFormat { kUnknown, kPng, kJpeg, kJpeg2000, kGif, kBmp, kTiff, kWebp };

// The format of a single-picture file from its first bytes (16 are enough).
PictureFormat sniffFormat(std::span<const uint8_t> bytes);

// Any format above, chosen by content.
std::optional<RasterImage> decodePicture(std::span<const uint8_t> bytes);

std::optional<RasterImage> decodePng(std::span<const uint8_t> bytes);
std::optional<RasterImage> decodeJpeg(std::span<const uint8_t> bytes);  // EXIF orientation applied
std::optional<RasterImage> decodeJpeg2000(std::span<const uint8_t> bytes);
std::optional<RasterImage> decodeGif(std::span<const uint8_t> bytes);  // the first frame
std::optional<RasterImage> decodeBmp(std::span<const uint8_t> bytes);
std::optional<RasterImage> decodeTiff(std::span<const uint8_t> bytes);
std::optional<RasterImage> decodeWebp(std::span<const uint8_t> bytes);

struct PixelSize {
  int width = 0, height = 0;
  bool operator==(const PixelSize&) const = default;
};

// The pixel size of a PNG file once all of it has been checked to decode; the pixels are not
// kept. Nothing when it does not decode.
std::optional<PixelSize> checkPng(std::span<const uint8_t> bytes);

// The libdeflate level PNG encoding uses.
inline constexpr int kPngDeflateLevel = 5;

// PNG bytes of the image (8-bit RGBA, no time or software chunks) declaring the nominal size in
// points through its physical pixel density. Nothing when the image cannot be encoded.
std::optional<std::vector<uint8_t>> encodePng(const RasterImage& image, double nominalWidth,
                                              double nominalHeight);

}  // namespace platform
