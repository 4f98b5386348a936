#pragma once
// The pictures a container stores, and which of them a reader uses.
#include <optional>
#include <span>
#include <vector>

#include "icns/icns.h"
#include "platform/codecs/raster_image.h"

namespace icns {

// One picture stored in a container.
struct StoredPicture {
  const TypeInfo* info;
  std::span<const uint8_t> data;
  std::span<const uint8_t> mask;  // the alpha or 1-bit mask chunk, empty when absent
  int rank;                       // higher is a better coding of the same size
};

// The image chunks of a container, in file order, without masks and metadata. The first chunk
// of each type counts, as for the system's readers; later ones of that type are ignored. Classic
// 1-, 4- and 8-bit icons are listed only when the container has no better picture at all.
std::vector<StoredPicture> storedPictures(std::span<const Chunk> chunks);

// Decodes one stored picture; an encoded payload must have the edge its type declares.
std::optional<platform::RasterImage> decodeStoredPicture(const StoredPicture& picture);

}  // namespace icns
