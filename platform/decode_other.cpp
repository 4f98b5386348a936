// TIFF, WebP and BMP through their libraries.
#include <tiffio.h>
#include <webp/decode.h>

#include <cstring>

#include "platform/codecs.h"

#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace platform {
namespace {

struct TiffMemory {
  std::span<const uint8_t> bytes;
  toff_t pos = 0;
};

tsize_t tiffRead(thandle_t h, tdata_t out, tsize_t n) {
  auto* m = static_cast<TiffMemory*>(h);
  if (n < 0) return -1;
  const toff_t left = m->pos < m->bytes.size() ? m->bytes.size() - m->pos : 0;
  const size_t take = std::min<uint64_t>(static_cast<uint64_t>(n), left);
  std::memcpy(out, m->bytes.data() + m->pos, take);
  m->pos += take;
  return static_cast<tsize_t>(take);
}
tsize_t tiffWrite(thandle_t, tdata_t, tsize_t) { return -1; }
toff_t tiffSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<TiffMemory*>(h);
  toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->bytes.size() : 0;
  m->pos = base + off;
  return m->pos;
}
int tiffClose(thandle_t) { return 0; }
toff_t tiffSize(thandle_t h) { return static_cast<TiffMemory*>(h)->bytes.size(); }
int tiffMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void tiffUnmap(thandle_t, tdata_t, toff_t) {}

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};

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

std::optional<RasterImage> decodeTiff(std::span<const uint8_t> bytes) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  TiffMemory memory{bytes};
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFClientOpen("input", "rm", &memory, tiffRead, tiffWrite,
                                                        tiffSeek, tiffClose, tiffSize, tiffMap,
                                                        tiffUnmap));
  if (!tiff) return std::nullopt;
  uint32_t w = 0, h = 0;
  TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &h);
  if (!plausibleSize(w, h, bytes.size())) return std::nullopt;
  auto pixels = allocatePixels(static_cast<int>(w), static_cast<int>(h));
  if (!pixels) return std::nullopt;
  if (!TIFFReadRGBAImageOriented(tiff.get(), w, h, reinterpret_cast<uint32_t*>(pixels.get()),
                                 ORIENTATION_TOPLEFT, 1))
    return std::nullopt;
  // libtiff hands back premultiplied ABGR words, which on little-endian are RGBA bytes.
  uint8_t* p = pixels.get();
  for (size_t i = 0; i < size_t(w) * h; ++i, p += 4) {
    if (p[3] == 0 || p[3] == 0xFF) continue;
    for (int ch = 0; ch < 3; ++ch)
      p[ch] = static_cast<uint8_t>(std::min(255, (p[ch] * 255 + p[3] / 2) / p[3]));
  }
  return RasterImage(static_cast<int>(w), static_cast<int>(h), std::move(pixels));
}

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

std::optional<RasterImage> decodeBmp(std::span<const uint8_t> bytes) {
  if (bytes.size() > INT32_MAX) return std::nullopt;
  const int n = static_cast<int>(bytes.size());
  int w = 0, h = 0, comp = 0;
  if (!stbi_info_from_memory(bytes.data(), n, &w, &h, &comp)) return std::nullopt;
  if (w <= 0 || h <= 0 || !plausibleSize(w, h, bytes.size()) || !holdsItsRows(bytes))
    return std::nullopt;
  stbi_uc* data = stbi_load_from_memory(bytes.data(), n, &w, &h, &comp, 4);
  if (!data) return std::nullopt;
  auto pixels = allocatePixels(w, h);
  if (pixels) std::memcpy(pixels.get(), data, size_t(w) * h * 4);
  stbi_image_free(data);
  if (!pixels) return std::nullopt;
  return RasterImage(w, h, std::move(pixels));
}

}  // namespace platform
