#include "icns/icns.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace icns {
namespace {

uint32_t readU32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v >> 24));
  out.push_back(uint8_t(v >> 16));
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

constexpr TypeInfo kTypes[] = {
    {fourcc("icp4"), 16, Coding::kEncoded, 0},
    {fourcc("icp5"), 32, Coding::kEncoded, 0},
    {fourcc("icp6"), 64, Coding::kEncoded, 0},
    {fourcc("ic04"), 16, Coding::kArgb, 0},
    {fourcc("ic05"), 32, Coding::kArgb, 0},
    {fourcc("ic07"), 128, Coding::kEncoded, 0},
    {fourcc("ic08"), 256, Coding::kEncoded, 0},
    {fourcc("ic09"), 512, Coding::kEncoded, 0},
    {fourcc("ic10"), 1024, Coding::kEncoded, 0},
    {fourcc("ic11"), 32, Coding::kEncoded, 0},
    {fourcc("ic12"), 64, Coding::kEncoded, 0},
    {fourcc("ic13"), 256, Coding::kEncoded, 0},
    {fourcc("ic14"), 512, Coding::kEncoded, 0},
    {fourcc("is32"), 16, Coding::kRgb, fourcc("s8mk")},
    {fourcc("il32"), 32, Coding::kRgb, fourcc("l8mk")},
    {fourcc("ih32"), 48, Coding::kRgb, fourcc("h8mk")},
    {fourcc("it32"), 128, Coding::kRgb, fourcc("t8mk")},
    {fourcc("s8mk"), 16, Coding::kMask, 0},
    {fourcc("l8mk"), 32, Coding::kMask, 0},
    {fourcc("h8mk"), 48, Coding::kMask, 0},
    {fourcc("t8mk"), 128, Coding::kMask, 0},
    {fourcc("ics#"), 16, Coding::kClassic1, 0},
    {fourcc("ICN#"), 32, Coding::kClassic1, 0},
    {fourcc("ich#"), 48, Coding::kClassic1, 0},
    {fourcc("ics4"), 16, Coding::kClassic4, fourcc("ics#")},
    {fourcc("icl4"), 32, Coding::kClassic4, fourcc("ICN#")},
    {fourcc("ich4"), 48, Coding::kClassic4, fourcc("ich#")},
    {fourcc("ics8"), 16, Coding::kClassic8, fourcc("ics#")},
    {fourcc("icl8"), 32, Coding::kClassic8, fourcc("ICN#")},
    {fourcc("ich8"), 48, Coding::kClassic8, fourcc("ich#")},
};

// Decodes one run-length plane of n bytes, writing every `stride`-th byte of out. Advances pos.
bool decodePlane(std::span<const uint8_t> in, size_t& pos, size_t n, uint8_t* out, int stride) {
  size_t done = 0;
  while (done < n) {
    if (pos >= in.size()) return false;
    const uint8_t code = in[pos++];
    if (code < 0x80) {
      const size_t count = size_t(code) + 1;
      if (count > n - done || count > in.size() - pos) return false;
      for (size_t k = 0; k < count; ++k) out[(done + k) * stride] = in[pos + k];
      pos += count;
      done += count;
    } else {
      const size_t count = size_t(code) - 125;
      if (count > n - done || pos >= in.size()) return false;
      const uint8_t v = in[pos++];
      for (size_t k = 0; k < count; ++k) out[(done + k) * stride] = v;
      done += count;
    }
  }
  return true;
}

void encodePlane(const uint8_t* in, size_t n, int stride, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < 130 && in[(i + run) * stride] == in[i * stride]) ++run;
    if (run >= 3) {
      out.push_back(static_cast<uint8_t>(run + 125));
      out.push_back(in[i * stride]);
      i += run;
      continue;
    }
    // Literal bytes up to the next run of three or 128 bytes.
    size_t end = i;
    while (end < n && end - i < 128) {
      if (end + 2 < n && in[end * stride] == in[(end + 1) * stride] &&
          in[end * stride] == in[(end + 2) * stride])
        break;
      ++end;
    }
    out.push_back(static_cast<uint8_t>(end - i - 1));
    for (size_t k = i; k < end; ++k) out.push_back(in[k * stride]);
    i = end;
  }
}

