// A small PNG writer: 8-bit RGBA, adaptive per-row filters, one zlib stream from libdeflate.
#include <libdeflate.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/drawing.h"

namespace platform {
namespace {

// Level 6 keeps the files as small as zlib's default; libdeflate reaches it far faster.
constexpr int kDeflateLevel = 6;
constexpr size_t kMaxChunkData = 1u << 30;

struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

void putU32(std::vector<uint8_t>& out, uint32_t v) {
  const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  out.insert(out.end(), b, b + 4);
}

void putChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
  putU32(out, static_cast<uint32_t>(size));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + size);
  putU32(out, libdeflate_crc32(0, out.data() + start, size + 4));
}

uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Filters one row with each of the five filters and keeps the one with the smallest sum of
// absolute (signed) values, the heuristic libpng uses.
void filterRow(const uint8_t* row, const uint8_t* prev, size_t n, uint8_t* out, uint8_t* trial) {
  constexpr size_t bpp = 4;
  uint64_t best = UINT64_MAX;
  for (int type = 0; type < 5; ++type) {
    uint64_t sum = 0;
    for (size_t i = 0; i < n; ++i) {
      const int a = i >= bpp ? row[i - bpp] : 0;
      const int b = prev ? prev[i] : 0;
      const int c = (prev && i >= bpp) ? prev[i - bpp] : 0;
      uint8_t v = row[i];
      switch (type) {
        case 1:
          v = static_cast<uint8_t>(v - a);
          break;
        case 2:
          v = static_cast<uint8_t>(v - b);
          break;
        case 3:
          v = static_cast<uint8_t>(v - ((a + b) >> 1));
          break;
        case 4:
          v = static_cast<uint8_t>(v - paeth(a, b, c));
          break;
        default:
          break;
      }
      trial[i] = v;
      sum += v < 128 ? v : 256 - v;
    }
    if (sum < best) {
      best = sum;
      out[0] = static_cast<uint8_t>(type);
      std::memcpy(out + 1, trial, n);
    }
  }
}

}  // namespace

std::optional<std::vector<uint8_t>> encodePng(const RasterImage& image, Size nominalSize) {
  const int w = image.width(), h = image.height();
  if (w < 1 || h < 1 || w > kMaxPictureEdge || h > kMaxPictureEdge) return std::nullopt;
  if (!(nominalSize.width > 0) || !(nominalSize.height > 0)) return std::nullopt;
  const size_t rowBytes = static_cast<size_t>(w) * 4;
  std::vector<uint8_t> filtered((rowBytes + 1) * h);
  std::vector<uint8_t> trial(rowBytes);
  const uint8_t* px = image.rgba().data();
  for (int y = 0; y < h; ++y)
    filterRow(px + y * rowBytes, y ? px + (y - 1) * rowBytes : nullptr, rowBytes,
              filtered.data() + y * (rowBytes + 1), trial.data());

  std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
      libdeflate_alloc_compressor(kDeflateLevel));
  if (!compressor) return std::nullopt;
  std::vector<uint8_t> zlib(libdeflate_zlib_compress_bound(compressor.get(), filtered.size()));
  const size_t zlibSize = libdeflate_zlib_compress(compressor.get(), filtered.data(),
                                                   filtered.size(), zlib.data(), zlib.size());
  if (zlibSize == 0) return std::nullopt;

  std::vector<uint8_t> out;
  out.reserve(zlibSize + 128);
  static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out.insert(out.end(), kSignature, kSignature + 8);
  std::vector<uint8_t> header;
  putU32(header, static_cast<uint32_t>(w));
  putU32(header, static_cast<uint32_t>(h));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, deflate, adaptive, no interlace
  putChunk(out, "IHDR", header.data(), header.size());
  // Pixels per metre at 72 points per inch: one pixel per point gives 2835.
  std::vector<uint8_t> phys;
  putU32(phys, static_cast<uint32_t>(std::lround(w / nominalSize.width * 72 / 0.0254)));
  putU32(phys, static_cast<uint32_t>(std::lround(h / nominalSize.height * 72 / 0.0254)));
  phys.push_back(1);
  putChunk(out, "pHYs", phys.data(), phys.size());
  for (size_t at = 0; at < zlibSize; at += kMaxChunkData)
    putChunk(out, "IDAT", zlib.data() + at, std::min(kMaxChunkData, zlibSize - at));
  putChunk(out, "IEND", nullptr, 0);
  return out;
}

}  // namespace platform
