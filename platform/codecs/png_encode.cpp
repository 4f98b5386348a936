// A small PNG writer: 8-bit RGBA, adaptive per-row filters, one zlib stream from libdeflate.
#include <libdeflate.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/codecs/codecs.h"
#include "platform/os/handle.h"

namespace platform {
namespace {

constexpr size_t kMaxChunkData = 1u << 30;
constexpr size_t kBpp = 4;

using Compressor = Handle<libdeflate_compressor, libdeflate_free_compressor>;

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

// Sum of the bytes taken as signed magnitudes: libpng's measure of how well a filter did.
inline uint32_t cost(const uint8_t* v, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<int8_t>(v[i]);
    sum += static_cast<uint8_t>(x < 0 ? -x : x);
  }
  return sum;
}

// The filters tried for each row: Sub, Up and Paeth. On real icons None and Average almost never
// give a smaller file than the best of these, and trying them costs a third of the encoding.
constexpr uint8_t kFilters[] = {1, 2, 4};

// Writes filter kFilters[t] of one row into trial[t] (n bytes each). row and prev are preceded
// by kBpp zero bytes, so every loop below is branch-free and the compiler vectorises it.
void filterRow(const uint8_t* row, const uint8_t* prev, size_t n, uint8_t* trial[3]) {
  const uint8_t* left = row - kBpp;
  const uint8_t* upLeft = prev - kBpp;
  for (size_t i = 0; i < n; ++i) trial[0][i] = static_cast<uint8_t>(row[i] - left[i]);
  for (size_t i = 0; i < n; ++i) trial[1][i] = static_cast<uint8_t>(row[i] - prev[i]);
  // 16-bit lanes: the compiler packs eight bytes per vector instead of four.
  for (size_t i = 0; i < n; ++i) {
    const int16_t a = left[i], b = prev[i], c = upLeft[i];
    int16_t pa = static_cast<int16_t>(b - c), pb = static_cast<int16_t>(a - c);
    int16_t pc = static_cast<int16_t>(pa + pb);
    pa = static_cast<int16_t>(pa < 0 ? -pa : pa);
    pb = static_cast<int16_t>(pb < 0 ? -pb : pb);
    pc = static_cast<int16_t>(pc < 0 ? -pc : pc);
    const int16_t predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    trial[2][i] = static_cast<uint8_t>(row[i] - predicted);
  }
}

}  // namespace

std::optional<std::vector<uint8_t>> encodePng(const RasterImage& image, double nominalWidth,
                                              double nominalHeight) {
  const int w = image.width(), h = image.height();
  if (w < 1 || h < 1 || w > kLimits.maxPictureEdge || h > kLimits.maxPictureEdge)
    return std::nullopt;
  if (!(nominalWidth > 0) || !(nominalHeight > 0)) return std::nullopt;
  const size_t rowBytes = static_cast<size_t>(w) * kBpp;
  const size_t filteredSize = (rowBytes + 1) * h;
  auto filtered = allocateArray<uint8_t>(filteredSize, false, true);
  auto trials = std::make_unique_for_overwrite<uint8_t[]>(rowBytes * 3);
  if (!filtered) return std::nullopt;
  uint8_t* trial[3];
  for (int t = 0; t < 3; ++t) trial[t] = trials.get() + t * rowBytes;
  // Two padded rows, the current and the previous, each after kBpp zero bytes.
  std::vector<uint8_t> padded(2 * (rowBytes + kBpp), 0);
  uint8_t* cur = padded.data() + kBpp;
  uint8_t* prev = padded.data() + rowBytes + 2 * kBpp;
  const uint8_t* px = image.rgba().data();
  for (int y = 0; y < h; ++y) {
    std::memcpy(cur, px + y * rowBytes, rowBytes);
    filterRow(cur, prev, rowBytes, trial);
    std::swap(cur, prev);
    int best = 0;
    uint32_t bestCost = UINT32_MAX;
    for (int t = 0; t < 3; ++t) {
      const uint32_t c = cost(trial[t], rowBytes);
      if (c < bestCost) bestCost = c, best = t;
    }
    uint8_t* out = filtered.get() + y * (rowBytes + 1);
    out[0] = kFilters[best];
    std::memcpy(out + 1, trial[best], rowBytes);
  }

  // One compressor per thread, made once: its tables are large and every run encodes several.
  thread_local Compressor compressor;
  if (!compressor) compressor.reset(libdeflate_alloc_compressor(kPngDeflateLevel));
  if (!compressor) return std::nullopt;
  const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filteredSize);
  // Only the start of this buffer is written; untouched pages cost nothing.
  auto zlib = std::make_unique_for_overwrite<uint8_t[]>(bound);
  if (!zlib) return std::nullopt;
  const size_t zlibSize =
      libdeflate_zlib_compress(compressor.get(), filtered.get(), filteredSize, zlib.get(), bound);
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
  putU32(phys, static_cast<uint32_t>(std::lround(w / nominalWidth * 72 / 0.0254)));
  putU32(phys, static_cast<uint32_t>(std::lround(h / nominalHeight * 72 / 0.0254)));
  phys.push_back(1);
  putChunk(out, "pHYs", phys.data(), phys.size());
  for (size_t at = 0; at < zlibSize; at += kMaxChunkData)
    putChunk(out, "IDAT", zlib.get() + at, std::min(kMaxChunkData, zlibSize - at));
  putChunk(out, "IEND", nullptr, 0);
  return out;
}

}  // namespace platform
