// TIFF through libtiff, reading from memory.
#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "platform/codecs/codecs.h"
#include "platform/os/handle.h"

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

using Tiff = Handle<TIFF, TIFFClose>;

}  // namespace

std::optional<RasterImage> decodeTiff(std::span<const uint8_t> bytes) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  TiffMemory memory{bytes};
  Tiff tiff(TIFFClientOpen("input", "rm", &memory, tiffRead, tiffWrite, tiffSeek, tiffClose,
                           tiffSize, tiffMap, tiffUnmap));
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

}  // namespace platform
