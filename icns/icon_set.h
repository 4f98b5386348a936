#pragma once
// The ten pictures of a macOS icon set: their pixel sizes, densities, file names in an
// .iconset directory and ICNS chunk types.
#include <array>
#include <cstdint>
#include <string>

#include "icns/icns.h"

namespace icns {

// The icon-set file name of a picture: "icon_PxP[@2x].png" with P = size / scale.
std::string iconsetFileName(int size, int scale);

struct IconSetEntry {
  int size;        // edge in pixels
  int scale;       // 1 or 2; the point size is size / scale
  uint32_t type;   // the chunk type that holds the picture in a container
  int chunkOrder;  // where Apple's converter places that chunk, 0 first
  std::string fileName() const { return iconsetFileName(size, scale); }
};

// In the order the pictures are drawn: by point size, 1x before 2x.
inline constexpr std::array<IconSetEntry, 10> kIconSet = {{
    {16, 1, fourcc("ic04"), 4},
    {32, 2, fourcc("ic11"), 9},
    {32, 1, fourcc("ic05"), 7},
    {64, 2, fourcc("ic12"), 0},
    {128, 1, fourcc("ic07"), 1},
    {256, 2, fourcc("ic13"), 2},
    {256, 1, fourcc("ic08"), 3},
    {512, 2, fourcc("ic14"), 5},
    {512, 1, fourcc("ic09"), 6},
    {1024, 2, fourcc("ic10"), 8},
}};

// The entry stored in chunks of this type, or nullptr.
const IconSetEntry* iconSetEntryFor(uint32_t type);

}  // namespace icns