using Rgb = std::array<uint8_t, 3>;

// The Mac 16-colour system palette.
constexpr Rgb kPalette4[16] = {
    {0xFF, 0xFF, 0xFF}, {0xFC, 0xF3, 0x05}, {0xFF, 0x64, 0x02}, {0xDD, 0x08, 0x06},
    {0xF2, 0x08, 0x84}, {0x46, 0x00, 0xA5}, {0x00, 0x00, 0xD4}, {0x02, 0xAB, 0xEA},
    {0x1F, 0xB7, 0x14}, {0x00, 0x64, 0x11}, {0x56, 0x2C, 0x05}, {0x90, 0x71, 0x3A},
    {0xC0, 0xC0, 0xC0}, {0x80, 0x80, 0x80}, {0x40, 0x40, 0x40}, {0x00, 0x00, 0x00}};

// The Mac 256-colour system palette: a 6x6x6 cube from white down (black left out), then ramps
// of red, green, blue and grey without the cube's levels, then black.
Rgb palette8(uint8_t index) {
  if (index < 215) {
    const uint8_t r = 0xFF - (index / 36) * 0x33, g = 0xFF - (index / 6 % 6) * 0x33,
                  b = 0xFF - (index % 6) * 0x33;
    return {r, g, b};
  }
  if (index == 255) return {0, 0, 0};
  static constexpr uint8_t kRamp[10] = {0xEE, 0xDD, 0xBB, 0xAA, 0x88, 0x77, 0x55, 0x44, 0x22, 0x11};
  const int ramp = (index - 215) / 10;
  const uint8_t v = kRamp[(index - 215) % 10];
  switch (ramp) {
    case 0:
      return {v, 0, 0};
    case 1:
      return {0, v, 0};
    case 2:
      return {0, 0, v};
    default:
      return {v, v, v};
  }
}

}  // namespace

std::string_view describe(ParseError error) {
  switch (error) {
    case ParseError::kTooShort:
      return "file too short for an ICNS header";
    case ParseError::kBadMagic:
      return "not an ICNS file";
    case ParseError::kBadFileLength:
      return "declared file length is wrong";
    case ParseError::kBadChunkLength:
      return "a chunk length is out of bounds";
    case ParseError::kTooManyChunks:
      return "too many chunks";
  }
  return "malformed ICNS file";
}

std::variant<std::vector<Chunk>, ParseError> parse(std::span<const uint8_t> file) {
  if (file.size() < 8) return ParseError::kTooShort;
  if (readU32(file.data()) != fourcc("icns")) return ParseError::kBadMagic;
  const uint32_t declared = readU32(file.data() + 4);
  if (declared < 8 || declared > file.size()) return ParseError::kBadFileLength;
  std::vector<Chunk> chunks;
  size_t pos = 8;
  while (pos < declared) {
    if (declared - pos < 8) return ParseError::kBadChunkLength;
    const uint32_t type = readU32(file.data() + pos);
    const uint32_t length = readU32(file.data() + pos + 4);
    if (length < 8 || length > declared - pos) return ParseError::kBadChunkLength;
    if (chunks.size() == platform::kLimits.maxContainerChunks) return ParseError::kTooManyChunks;
    chunks.push_back({type, file.subspan(pos + 8, length - 8)});
    pos += length;
  }
  return chunks;
}

std::vector<uint8_t> write(std::span<const Chunk> chunks) {
  uint64_t total = 8;
  for (const Chunk& c : chunks) total += 8 + uint64_t(c.data.size());
  if (total > UINT32_MAX) return {};
  std::vector<uint8_t> out;
  out.reserve(total);
  putU32(out, fourcc("icns"));
  putU32(out, static_cast<uint32_t>(total));
  for (const Chunk& c : chunks) {
    putU32(out, c.type);
    putU32(out, static_cast<uint32_t>(8 + c.data.size()));
    out.insert(out.end(), c.data.begin(), c.data.end());
  }
  return out;
}

