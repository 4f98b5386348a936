// WebP through libwebp.
#include <webp/decode.h>

#include "platform/codecs/codecs.h"

namespace platform {

std::optional<RasterImage> decodeWebp(std::span<const uint8_t> bytes) {
  int w = 0, h = 0;
  if (!WebPGetInfo(bytes.data(), bytes.size(), &w, &h)) return std::nullopt;
  if (w <= 0 || h <= 0 || !plausibleSize(w, h, bytes.size())) return std::nullopt;
  auto pixels = allocatePixels(w, h);
  if (!pixels) return std::nullopt;
  if (!WebPDecodeRGBAInto(bytes.data(), bytes.size(), pixels.get(), size_t(w) * h * 4, w * 4))
    return std::nullopt;
  return RasterImage(w, h, std::move(pixels));
}

}  // namespace platform
