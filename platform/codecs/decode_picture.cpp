// Format sniffing and the decoder chosen by it.
#include <cstring>

#include "platform/codecs/codecs.h"

namespace platform {
namespace {

bool startsWith(std::span<const uint8_t> b, const void* prefix, size_t n) {
  return b.size() >= n && std::memcmp(b.data(), prefix, n) == 0;
}

}  // namespace

PictureFormat sniffFormat(std::span<const uint8_t> b) {
  static constexpr uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  static constexpr uint8_t kJp2[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
  static constexpr uint8_t kJ2k[4] = {0xFF, 0x4F, 0xFF, 0x51};
  static constexpr uint8_t kJpeg[3] = {0xFF, 0xD8, 0xFF};
  if (startsWith(b, kPng, 8)) return PictureFormat::kPng;
  if (startsWith(b, kJpeg, 3)) return PictureFormat::kJpeg;
  if (startsWith(b, kJp2, 12) || startsWith(b, kJ2k, 4)) return PictureFormat::kJpeg2000;
  if (startsWith(b, "GIF87a", 6) || startsWith(b, "GIF89a", 6)) return PictureFormat::kGif;
  if (startsWith(b, "BM", 2)) return PictureFormat::kBmp;
  if (startsWith(b, "II*\0", 4) || startsWith(b, "MM\0*", 4)) return PictureFormat::kTiff;
  if (b.size() >= 12 && startsWith(b, "RIFF", 4) && std::memcmp(b.data() + 8, "WEBP", 4) == 0)
    return PictureFormat::kWebp;
  return PictureFormat::kUnknown;
}

std::optional<RasterImage> decodePicture(std::span<const uint8_t> bytes) {
  switch (sniffFormat(bytes)) {
    case PictureFormat::kPng:
      return decodePng(bytes);
    case PictureFormat::kJpeg:
      return decodeJpeg(bytes);
    case PictureFormat::kJpeg2000:
      return decodeJpeg2000(bytes);
    case PictureFormat::kGif:
      return decodeGif(bytes);
    case PictureFormat::kBmp:
      return decodeBmp(bytes);
    case PictureFormat::kTiff:
      return decodeTiff(bytes);
    case PictureFormat::kWebp:
      return decodeWebp(bytes);
    case PictureFormat::kUnknown:
      break;
  }
  return std::nullopt;
}

}  // namespace platform