const TypeInfo* typeInfo(uint32_t type) {
  for (const TypeInfo& info : kTypes)
    if (info.type == type) return &info;
  return nullptr;
}

bool decodeArgb(std::span<const uint8_t> payload, int edge, uint8_t* out) {
  const size_t n = size_t(edge) * edge;
  size_t pos = 0;
  static constexpr int kChannel[4] = {3, 0, 1, 2};  // planes A, R, G, B into RGBA
  for (int plane = 0; plane < 4; ++plane)
    if (!decodePlane(payload, pos, n, out + kChannel[plane], 4)) return false;
  return pos == payload.size();
}

bool decodeRgb(std::span<const uint8_t> payload, int edge, bool hasPrefix, uint8_t* out) {
  const size_t n = size_t(edge) * edge;
  size_t pos = hasPrefix ? 4 : 0;
  if (pos > payload.size()) return false;
  for (int plane = 0; plane < 3; ++plane)
    if (!decodePlane(payload, pos, n, out + plane, 4)) return false;
  for (size_t i = 0; i < n; ++i) out[i * 4 + 3] = 0xFF;
  // Some writers pad the last plane; trailing bytes beyond the planes are ignored.
  return true;
}

bool applyMask(std::span<const uint8_t> mask, int edge, uint8_t* out) {
  const size_t n = size_t(edge) * edge;
  if (mask.size() != n) return false;
  for (size_t i = 0; i < n; ++i) out[i * 4 + 3] = mask[i];
  return true;
}

bool decodeClassic(const TypeInfo& info, std::span<const uint8_t> payload,
                   std::span<const uint8_t> mask, uint8_t* out) {
  const size_t n = size_t(info.pixels) * info.pixels;
  const size_t bitmapBytes = n / 8;
  const auto bit = [](std::span<const uint8_t> bits, size_t i) {
    return (bits[i / 8] >> (7 - i % 8)) & 1;
  };
  std::span<const uint8_t> maskBits;
  if (info.coding == Coding::kClassic1) {
    if (payload.size() != 2 * bitmapBytes) return false;
    maskBits = payload.subspan(bitmapBytes);
  } else if (!mask.empty()) {
    if (mask.size() != 2 * bitmapBytes) return false;
    maskBits = mask.subspan(bitmapBytes);
  }
  const size_t need = info.coding == Coding::kClassic4 ? n / 2 : n;
  if (info.coding != Coding::kClassic1 && payload.size() != need) return false;
  for (size_t i = 0; i < n; ++i) {
    Rgb c;
    switch (info.coding) {
      case Coding::kClassic1:
        c = bit(payload, i) ? Rgb{0, 0, 0} : Rgb{0xFF, 0xFF, 0xFF};
        break;
      case Coding::kClassic4:
        c = kPalette4[(payload[i / 2] >> (i % 2 ? 0 : 4)) & 0xF];
        break;
      default:
        c = palette8(payload[i]);
        break;
    }
    std::memcpy(out + i * 4, c.data(), 3);
    out[i * 4 + 3] = maskBits.empty() || bit(maskBits, i) ? 0xFF : 0;
  }
  return true;
}

std::vector<uint8_t> encodeArgb(std::span<const uint8_t> rgba, int edge) {
  const size_t n = size_t(edge) * edge;
  std::vector<uint8_t> out = {'A', 'R', 'G', 'B'};
  if (rgba.size() != n * 4) return {};
  static constexpr int kChannel[4] = {3, 0, 1, 2};
  for (int plane = 0; plane < 4; ++plane) encodePlane(rgba.data() + kChannel[plane], n, 4, out);
  return out;
}

}  // namespace icns
