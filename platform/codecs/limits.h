#pragma once
// What an input may declare or hold before it is refused. The decoders, the loader and the
// converter check these before they allocate anything for a file.
#include <cstddef>
#include <cstdint>

namespace platform {

struct Limits {
  // Largest edge of a decoded or created picture.
  int maxPictureEdge = 16384;
  // A picture above plausiblePixels must come with at least one byte of file for every
  // maxPixelsPerByte pixels. No real coding of a detailed picture packs it tighter, and a run
  // costs memory and time for every declared pixel, so a small file declaring an enormous
  // picture is refused before anything is allocated for it.
  uint64_t plausiblePixels = uint64_t(2048) * 2048;
  uint64_t maxPixelsPerByte = 4096;
  // Larger input files are refused unread; the largest picture accepted compresses far below.
  uint64_t maxInputBytes = uint64_t(512) << 20;
  // Larger files in an icon set are refused unread by the converter.
  uint64_t maxIconsetFileBytes = uint64_t(64) << 20;
  // Real containers hold a few dozen chunks.
  size_t maxContainerChunks = 1024;
  // JPEG 2000 appears inside icon containers, whose pictures are at most 1024 px; its decoder
  // holds 32-bit samples per component.
  uint32_t maxJpeg2000Edge = 2048;
  // Progressive JPEG files may hold any number of scans, each a pass over the whole picture;
  // real ones have about ten.
  int maxJpegScans = 256;
  // The memory libjpeg may take: progressive files keep every coefficient of the picture, which
  // for a large picture only a large file can justify.
  uint64_t jpegMemoryBase = uint64_t(256) << 20;
  uint64_t jpegMemoryPerFileByte = 1024;
  // Largest ancillary PNG chunk libpng keeps.
  size_t maxPngChunkBytes = size_t(16) << 20;
};

inline constexpr Limits kLimits{};

// Whether a file of fileBytes may hold a picture of width x height under kLimits.
constexpr bool plausibleSize(uint64_t width, uint64_t height, uint64_t fileBytes) {
  const uint64_t edge = static_cast<uint64_t>(kLimits.maxPictureEdge);
  if (width < 1 || height < 1 || width > edge || height > edge) return false;
  const uint64_t pixels = width * height;
  return pixels <= kLimits.plausiblePixels || pixels / kLimits.maxPixelsPerByte <= fileBytes;
}

}  // namespace platform
