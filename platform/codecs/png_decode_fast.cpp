// A fast path for the PNG files this project writes and most icons hold: 8-bit grey, grey with
// alpha, RGB or RGBA, not interlaced. The whole zlib stream is inflated by libdeflate in one call
// into a buffer of the exact size the header implies; anything else is left to libpng.
#include "platform/codecs/png_decode_fast.h"

#include <libdeflate.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/codecs/limits.h"
#include "platform/os/handle.h"

namespace platform {
namespace {

constexpr size_t kMaxDeflateRatio = 1032;
constexpr size_t kPlausibleRatio = 64;

uint32_t readU32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

using Decompressor = Handle<libdeflate_decompressor, libdeflate_free_decompressor>;

inline uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Reverses one row's filter in place; prev is the previous unfiltered row (zeros for the first).
bool unfilter(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n, size_t bpp) {
  switch (type) {
    case 0:
      return true;
    case 1:
      for (size_t i = bpp; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
      return true;
    case 2:
      for (size_t i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
      return true;
    case 3:
      for (size_t i = 0; i < bpp; ++i) row[i] = static_cast<uint8_t>(row[i] + (prev[i] >> 1));
      for (size_t i = bpp; i < n; ++i)
        row[i] = static_cast<uint8_t>(row[i] + ((row[i - bpp] + prev[i]) >> 1));
      return true;
    case 4:
      for (size_t i = 0; i < bpp; ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
      for (size_t i = bpp; i < n; ++i)
        row[i] = static_cast<uint8_t>(row[i] + paeth(row[i - bpp], prev[i], prev[i - bpp]));
      return true;
    default:
      return false;
  }
}

// Decodes, or with keepPixels unset only checks that every row inflates and has a valid filter.
FastPng decodeFast(std::span<const uint8_t> bytes, bool keepPixels) {
  // Signature, IHDR and its fields.
  if (bytes.size() < 8 + 25 || readU32(bytes.data() + 8) != 13 ||
      std::memcmp(bytes.data() + 12, "IHDR", 4) != 0)
    return {FastPng::kNotHandled, std::nullopt};
  const uint8_t* ihdr = bytes.data() + 16;
  const uint32_t w = readU32(ihdr), h = readU32(ihdr + 4);
  const uint8_t depth = ihdr[8], colorType = ihdr[9], interlace = ihdr[12];
  if (readU32(bytes.data() + 29) != libdeflate_crc32(0, bytes.data() + 12, 17))
    return {FastPng::kBroken, std::nullopt};
  if (!plausibleSize(w, h, bytes.size())) return {FastPng::kBroken, std::nullopt};
  size_t channels;
  switch (colorType) {
    case 0:
      channels = 1;
      break;
    case 2:
      channels = 3;
      break;
    case 4:
      channels = 2;
      break;
    case 6:
      channels = 4;
      break;
    default:
      return {FastPng::kNotHandled, std::nullopt};
  }
  if (depth != 8 || interlace != 0 || ihdr[10] != 0 || ihdr[11] != 0)
    return {FastPng::kNotHandled, std::nullopt};

  // Gather the IDAT chunks, checking every length and checksum; a tRNS chunk needs libpng.
  std::vector<std::span<const uint8_t>> idat;
  size_t idatTotal = 0;
  bool ended = false;
  for (size_t pos = 33; pos < bytes.size() && !ended;) {
    if (bytes.size() - pos < 12) return {FastPng::kBroken, std::nullopt};
    const uint32_t len = readU32(bytes.data() + pos);
    if (len > bytes.size() - pos - 12) return {FastPng::kBroken, std::nullopt};
    const uint8_t* type = bytes.data() + pos + 4;
    const bool critical = !(type[0] & 0x20);
    if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0 || critical) {
      if (readU32(type + 4 + len) != libdeflate_crc32(0, type, len + 4))
        return {FastPng::kBroken, std::nullopt};
    }
    if (std::memcmp(type, "IDAT", 4) == 0) {
      idat.emplace_back(type + 4, len);
      idatTotal += len;
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      ended = true;
    } else if (std::memcmp(type, "tRNS", 4) == 0 || critical) {
      return {FastPng::kNotHandled, std::nullopt};
    }
    pos += 12 + len;
  }
  if (idat.empty()) return {FastPng::kBroken, std::nullopt};

  std::unique_ptr<uint8_t[]> joined;
  const uint8_t* stream = idat[0].data();
  if (idat.size() > 1) {
    joined = std::make_unique_for_overwrite<uint8_t[]>(idatTotal);
    size_t at = 0;
    for (auto part : idat) {
      std::memcpy(joined.get() + at, part.data(), part.size());
      at += part.size();
    }
    stream = joined.get();
  }
  const size_t rowBytes = size_t(w) * channels;
  const size_t rawSize = (rowBytes + 1) * h;
  // Deflate expands at most 1032-fold; a file that cannot hold its declared pixels is refused
  // before the buffer for them is made.
  if (rawSize / kMaxDeflateRatio > idatTotal) return {FastPng::kBroken, std::nullopt};
  // RGBA rows are unfiltered and moved down over their filter bytes in place, so the inflated
  // buffer becomes the picture; other layouts are expanded into a buffer of their own.
  const bool inPlace = channels == 4;
  // Prefaulted only when the data is plausibly enough for it: icons compress a few times over,
  // a file that claims far more than that gets pages only as inflating reaches them.
  const bool plausible = rawSize / kPlausibleRatio <= idatTotal;
  PixelBuffer raw = allocateArray<uint8_t>(rawSize, false, plausible);
  if (!raw) return {FastPng::kBroken, std::nullopt};
  Decompressor inflater(libdeflate_alloc_decompressor());
  if (!inflater) return {FastPng::kBroken, std::nullopt};
  size_t produced = 0;
  if (libdeflate_zlib_decompress(inflater.get(), stream, idatTotal, raw.get(), rawSize,
                                 &produced) != LIBDEFLATE_SUCCESS ||
      produced != rawSize)
    return {FastPng::kBroken, std::nullopt};

  if (!keepPixels) {
    for (uint32_t y = 0; y < h; ++y)
      if (raw[y * (rowBytes + 1)] > 4) return {FastPng::kBroken, std::nullopt};
    return {FastPng::kDecoded, std::nullopt, static_cast<int>(w), static_cast<int>(h)};
  }
  PixelBuffer expanded;
  if (!inPlace) {
    expanded = allocatePixels(static_cast<int>(w), static_cast<int>(h));
    if (!expanded) return {FastPng::kBroken, std::nullopt};
  }
  std::vector<uint8_t> zero(rowBytes, 0);
  const uint8_t* prev = zero.data();
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* row = raw.get() + y * (rowBytes + 1);
    if (!unfilter(row[0], row + 1, prev, rowBytes, channels))
      return {FastPng::kBroken, std::nullopt};
    const uint8_t* in = row + 1;
    uint8_t* out = (inPlace ? raw.get() : expanded.get()) + size_t(y) * w * 4;
    // The unfiltered row the next one refers to: for RGBA in its final place, which the move
    // of the next row never reaches.
    prev = inPlace ? out : in;
    switch (channels) {
      case 4:
        std::memmove(out, in, rowBytes);
        break;
      case 3:
        for (uint32_t x = 0; x < w; ++x, in += 3, out += 4)
          out[0] = in[0], out[1] = in[1], out[2] = in[2], out[3] = 0xFF;
        break;
      case 2:
        for (uint32_t x = 0; x < w; ++x, in += 2, out += 4)
          out[0] = out[1] = out[2] = in[0], out[3] = in[1];
        break;
      default:
        for (uint32_t x = 0; x < w; ++x, ++in, out += 4)
          out[0] = out[1] = out[2] = in[0], out[3] = 0xFF;
        break;
    }
  }
  PixelBuffer pixels = inPlace ? std::move(raw) : std::move(expanded);
  return {FastPng::kDecoded,
          RasterImage(static_cast<int>(w), static_cast<int>(h), std::move(pixels)),
          static_cast<int>(w), static_cast<int>(h)};
}

}  // namespace

FastPng tryDecodePngFast(std::span<const uint8_t> bytes) { return decodeFast(bytes, true); }

FastPng tryCheckPngFast(std::span<const uint8_t> bytes) { return decodeFast(bytes, false); }

}  // namespace platform
