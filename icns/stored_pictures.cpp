#include "icns/stored_pictures.h"

#include <algorithm>
#include <cstring>

#include "platform/codecs/codecs.h"

namespace icns {
namespace {

bool startsWith(std::span<const uint8_t> b, const void* prefix, size_t n) {
  return b.size() >= n && std::memcmp(b.data(), prefix, n) == 0;
}

int rankOf(Coding coding) {
  switch (coding) {
    case Coding::kEncoded:
    case Coding::kArgb:
      return 5;
    case Coding::kRgb:
      return 4;
    case Coding::kClassic8:
      return 3;
    case Coding::kClassic4:
      return 2;
    default:
      return 1;
  }
}

}  // namespace

std::vector<StoredPicture> storedPictures(std::span<const Chunk> chunks) {
  // Keeping only the first of each type also bounds the work a file of many chunks can cause.
  std::vector<const Chunk*> first;
  for (const Chunk& c : chunks) {
    if (!typeInfo(c.type)) continue;
    if (std::none_of(first.begin(), first.end(), [&](auto* f) { return f->type == c.type; }))
      first.push_back(&c);
  }
  const auto find = [&](uint32_t type) -> std::span<const uint8_t> {
    for (const Chunk* c : first)
      if (c->type == type) return c->data;
    return {};
  };
  std::vector<StoredPicture> out;
  for (const Chunk* c : first) {
    const TypeInfo* info = typeInfo(c->type);
    if (info->coding == Coding::kMask) continue;
    out.push_back({info, c->data,
                   info->maskType ? find(info->maskType) : std::span<const uint8_t>{},
                   rankOf(info->coding)});
  }
  const bool hasModern =
      std::any_of(out.begin(), out.end(), [](const StoredPicture& i) { return i.rank >= 4; });
  if (hasModern)
    out.erase(
        std::remove_if(out.begin(), out.end(), [](const StoredPicture& i) { return i.rank < 4; }),
        out.end());
  return out;
}

std::optional<platform::RasterImage> decodeStoredPicture(const StoredPicture& image) {
  const int edge = image.info->pixels;
  const bool argb = image.info->coding == Coding::kArgb && startsWith(image.data, "ARGB", 4);
  if (image.info->coding == Coding::kEncoded || (image.info->coding == Coding::kArgb && !argb)) {
    std::optional<platform::RasterImage> picture;
    const platform::PictureFormat format = platform::sniffFormat(image.data);
    if (format == platform::PictureFormat::kPng) picture = platform::decodePng(image.data);
    if (format == platform::PictureFormat::kJpeg2000)
      picture = platform::decodeJpeg2000(image.data);
    if (!picture || picture->width() != edge || picture->height() != edge) return std::nullopt;
    return picture;
  }
  auto pixels = platform::allocatePixels(edge, edge);
  if (!pixels) return std::nullopt;
  bool ok = false;
  switch (image.info->coding) {
    case Coding::kArgb:
      ok = decodeArgb(image.data.subspan(4), edge, pixels.get());
      break;
    case Coding::kRgb:
      ok = decodeRgb(image.data, edge, image.info->type == fourcc("it32"), pixels.get());
      if (ok && !image.mask.empty()) ok = applyMask(image.mask, edge, pixels.get());
      break;
    default:
      ok = decodeClassic(*image.info, image.data, image.mask, pixels.get());
      break;
  }
  if (!ok) return std::nullopt;
  return platform::RasterImage(edge, edge, std::move(pixels));
}

}  // namespace icns
