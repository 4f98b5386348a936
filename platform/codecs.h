#pragma once
// Picture codecs behind the drawing services. Each decoder works on the bytes of a whole file,
// refuses edges above kMaxPictureEdge before allocating, and returns straight-alpha RGBA.
#include <optional>
#include <span>

#include "icns/icns.h"
#include "platform/drawing.h"

namespace platform {

// Whether a file of fileBytes may hold a picture of width x height: each edge in
// 1..kMaxPictureEdge, and a picture above kPlausiblePixels must come with at least one byte of
// file for every kMaxPixelsPerByte pixels. No real coding of a detailed picture packs it tighter,
// and a run costs memory and time for every declared pixel, so a small file declaring an
// enormous picture is refused before anything is allocated for it.
inline constexpr uint64_t kPlausiblePixels = uint64_t(2048) * 2048;
inline constexpr uint64_t kMaxPixelsPerByte = 4096;
bool plausibleSize(uint64_t width, uint64_t height, size_t fileBytes);

enum class PictureFormat { kUnknown, kIcns, kPng, kJpeg, kJpeg2000, kGif, kBmp, kTiff, kWebp };
PictureFormat sniffFormat(std::span<const uint8_t> bytes);

std::optional<RasterImage> decodePng(std::span<const uint8_t> bytes);

// The pixel size of a PNG file once all of it has been checked to decode; the pixels are not
// kept. Nothing when it does not decode.
std::optional<Size> checkPng(std::span<const uint8_t> bytes);

// The libdeflate path decodePng takes for 8-bit, non-interlaced files without tRNS. The check
// inflates and checks each row's filter, which is all decoding such a file can fail on.
struct FastPng {
  enum Outcome { kDecoded, kBroken, kNotHandled } outcome;
  std::optional<RasterImage> image;
  int width = 0, height = 0;
};
FastPng tryDecodePngFast(std::span<const uint8_t> bytes);
FastPng tryCheckPngFast(std::span<const uint8_t> bytes);
std::optional<RasterImage> decodeJpeg(std::span<const uint8_t> bytes);
std::optional<RasterImage> decodeJpeg2000(std::span<const uint8_t> bytes);
std::optional<RasterImage> decodeGif(std::span<const uint8_t> bytes);
std::optional<RasterImage> decodeBmp(std::span<const uint8_t> bytes);
std::optional<RasterImage> decodeTiff(std::span<const uint8_t> bytes);
std::optional<RasterImage> decodeWebp(std::span<const uint8_t> bytes);

// Any single-picture format above, chosen by content.
std::optional<RasterImage> decodePicture(std::span<const uint8_t> bytes);

// One picture stored in an ICNS container.
struct IcnsImage {
  const icns::TypeInfo* info;
  std::span<const uint8_t> data;
  std::span<const uint8_t> mask;  // the alpha or 1-bit mask chunk, empty when absent
  int rank;                       // higher is a better coding of the same size
};

// The image chunks of a container, without masks and metadata. Classic 1-, 4- and 8-bit icons
// are listed only when the container has no better picture at all.
std::vector<IcnsImage> icnsImages(std::span<const icns::Chunk> chunks);

// Decodes one stored picture; an encoded payload must have the edge its type declares.
std::optional<RasterImage> decodeIcnsImage(const IcnsImage& image);

}  // namespace platform
