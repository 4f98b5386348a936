// BMP through stb_image.
#include <cstring>

#include "platform/codecs/codecs.h"
#include "platform/os/handle.h"

#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_MAX_DIMENSIONS (::platform::kLimits.maxPictureEdge)
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace platform {
namespace {

using StbPixels = Handle<stbi_uc, stbi_image_free>;

uint32_t le(std::span<const uint8_t> b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v |= uint32_t(b[at + i]) << (8 * i);
  return v;
}

// Whether an uncompressed BMP holds every row its header declares: the reader would make up the
// missing ones. Compressed codings are left to the reader.
bool holdsItsRows(std::span<const uint8_t> b) {
  if (b.size() < 26) return false;
  const uint32_t offset = le(b, 10, 4), headerSize = le(b, 14, 4);
  uint64_t width, height, bits, compression = 0;
  if (headerSize == 12) {
    width = le(b, 18, 2), height = le(b, 20, 2), bits = le(b, 24, 2);
  } else {
    if (b.size() < 34) return false;
    const auto h = static_cast<int32_t>(le(b, 22, 4));
    width = static_cast<int32_t>(le(b, 18, 4)) < 0 ? 0 : le(b, 18, 4);
    height = h < 0 ? uint64_t(-int64_t(h)) : uint64_t(h);
    bits = le(b, 28, 2), compression = le(b, 30, 4);
  }
  if (compression != 0 && compression != 3 && compression != 6) return true;
  const uint64_t rowBytes = (width * bits + 31) / 32 * 4;
  return uint64_t(offset) + rowBytes * height <= b.size();
}

}  // namespace

std::optional<RasterImage> decodeBmp(std::span<const uint8_t> bytes) {
  if (bytes.size() > INT32_MAX) return std::nullopt;
  const int n = static_cast<int>(bytes.size());
  int w = 0, h = 0, comp = 0;
  if (!stbi_info_from_memory(bytes.data(), n, &w, &h, &comp)) return std::nullopt;
  if (w <= 0 || h <= 0 || !plausibleSize(w, h, bytes.size()) || !holdsItsRows(bytes))
    return std::nullopt;
  const StbPixels data(stbi_load_from_memory(bytes.data(), n, &w, &h, &comp, 4));
  if (!data) return std::nullopt;
  auto pixels = allocatePixels(w, h);
  if (!pixels) return std::nullopt;
  std::memcpy(pixels.get(), data.get(), size_t(w) * h * 4);
  return RasterImage(w, h, std::move(pixels));
}

}  // namespace platform
