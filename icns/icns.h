#pragma once
// The ICNS container: parsing and writing chunks, and the pixel codings stored inside them
// (ARGB and legacy RGB run-length planes, alpha masks, classic 1-, 4- and 8-bit icons).
// Every length is checked against the bytes at hand before it is used.
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/codecs/limits.h"

namespace icns {

constexpr uint32_t fourcc(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 |
         uint32_t(uint8_t(s[2])) << 8 | uint32_t(uint8_t(s[3]));
}

struct Chunk {
  uint32_t type;
  std::span<const uint8_t> data;  // payload, without the 8-byte chunk header
};

enum class ParseError {
  kTooShort,        // fewer than 8 bytes
  kBadMagic,        // not "icns"
  kBadFileLength,   // declared length under 8 or past the end of the bytes
  kBadChunkLength,  // a chunk length under 8 or past the declared end
  kTooManyChunks,   // more than kLimits.maxContainerChunks
};
std::string_view describe(ParseError error);

// The chunks in file order. Metadata chunks are returned like any other.
std::variant<std::vector<Chunk>, ParseError> parse(std::span<const uint8_t> file);

// A container holding the chunks in the given order. Empty when the total exceeds 4 GiB.
std::vector<uint8_t> write(std::span<const Chunk> chunks);

enum class Coding {
  kEncoded,   // a whole PNG or JPEG 2000 file (ic04/ic05 may also hold ARGB)
  kArgb,      // "ARGB" and four run-length planes
  kRgb,       // three run-length planes, alpha from a mask chunk
  kMask,      // one byte of alpha per pixel
  kClassic1,  // 1-bit icon followed by its 1-bit mask
  kClassic4,  // 4-bit indexed, Mac 16-colour palette
  kClassic8,  // 8-bit indexed, Mac 256-colour palette
};

struct TypeInfo {
  uint32_t type;
  int pixels;  // edge length
  Coding coding;
  uint32_t maskType;  // for kRgb, kClassic4 and kClassic8: the chunk holding alpha (0: none)
};

// What an image or mask chunk type holds; nullptr for metadata and unknown types.
const TypeInfo* typeInfo(uint32_t type);

// Decodes run-length planes into interleaved RGBA (w * h * 4 bytes at out). False when the data
// is short, has bytes left over, or a run crosses a plane boundary.
bool decodeArgb(std::span<const uint8_t> payload, int edge, uint8_t* out);  // after "ARGB"
bool decodeRgb(std::span<const uint8_t> payload, int edge, bool hasPrefix, uint8_t* out);
// Sets the alpha of w * h pixels from a raw mask; false when it has the wrong size.
bool applyMask(std::span<const uint8_t> mask, int edge, uint8_t* out);
// Classic icons; mask is the "#" chunk of the same size, or empty for an opaque icon.
bool decodeClassic(const TypeInfo& info, std::span<const uint8_t> payload,
                   std::span<const uint8_t> mask, uint8_t* out);

// An ic04/ic05 payload: "ARGB" and the four planes of straight-alpha RGBA, run-length coded.
std::vector<uint8_t> encodeArgb(std::span<const uint8_t> rgba, int edge);

}  // namespace icns
